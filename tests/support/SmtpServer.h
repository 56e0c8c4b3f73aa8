// A real SMTP server for tests: tests/smtpserver.py (aiosmtpd) started as a
// child process on 127.0.0.1 and an ephemeral port. It records every message
// it accepts; Messages() reads them back as Python's json would.
//
//   TSmtpServer smtp({.User = "alertes", .Password = "pw"});
//   ... ServeurSMTP=smtp.Address() ...
//   ASSERT_EQ(smtp.MessageCount(), 1);
//
// The server is stopped when the object is destroyed, and stops by itself
// after LifetimeSeconds or when the test process dies.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/ServerProcess.h"
#include "support/TestSupport.h"

namespace testsupport {

struct TSmtpServerOptions {
  std::string User = "";  // empty: no login offered
  std::string Password = "";
  std::vector<std::string> Faults = {};  // "silent", "reject_rcpt"
  int LifetimeSeconds = 120;
};

class TSmtpServer {
public:
  explicit TSmtpServer(TSmtpServerOptions options = {});
  ~TSmtpServer();
  TSmtpServer(const TSmtpServer&) = delete;
  TSmtpServer& operator=(const TSmtpServer&) = delete;

  int Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // The mail log: one JSON object per accepted message (or failed login).
  std::string MailLogPath() const { return dir_ / "mail.jsonl"; }
  int MessageCount() const;
  std::string Diagnostics() const;

private:
  TTempDir dir_;
  std::unique_ptr<TServerProcess> process_;
  int port_ = 0;
};

}  // namespace testsupport
