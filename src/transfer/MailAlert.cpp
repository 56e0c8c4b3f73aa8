#include "transfer/MailAlert.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>

#include "transfer/CurlHandles.h"
#include "transfer/FtpSession.h"

namespace transfer {
namespace {

constexpr const char* kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += {kBase64[v >> 18], kBase64[(v >> 12) & 63], kBase64[(v >> 6) & 63], kBase64[v & 63]};
  }
  if (i + 1 == bytes.size()) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    out += {kBase64[v >> 18], kBase64[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += {kBase64[v >> 18], kBase64[(v >> 12) & 63], kBase64[(v >> 6) & 63], '='};
  }
  return out;
}

bool IsPlainAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

// A header value: as it is when plain ASCII, else encoded words of at most
// 39 bytes of text each (64 characters with their markers), never cutting a
// character, folded onto continuation lines.
std::string HeaderText(const std::string& text) {
  if (IsPlainAscii(text) && text.size() <= 900) return text;
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = std::min(text.size(), start + 39);
    while (end < text.size() && end > start && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    if (end == start) end = std::min(text.size(), start + 39);
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(std::string_view(text).substr(start, end - start)) + "?=";
    start = end;
  }
  return out;
}

std::string MailDate(const platform::TDateTime& t) {
  using namespace std::chrono;
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const weekday wd{sys_days(year{t.Year} / month{static_cast<unsigned>(t.Month)} / day{static_cast<unsigned>(t.Day)})};
  const int offset = t.UtcOffsetMinutes < 0 ? -t.UtcOffsetMinutes : t.UtcOffsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[wd.c_encoding()], t.Day,
                kMonths[(t.Month + 11) % 12], t.Year, t.Hour, t.Minute, t.Second, t.UtcOffsetMinutes < 0 ? '-' : '+',
                offset / 60 % 100, offset % 60);
  return text;
}

struct TUpload {
  const std::string& Text;
  std::size_t Done = 0;
};

std::size_t ReadUpload(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto* upload = static_cast<TUpload*>(user);
  const std::size_t n = std::min(size * count, upload->Text.size() - upload->Done);
  std::memcpy(buffer, upload->Text.data() + upload->Done, n);
  upload->Done += n;
  return n;
}

bool HasExplicitPort(const std::string& server) {
  if (server.starts_with('[')) return server.find("]:") != std::string::npos;
  return std::count(server.begin(), server.end(), ':') == 1;
}

}  // namespace

bool IsMailAddress(const std::string& address) {
  const std::size_t at = address.rfind('@');
  if (at == std::string::npos || at == 0 || at + 1 == address.size() || address.size() > 254) return false;
  return std::all_of(address.begin(), address.end(), [](char c) {
    return c > ' ' && c <= '~' && std::strchr("\"<>()[],;:\\", c) == nullptr;
  });
}

std::string ComposeMail(const TMailMessage& message, const platform::TDateTime& date) {
  if (!IsMailAddress(message.From)) throw EMailError("Adresse d'expéditeur invalide : " + message.From);
  if (message.To.empty()) throw EMailError("Aucun destinataire");
  std::string to;
  for (const std::string& address : message.To) {
    if (!IsMailAddress(address)) throw EMailError("Adresse de destinataire invalide : " + address);
    to += (to.empty() ? "" : ",\r\n ") + address;
  }
  std::random_device random;
  const std::string id = std::to_string(random()) + "." + std::to_string(random());
  std::string text;
  text += "Date: " + MailDate(date) + "\r\n";
  text += "From: " + message.From + "\r\n";
  text += "To: " + to + "\r\n";
  text += "Message-ID: <" + id + "@" + message.From.substr(message.From.rfind('@') + 1) + ">\r\n";
  text += "Subject: " + HeaderText(message.Subject) + "\r\n";
  text += "MIME-Version: 1.0\r\n";
  text += "Content-Type: text/plain; charset=UTF-8\r\n";
  text += "Content-Transfer-Encoding: base64\r\n";
  text += "\r\n";
  const std::string body = Base64(message.Body);
  for (std::size_t i = 0; i < body.size(); i += 76) text += body.substr(i, 76) + "\r\n";
  return text;
}

void SendMail(const TMailServer& server, const TMailMessage& message, const std::function<void()>& pump) {
  const std::string text = ComposeMail(message, platform::Now());
  const auto address = ParseServerAddress(server.Server);
  if (!address) throw EMailError("Adresse de serveur SMTP invalide : " + server.Server);
  int port = address->Port;
  if (!HasExplicitPort(server.Server)) {
    port = server.Security == TMailSecurity::Tls ? 465 : server.Security == TMailSecurity::StartTls ? 587 : 25;
  }
  const bool ipv6 = address->Host.find(':') != std::string::npos;
  const std::string url = std::string(server.Security == TMailSecurity::Tls ? "smtps://" : "smtp://") +
                          (ipv6 ? "[" + address->Host + "]" : address->Host) + ":" + std::to_string(port);

  std::unique_ptr<CURL, TEasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, TMultiDeleter> multi(curl_multi_init());
  if (!easy || !multi) throw EMailError("libcurl could not make an SMTP session");
  std::unique_ptr<curl_slist, TSlistDeleter> recipients;
  for (const std::string& to : message.To) {
    curl_slist* more = curl_slist_append(recipients.get(), ("<" + to + ">").c_str());
    if (!more) throw EMailError("libcurl could not make an SMTP session");
    (void)recipients.release();
    recipients.reset(more);
  }
  char error[CURL_ERROR_SIZE] = "";
  TUpload upload{text};
  const std::string from = "<" + message.From + ">";
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(h, CURLOPT_READDATA, &upload);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(server.TimeLimit.count()));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(server.TimeLimit.count()));
  if (server.Security != TMailSecurity::None) curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  if (!server.User.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, server.User.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, server.PassWord.c_str());
  }

  if (curl_multi_add_handle(multi.get(), h) != CURLM_OK) throw EMailError("libcurl could not make an SMTP session");
  CURLcode result = CURLE_FAILED_INIT;
  for (int running = 1; running > 0;) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
    if (running > 0 && curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr) != CURLM_OK) break;
    if (pump) pump();
  }
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) result = msg->data.result;
  }
  curl_multi_remove_handle(multi.get(), h);
  if (result != CURLE_OK) {
    std::string what = error[0] ? error : curl_easy_strerror(result);
    // curl's texts never hold the password; a server's reply might echo it.
    if (!server.PassWord.empty()) {
      for (std::size_t at; (at = what.find(server.PassWord)) != std::string::npos;) {
        what.replace(at, server.PassWord.size(), "***");
      }
    }
    throw EMailError(what);
  }
}

}  // namespace transfer
