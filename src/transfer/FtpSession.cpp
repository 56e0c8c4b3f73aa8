#include "transfer/FtpSession.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/Ansi.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "transfer/CurlHandles.h"
#include "transfer/FtpReplies.h"
#include "transfer/SshHostKey.h"

namespace transfer {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// How often the window is serviced while a call waits.
constexpr auto kPumpInterval = 50ms;
// Bound on the QUIT a kept connection gets when the process ends.
constexpr long kQuitReplySeconds = 1;
// A listing larger than this is no folder of photos.
constexpr std::size_t kMaxListingBytes = 64u << 20;
constexpr std::size_t kMaxListingNames = 1000000;

std::mutex gLimitsMutex;
TFtpTimeLimits gLimits;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw EFtpError("libcurl could not be initialised");
  });
}

// A time limit is the network's failure whatever was last said; otherwise a
// refusal is the server's, and the rest is the connection's.
TFtpFailure Classify(CURLcode code, int reply) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT: return TFtpFailure::Network;
    case CURLE_READ_ERROR:
    case CURLE_URL_MALFORMAT:
    case CURLE_BAD_FUNCTION_ARGUMENT: return TFtpFailure::Local;
    default: break;
  }
  if (reply >= 400 && reply < 500) return TFtpFailure::Temporary;
  if (reply >= 500 && reply < 600) return TFtpFailure::Refused;
  return TFtpFailure::Network;
}

// SFTP has no reply codes: a refusal by the server is told by curl's code
// and given the FTP code of the same meaning (530: login denied, 550: the
// file or the action refused), so that callers need not know the protocol.
int SftpRefusalReply(CURLcode code) {
  switch (code) {
    case CURLE_LOGIN_DENIED: return 530;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_FILE_EXISTS:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_QUOTE_ERROR:
    case CURLE_UPLOAD_FAILED: return 550;
    default: return 0;
  }
}

// A path for an SFTP command, in quotes (curl's command reader takes "\"
// and "\"" inside them).
std::string SftpQuoted(const std::string& path) {
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsTlsFailure(CURLcode code) {
  switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR: return true;
    default: return false;
  }
}

bool IsValidRemoteName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && !HasLineBreakOrNul(name);
}


bool IsHostChar(char c, bool ipv6) {
  const auto u = static_cast<unsigned char>(c);
  if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')) return true;
  return c == '.' || c == '-' || c == '_' || (ipv6 && c == ':');
}

bool ParsePort(std::string_view text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  port = value;
  return true;
}

long ToSecondsAtLeastOne(std::chrono::milliseconds ms) {
  return std::max<long>(1, static_cast<long>((ms.count() + 999) / 1000));
}

}  // namespace

bool ActiveModeWorksWithTls() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  return !info || info->version_num < 0x075700 || info->version_num >= 0x080000;
}

void SetFtpTimeLimits(const TFtpTimeLimits& limits) {
  std::lock_guard lock(gLimitsMutex);
  gLimits = limits;
}

TFtpTimeLimits FtpTimeLimits() {
  std::lock_guard lock(gLimitsMutex);
  return gLimits;
}

std::optional<TServerAddress> ParseServerAddress(const std::string& text) {
  TServerAddress address;
  bool ipv6 = false;
  if (text.starts_with('[')) {
    const auto close = text.find(']');
    if (close == std::string::npos) return std::nullopt;
    address.Host = text.substr(1, close - 1);
    const std::string_view rest = std::string_view(text).substr(close + 1);
    if (!rest.empty() && (rest[0] != ':' || !ParsePort(rest.substr(1), address.Port))) return std::nullopt;
    address.PortGiven = !rest.empty();
    ipv6 = true;
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    const auto colon = text.find(':');
    address.Host = text.substr(0, colon);
    if (!ParsePort(std::string_view(text).substr(colon + 1), address.Port)) return std::nullopt;
    address.PortGiven = true;
  } else {
    address.Host = text;
    ipv6 = text.find(':') != std::string::npos;
  }
  if (address.Host.empty()) return std::nullopt;
  for (const char c : address.Host) {
    if (!IsHostChar(c, ipv6)) return std::nullopt;
  }
  return address;
}

// ---------------------------------------------------------------------------

