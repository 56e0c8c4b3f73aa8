// Mail alerts: one message sent through an SMTP server with libcurl (the
// only unit besides the FTP session that knows curl).
//
// ComposeMail makes the message text: UTF-8 throughout, headers holding
// other than ASCII as encoded words, the body in base64, CR LF line ends.
// SendMail delivers it: plain SMTP, STARTTLS required (never falls back to
// plain text) or SMTP over TLS, with login when a user is given; the
// server's certificate is checked. The whole exchange is bounded by the
// time limit, and the window's pump runs about every 100 ms meanwhile.
// Failures raise EMailError, whose message never holds the password.
#pragma once

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace transfer {

class EMailError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum class TMailSecurity { None, StartTls, Tls };

struct TMailServer {
  std::string Server;  // "host" or "host:port"; port 25, 587 with STARTTLS, 465 with TLS
  TMailSecurity Security = TMailSecurity::None;
  std::string User = "";  // empty: no login
  std::string PassWord = "";
  std::chrono::milliseconds TimeLimit{30000};
};

struct TMailMessage {
  std::string From;
  std::vector<std::string> To;
  std::string Subject;  // UTF-8
  std::string Body;     // UTF-8, lines ended by CR LF
};

// Whether a text is a mail address this program sends to: local@domain,
// printable ASCII without blanks, quotes, brackets or commas.
bool IsMailAddress(const std::string& address);

// The message as sent, dated `date`. Raises EMailError for an address that
// IsMailAddress refuses.
std::string ComposeMail(const TMailMessage& message, const platform::TDateTime& date);

// Sends the message; pump is called while waiting (may be empty).
void SendMail(const TMailServer& server, const TMailMessage& message, const std::function<void()>& pump);

}  // namespace transfer