class TFtpSession::TImpl {
public:
  TImpl(TFtpEvents events, TFtpTimeLimits limits) : events_(std::move(events)), limits_(limits) {}
  ~TImpl();

  bool connected_ = false;
  bool OutOfStep() const { return freshConnection_; }
  void Connect(const std::string& server, const std::string& user, const std::string& password,
               const std::string& folder, const TConnectionOptions& options);
  std::int64_t Store(const std::string& localPath, const std::string& remoteName);
  std::vector<std::string> ListNames();
  std::optional<std::int64_t> RemoteSize(const std::string& remoteName);
  void Rename(const std::string& fromName, const std::string& toName);
  void Delete(const std::string& remoteName);

private:
  enum class TKind { Connect, Store, List, Command };
  bool sftp_ = false;
  // A final reply to a command of a Command call, with the command's verb.
  struct TReply {
    std::string Verb;
    std::string Line;
  };
  struct TEvent {
    enum { Status, WorkBegin, Work } Type;
    std::string Text;
    std::int64_t Bytes = 0;
  };
  // One blocking call: what the helper thread hands to the window thread.
  struct TCall {
    explicit TCall(TKind kind) : Kind(kind) {}
    const TKind Kind;
    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<TEvent> Events;  // guarded by Mutex
    bool Done = false;          // guarded by Mutex
    CURLcode Result = CURLE_OK;
    // Helper thread only while it runs.
    bool AnnouncedConnecting = false;
    bool LoggedIn = false;
    bool Started = false;
    std::string LastReply;
    std::int64_t LastProgress = -1;
    std::int64_t Size = 0;
    std::ifstream* File = nullptr;
    std::string* Listing = nullptr;
    bool ListingTooLarge = false;
    std::string LastVerb;         // of the last command sent
    std::vector<TReply> Replies;  // Command calls only
    std::string HostKeyProblem;   // SFTP: why the host key was refused
  };

  void SetUpHandles();
  CURLcode Run(TCall& call);
  CURLcode PerformBlocking();
  void Push(TCall& call, TEvent event);
  void Deliver(std::deque<TEvent>& events);
  [[noreturn]] void Fail(const std::string& description, TFtpFailure failure = TFtpFailure::Local, int reply = 0,
                         const std::string& command = "");
  [[noreturn]] void FailCall(CURLcode code, const TCall& call);
  std::string Describe(CURLcode code, const TCall& call) const;
  // The commands, sent on the session's folder (or url when given, then
  // without transfer).
  std::vector<TReply> Command(const std::vector<std::string>& commands, const std::string& url = "");
  std::string SftpPath(const std::string& name) const;
  void CheckSftpFolder();
  std::string Escape(const std::string& text) const;
  void SetUrl(const std::string& url);

  static int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* self);
  static int OnHostKey(CURL*, const curl_khkey* known, const curl_khkey* found, curl_khmatch match, void* self);
  void MarkStarted(TCall& call);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow);
  static std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* self);
  static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* self);

  TFtpEvents events_;
  TFtpTimeLimits limits_;
  std::unique_ptr<CURLM, TMultiDeleter> multi_;
  std::unique_ptr<CURL, TEasyDeleter> easy_;
  TCall* call_ = nullptr;  // the call under way, read by the callbacks
  bool busy_ = false;
  char errorBuffer_[CURL_ERROR_SIZE] = {};  // curl's own words on the last failure
  bool freshConnection_ = false;  // the kept connection is out of step: open a new one
  std::string host_;
  int port_ = 0;
  std::string password_;
  std::string baseUrl_;     // "ftp://host:port/"
  std::string folderPath_;  // escaped folder of the session, "" or ending in "/"
  std::string sftpFolder_;  // SFTP: the folder as given, "" or ending in "/", for commands
  std::string hostKey_;     // SFTP: the fingerprint expected, or ""
  std::string knownHosts_;  // SFTP: the known hosts file, for messages
};

TFtpSession::TImpl::~TImpl() {
  if (!easy_) return;
  // The kept connection gets a QUIT when the handles go; a server that never
  // answers it must not hold the process. The connection cache copies the
  // reply limit from the last handle added.
  curl_easy_setopt(easy_.get(), CURLOPT_SERVER_RESPONSE_TIMEOUT, kQuitReplySeconds);
  if (curl_multi_add_handle(multi_.get(), easy_.get()) == CURLM_OK) curl_multi_remove_handle(multi_.get(), easy_.get());
  easy_.reset();
  multi_.reset();
}

void TFtpSession::TImpl::SetUpHandles() {
  if (easy_) return;
  InitCurlOnce();
  multi_.reset(curl_multi_init());
  easy_.reset(curl_easy_init());
  if (!multi_ || !easy_) throw EFtpError("libcurl could not make a session");
  CURL* h = easy_.get();
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp,ftps,sftp");
  curl_easy_setopt(h, CURLOPT_PROXY, "");  // an ftp_proxy variable must not reroute the session
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer_);
  curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
  curl_easy_setopt(h, CURLOPT_MAXCONNECTS, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.Connect.count()));
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, ToSecondsAtLeastOne(limits_.Reply));
  curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(limits_.Accept.count()));
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, ToSecondsAtLeastOne(limits_.Stall));
  // Status texts are drawn from the debug stream; with a debug function set
  // curl writes nothing to standard error.
  curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &TImpl::OnDebug);
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &TImpl::OnProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, &TImpl::OnRead);
  curl_easy_setopt(h, CURLOPT_READDATA, this);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &TImpl::OnWrite);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_SSH_KEYFUNCTION, &TImpl::OnHostKey);
  curl_easy_setopt(h, CURLOPT_SSH_KEYDATA, this);
}

std::string TFtpSession::TImpl::Escape(const std::string& text) const {
  std::unique_ptr<char, TCurlFree> escaped(curl_easy_escape(easy_.get(), text.data(), static_cast<int>(text.size())));
  if (!escaped) throw EFtpError("libcurl could not escape a name");
  return escaped.get();
}

void TFtpSession::TImpl::SetUrl(const std::string& url) {
  if (curl_easy_setopt(easy_.get(), CURLOPT_URL, url.c_str()) != CURLE_OK) Fail("Bad URL");
}

void TFtpSession::TImpl::Push(TCall& call, TEvent event) {
  std::lock_guard lock(call.Mutex);
  // Progress is a level, not a story: a newer count replaces one not yet shown.
  if (event.Type == TEvent::Work && !call.Events.empty() && call.Events.back().Type == TEvent::Work) {
    call.Events.back().Bytes = event.Bytes;
  } else {
    call.Events.push_back(std::move(event));
  }
  call.Wake.notify_all();
}

void TFtpSession::TImpl::Deliver(std::deque<TEvent>& events) {
  for (const TEvent& e : events) {
    switch (e.Type) {
      case TEvent::Status:
        if (events_.Status) events_.Status(e.Text);
        break;
      case TEvent::WorkBegin:
        if (events_.WorkBegin) events_.WorkBegin(e.Bytes);
        break;
      case TEvent::Work:
        if (events_.Work) events_.Work(e.Bytes);
        break;
    }
  }
  events.clear();
}

void TFtpSession::TImpl::Fail(const std::string& description, TFtpFailure failure, int reply,
                              const std::string& command) {
  if (events_.Status) events_.Status(description);
  throw EFtpError(description, failure, reply, command);
}

void TFtpSession::TImpl::FailCall(CURLcode code, const TCall& call) {
  if (sftp_) {
    const int refusal = SftpRefusalReply(code);
    const TFtpFailure failure = call.ListingTooLarge ? TFtpFailure::TooLarge
                                : refusal           ? TFtpFailure::Refused
                                                    : Classify(code, 0);
    Fail(call.ListingTooLarge ? std::string("Listing too large") : Describe(code, call), failure, refusal,
         refusal ? call.LastVerb : std::string());
  }
  const int reply = ReplyCode(call.LastReply);
  const bool refusal = reply >= 400 && reply < 600;
  // A server that says 421 is closing the connection.
  if (reply == 421) freshConnection_ = true;
  const TFtpFailure failure = call.ListingTooLarge ? TFtpFailure::TooLarge : Classify(code, refusal ? reply : 0);
  const bool byServer = failure == TFtpFailure::Temporary || failure == TFtpFailure::Refused;
  Fail(call.ListingTooLarge ? std::string("Listing too large") : Describe(code, call), failure, byServer ? reply : 0,
       byServer ? call.LastVerb : std::string());
}

std::string TFtpSession::TImpl::Describe(CURLcode code, const TCall& call) const {
  std::string text = curl_easy_strerror(code);
  // What exactly failed in TLS (expired certificate, name mismatch, ...) or
  // on SFTP (where no reply says it), in curl's words.
  const std::string detail(errorBuffer_, strnlen(errorBuffer_, sizeof errorBuffer_));
  if ((IsTlsFailure(code) || sftp_) && !detail.empty() && detail != text && !HasLineBreakOrNul(detail)) {
    text += ": " + detail;
  }
  if (!call.HostKeyProblem.empty()) text = call.HostKeyProblem;
  // The server's own words, when its last reply was a refusal.
  const char first = call.LastReply.empty() ? '\0' : call.LastReply[0];
  if (first == '4' || first == '5') text += " (" + call.LastReply + ")";
  // A server may echo what it was sent.
  if (!password_.empty()) text = platform::ReplaceAll(text, password_, "******");
  return text;
}

CURLcode TFtpSession::TImpl::PerformBlocking() {
  CURLM* m = multi_.get();
  CURL* h = easy_.get();
  if (curl_multi_add_handle(m, h) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode result = CURLE_FAILED_INIT;
  int running = 1;
  while (running > 0) {
    if (curl_multi_perform(m, &running) != CURLM_OK) break;
    if (running > 0 && curl_multi_poll(m, nullptr, 0, 200, nullptr) != CURLM_OK) break;
  }
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(m, &left)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) result = msg->data.result;
  }
  curl_multi_remove_handle(m, h);
  return result;
}

CURLcode TFtpSession::TImpl::Run(TCall& call) {
  if (busy_) throw EFtpError("FTP session busy");
  errorBuffer_[0] = '\0';
  struct TGuard {
    TImpl& Impl;
    ~TGuard() {
      Impl.call_ = nullptr;
      Impl.busy_ = false;
    }
  } guard{*this};
  busy_ = true;
  call_ = &call;
  {
    // Declared after call: joined before it goes, even when delivering throws.
    std::jthread worker([this, &call] {
      const CURLcode result = PerformBlocking();
      std::lock_guard lock(call.Mutex);
      call.Result = result;
      call.Done = true;
      call.Wake.notify_all();
    });
    auto lastPump = TClock::now();
    for (;;) {
      std::deque<TEvent> batch;
      bool done = false;
      {
        std::unique_lock lock(call.Mutex);
        call.Wake.wait_until(lock, lastPump + kPumpInterval, [&] { return call.Done || !call.Events.empty(); });
        batch.swap(call.Events);
        done = call.Done;
      }
      Deliver(batch);
      if (done) break;
      if (TClock::now() - lastPump >= kPumpInterval) {
        if (events_.ProcessMessages) events_.ProcessMessages();
        lastPump = TClock::now();
      }
    }
  }
  return call.Result;
}

int TFtpSession::TImpl::OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* self) {
  auto* impl = static_cast<TImpl*>(self);
  TCall* call = impl->call_;
  if (!call) return 0;
  const std::string_view text(data, size);
  if (type == CURLINFO_TEXT) {
    if (text.starts_with("  Trying ") && !call->AnnouncedConnecting) {
      call->AnnouncedConnecting = true;
      impl->Push(*call, {TEvent::Status, "Connecting to " + impl->host_ + ".", 0});
    } else if (text.starts_with("Connected to ")) {
      impl->Push(*call, {TEvent::Status, "Connected.", 0});
    } else if (impl->sftp_ && text.starts_with("Authentication complete")) {
      call->LoggedIn = true;
      impl->Push(*call, {TEvent::Status, "Connection established", 0});
    }
    return 0;
  }
  // SFTP has no reply lines (curl makes some of what commands print).
  if (impl->sftp_) return 0;
  // Of what was sent only the verb is kept (never the PASS argument).
  if (type == CURLINFO_HEADER_OUT) {
    const std::size_t end = text.find_first_of(" \r\n");
    call->LastVerb = std::string(text.substr(0, end));
    return 0;
  }
  if (type != CURLINFO_HEADER_IN) return 0;
  for (const std::string_view line : ReplyLines(text)) {
    call->LastReply = std::string(line);
    if (!IsFinalReplyLine(line)) continue;
    if (call->Kind == TKind::Command) call->Replies.push_back({call->LastVerb, std::string(line)});
    const std::string_view code = line.substr(0, 3);
    if (code == "230") {
      call->LoggedIn = true;
      impl->Push(*call, {TEvent::Status, "Connection established", 0});
    } else if ((code == "150" || code == "125") && call->Kind != TKind::Connect && !call->Started) {
      call->Started = true;
      impl->Push(*call, {TEvent::Status, "Starting FTP transfer", 0});
      if (call->Kind == TKind::Store) impl->Push(*call, {TEvent::WorkBegin, {}, call->Size});
    }
  }
  return 0;
}

int TFtpSession::TImpl::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
  auto* impl = static_cast<TImpl*>(self);
  TCall* call = impl->call_;
  if (call && call->Kind == TKind::Store && call->Started && ulnow != call->LastProgress) {
    call->LastProgress = ulnow;
    impl->Push(*call, {TEvent::Work, {}, static_cast<std::int64_t>(ulnow)});
  }
  return 0;
}

// SFTP says nothing when a transfer starts (FTP's 150): the first bytes tell.
void TFtpSession::TImpl::MarkStarted(TCall& call) {
  call.Started = true;
  Push(call, {TEvent::Status, "Starting FTP transfer", 0});
  if (call.Kind == TKind::Store) Push(call, {TEvent::WorkBegin, {}, call.Size});
}

int TFtpSession::TImpl::OnHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* self) {
  auto* impl = static_cast<TImpl*>(self);
  TCall* call = impl->call_;
  if (!call || !found || !found->key) return CURLKHSTAT_REJECT;
  // The key as the server sent it, or (len 0) in base64.
  const std::string fingerprint = found->len > 0 ? HostKeyFingerprint(found->key, found->len)
                                                 : HostKeyFingerprintOfBase64(found->key);
  const std::string where = impl->host_ + ":" + std::to_string(impl->port_);
  const std::string advice = "; set EmpreinteSSH=" + fingerprint + " once the server's administrator has confirmed it";
  if (!impl->hostKey_.empty()) {
    if (!fingerprint.empty() && fingerprint == impl->hostKey_) return CURLKHSTAT_FINE;
    call->HostKeyProblem = "SSH host key of " + where + " is not the one in EmpreinteSSH (" + impl->hostKey_ +
                           "): the server presents " + fingerprint;
  } else if (match == CURLKHMATCH_OK) {
    return CURLKHSTAT_FINE;
  } else if (match == CURLKHMATCH_MISMATCH) {
    call->HostKeyProblem = "SSH host key of " + where + " has changed since it was put in " + impl->knownHosts_ +
                           ": the server presents " + fingerprint + advice;
  } else {
    call->HostKeyProblem = "Unknown SSH host key of " + where + " (not in " +
                           (impl->knownHosts_.empty() ? std::string("any known hosts file") : impl->knownHosts_) +
                           "): " + fingerprint + advice;
  }
  return CURLKHSTAT_REJECT;
}

std::size_t TFtpSession::TImpl::OnRead(char* buffer, std::size_t size, std::size_t count, void* self) {
  auto* impl = static_cast<TImpl*>(self);
  TCall* call = impl->call_;
  if (!call || !call->File) return CURL_READFUNC_ABORT;
  if (impl->sftp_ && !call->Started) impl->MarkStarted(*call);
  call->File->read(buffer, static_cast<std::streamsize>(size * count));
  if (call->File->bad()) return CURL_READFUNC_ABORT;
  return static_cast<std::size_t>(call->File->gcount());
}

std::size_t TFtpSession::TImpl::OnWrite(char* data, std::size_t size, std::size_t count, void* self) {
  auto* impl = static_cast<TImpl*>(self);
  TCall* call = impl->call_;
  if (!call || !call->Listing) return 0;
  if (impl->sftp_ && !call->Started) impl->MarkStarted(*call);
  if (call->Listing->size() + size * count > kMaxListingBytes) {
    call->ListingTooLarge = true;
    return 0;
  }
  call->Listing->append(data, size * count);
  return size * count;
}

void TFtpSession::TImpl::Connect(const std::string& server, const std::string& user, const std::string& password,
                                 const std::string& folder, const TConnectionOptions& options) {
  if (busy_) throw EFtpError("FTP session busy");
  connected_ = false;
  const auto address = ParseServerAddress(server);
  if (!address) Fail("Invalid FTP server address");
  if (HasLineBreakOrNul(user) || HasLineBreakOrNul(password) || HasLineBreakOrNul(folder)) {
    Fail("Invalid character in user name, password or folder");
  }
  SetUpHandles();
  host_ = address->Host;
  password_ = password;
  sftp_ = options.Security == TFtpSecurity::Sftp;
  hostKey_ = options.HostKey;
  knownHosts_ = options.KnownHostsFile;
  const bool ipv6 = host_.find(':') != std::string::npos;
  const bool implicitTls = options.Security == TFtpSecurity::ImplicitTls;
  port_ = address->PortGiven ? address->Port : implicitTls ? 990 : sftp_ ? 22 : address->Port;
  baseUrl_ = std::string(implicitTls ? "ftps://" : sftp_ ? "sftp://" : "ftp://") + (ipv6 ? "[" + host_ + "]" : host_) +
             ":" + std::to_string(port_) + "/";

  // Each part of the folder escaped on its own: a raw "#" or "?" would cut
  // the URL short. A leading "/" (an absolute folder) is kept.
  std::string trimmed = folder;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::string path;
  if (!trimmed.empty()) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t slash = trimmed.find('/', start);
      path += Escape(trimmed.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
      if (slash == std::string::npos) break;
      path += '/';
      start = slash + 1;
    }
    if (path.back() != '/') path += '/';
  }
  // An SFTP URL's path is absolute; "~/" is the login folder.
  if (sftp_ && !path.starts_with('/')) path = "~/" + path;

  CURL* h = easy_.get();
  // Active: the server connects back to the port announced; passive: EPSV, then PASV.
  curl_easy_setopt(h, CURLOPT_FTPPORT, options.Passive ? nullptr : "-");
  curl_easy_setopt(h, CURLOPT_FTP_USE_EPSV, 1L);
  curl_easy_setopt(h, CURLOPT_USE_SSL,
                   static_cast<long>(options.Security == TFtpSecurity::None ? CURLUSESSL_NONE : CURLUSESSL_ALL));
  curl_easy_setopt(h, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
  // TLS 1.2 at most: over TLS 1.3 libcurl offers a data connection the
  // session of the previous data connection rather than the control
  // connection's, and servers that require the reuse (most, by default)
  // refuse every second transfer.
  curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2) | static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, options.VerifyCertificate ? 1L : 0L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, options.VerifyCertificate ? 2L : 0L);
  curl_easy_setopt(h, CURLOPT_CAINFO, options.CaFile.empty() ? nullptr : options.CaFile.c_str());
  curl_easy_setopt(h, CURLOPT_USERNAME, user.c_str());
  const bool byKey = sftp_ && !options.PrivateKeyFile.empty();
  curl_easy_setopt(h, CURLOPT_PASSWORD, byKey ? "" : password.c_str());
  curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES,
                   byKey ? CURLSSH_AUTH_PUBLICKEY : CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD);
  curl_easy_setopt(h, CURLOPT_SSH_PRIVATE_KEYFILE, byKey ? options.PrivateKeyFile.c_str() : nullptr);
  // "": the public key is derived from the private one.
  curl_easy_setopt(h, CURLOPT_SSH_PUBLIC_KEYFILE, byKey ? "" : nullptr);
  curl_easy_setopt(h, CURLOPT_KEYPASSWD, byKey && !password.empty() ? password.c_str() : nullptr);
  // Without a file the host key function still runs, and only HostKey can match.
  curl_easy_setopt(h, CURLOPT_SSH_KNOWNHOSTS,
                   options.KnownHostsFile.empty() ? "/dev/null" : options.KnownHostsFile.c_str());
  SetUrl(baseUrl_ + path);
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 0L);
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);

  if (events_.Status) events_.Status("Resolving hostname " + host_ + ".");
  TCall call(TKind::Connect);
  const CURLcode result = Run(call);
  freshConnection_ = false;
  if (result == CURLE_OK) {
    connected_ = true;
    folderPath_ = path;
    sftpFolder_ = trimmed.empty() || trimmed == "/" ? trimmed : trimmed + "/";
    if (sftp_) CheckSftpFolder();
    return;
  }
  if (result == CURLE_REMOTE_ACCESS_DENIED && call.LoggedIn) {
    // Logged in, but the folder is not there: the session stays in the login folder.
    connected_ = true;
    folderPath_.clear();
  }
  FailCall(result, call);
}

std::int64_t TFtpSession::TImpl::Store(const std::string& localPath, const std::string& remoteName) {
  if (busy_) throw EFtpError("FTP session busy");
  if (!connected_) Fail("Not connected");
  if (!IsValidRemoteName(remoteName)) Fail("Invalid remote file name");
  // Opened before the STOR goes out: a file that cannot be read must not
  // leave an emptied file on the server.
  std::ifstream file;
  if (platform::FileExists(localPath)) file.open(platform::NativePath(localPath), std::ios::binary);
  if (!file.is_open()) Fail("Cannot open file " + localPath);
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  file.seekg(0, std::ios::beg);
  if (size < 0 || !file) Fail("Cannot read file " + localPath);

  CURL* h = easy_.get();
  SetUrl(baseUrl_ + folderPath_ + Escape(remoteName));
  curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 0L);
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, freshConnection_ ? 1L : 0L);

  TCall call(TKind::Store);
  call.Size = size;
  call.File = &file;
  const CURLcode result = Run(call);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
  if (result == CURLE_OK) {
    freshConnection_ = false;
    if (events_.Status) events_.Status("Transfer complete");
    return size;
  }
  // A refusal leaves the dialogue in step; anything else (a time limit above
  // all, after which late replies may still come) gets a new connection.
  freshConnection_ = sftp_ ? SftpRefusalReply(result) == 0
                           : result != CURLE_UPLOAD_FAILED && result != CURLE_REMOTE_ACCESS_DENIED &&
                                 result != CURLE_REMOTE_FILE_NOT_FOUND;
  FailCall(result, call);
}

std::vector<std::string> TFtpSession::TImpl::ListNames() {
  if (busy_) throw EFtpError("FTP session busy");
  if (!connected_) Fail("Not connected");
  CURL* h = easy_.get();
  SetUrl(baseUrl_ + folderPath_);
  curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 1L);
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 1L);
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, freshConnection_ ? 1L : 0L);

  std::string listing;
  TCall call(TKind::List);
  call.Listing = &listing;
  const CURLcode result = Run(call);
  curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 0L);
  long reply = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply);
  // Many servers answer the listing of an empty folder with 450 or 550.
  const bool noFiles = (result == CURLE_OK || result == CURLE_FTP_COULDNT_RETR_FILE) && (reply == 450 || reply == 550);
  if (noFiles) return {};
  if (result != CURLE_OK) {
    freshConnection_ = sftp_ ? SftpRefusalReply(result) == 0
                             : result != CURLE_FTP_COULDNT_RETR_FILE && result != CURLE_REMOTE_ACCESS_DENIED;
    FailCall(result, call);
  }
  freshConnection_ = false;
  if (events_.Status) events_.Status("Transfer complete");

  auto names = ListingNames(listing, kMaxListingNames);
  if (!names) Fail("Listing too large", TFtpFailure::TooLarge);
  return std::move(*names);
}

std::vector<TFtpSession::TImpl::TReply> TFtpSession::TImpl::Command(const std::vector<std::string>& commands,
                                                                      const std::string& url) {
  if (busy_) throw EFtpError("FTP session busy");
  if (!connected_) Fail("Not connected");
  std::unique_ptr<curl_slist, TSlistDeleter> list;
  for (const std::string& command : commands) {
    curl_slist* head = curl_slist_append(list.get(), command.c_str());
    if (!head) throw EFtpError("libcurl could not make a command list");
    (void)list.release();
    list.reset(head);
  }
  CURL* h = easy_.get();
  // The folder itself without body: no transfer, only the commands.
  SetUrl(url.empty() ? baseUrl_ + folderPath_ : url);
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 0L);
  curl_easy_setopt(h, CURLOPT_QUOTE, list.get());
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, freshConnection_ ? 1L : 0L);
  TCall call(TKind::Command);
  // SFTP commands carry no verb on the wire: the first word stands for it.
  if (sftp_ && !commands.empty()) call.LastVerb = commands.front().substr(0, commands.front().find(' '));
  const CURLcode result = Run(call);
  curl_easy_setopt(h, CURLOPT_QUOTE, nullptr);
  curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
  if (result == CURLE_OK) {
    freshConnection_ = false;
    return std::move(call.Replies);
  }
  // A refused command leaves the dialogue in step.
  freshConnection_ = sftp_ ? SftpRefusalReply(result) == 0 : result != CURLE_QUOTE_ERROR;
  FailCall(result, call);
}

// A relative SFTP path is taken from the login folder, as a folder on FTP.
std::string TFtpSession::TImpl::SftpPath(const std::string& name) const {
  const std::string path = sftpFolder_ + name;
  return SftpQuoted(path.empty() ? "." : path);
}

// SFTP opens no folder: that the folder is there is asked (statvfs, an
// OpenSSH extension most servers have). A server without it is taken at its
// word until the first transfer.
void TFtpSession::TImpl::CheckSftpFolder() {
  try {
    (void)Command({"statvfs " + SftpPath("")});
  } catch (const EFtpError& error) {
    if (error.Failure() != TFtpFailure::Refused) throw;
    if (std::string_view(error.what()).find("No such file") == std::string_view::npos) return;
    // Logged in, but the folder is not there: the session stays in the login folder.
    folderPath_ = "~/";
    sftpFolder_.clear();
    throw;
  }
}

std::optional<std::int64_t> TFtpSession::TImpl::RemoteSize(const std::string& remoteName) {
  if (!IsValidRemoteName(remoteName)) Fail("Invalid remote file name");
  if (sftp_) {
    // The file's attributes: a file that is not there is a refusal.
    (void)Command({}, baseUrl_ + folderPath_ + Escape(remoteName));
    curl_off_t size = -1;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) != CURLE_OK || size < 0) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(size);
  }
  // "*": a server without SIZE is no failure. SIZE counts bytes in binary mode only.
  for (const TReply& reply : Command({"*TYPE I", "*SIZE " + remoteName})) {
    if (reply.Verb == "SIZE") return SizeFromReply(reply.Line);
  }
  return std::nullopt;
}

void TFtpSession::TImpl::Rename(const std::string& fromName, const std::string& toName) {
  if (!IsValidRemoteName(fromName) || !IsValidRemoteName(toName)) Fail("Invalid remote file name");
  if (!sftp_) {
    (void)Command({"RNFR " + fromName, "RNTO " + toName});
    return;
  }
  try {
    (void)Command({"rename " + SftpPath(fromName) + " " + SftpPath(toName)});
  } catch (const EFtpError& error) {
    if (error.Failure() != TFtpFailure::Refused) throw;
    // One command for both names: only the server's words tell which was refused.
    const bool noSource = std::string_view(error.what()).find("No such file") != std::string_view::npos;
    throw EFtpError(error.what(), error.Failure(), error.Reply(), noSource ? "RNFR" : "RNTO");
  }
}

void TFtpSession::TImpl::Delete(const std::string& remoteName) {
  if (!IsValidRemoteName(remoteName)) Fail("Invalid remote file name");
  (void)Command({sftp_ ? "rm " + SftpPath(remoteName) : "DELE " + remoteName});
}

// ---------------------------------------------------------------------------

TFtpSession::TFtpSession(TFtpEvents events, TFtpTimeLimits limits)
    : impl_(std::make_unique<TImpl>(std::move(events), limits)) {}

TFtpSession::~TFtpSession() = default;

bool TFtpSession::Connected() const { return impl_->connected_; }

bool TFtpSession::InStep() const { return impl_->connected_ && !impl_->OutOfStep(); }

void TFtpSession::Connect(const std::string& server, const std::string& user, const std::string& password,
                          const std::string& folder, const TConnectionOptions& options) {
  impl_->Connect(server, user, password, folder, options);
}

std::int64_t TFtpSession::Store(const std::string& localPath, const std::string& remoteName) {
  return impl_->Store(localPath, remoteName);
}

std::vector<std::string> TFtpSession::ListNames() { return impl_->ListNames(); }

std::optional<std::int64_t> TFtpSession::RemoteSize(const std::string& remoteName) {
  return impl_->RemoteSize(remoteName);
}

void TFtpSession::Rename(const std::string& fromName, const std::string& toName) { impl_->Rename(fromName, toName); }

void TFtpSession::Delete(const std::string& remoteName) { impl_->Delete(remoteName); }

}  // namespace transfer
