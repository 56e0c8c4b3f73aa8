#include "support/SmtpServer.h"


#include <stdexcept>

#ifndef ANNONCIA_SMTPSERVER_SCRIPT
#error "ANNONCIA_SMTPSERVER_SCRIPT must name tests/smtpserver.py"
#endif

namespace testsupport {
TSmtpServer::TSmtpServer(TSmtpServerOptions options) {
  std::vector<std::string> args{"/usr/bin/python3", ANNONCIA_SMTPSERVER_SCRIPT, "--log", MailLogPath(), "--lifetime",
                                std::to_string(options.LifetimeSeconds)};
  if (!options.User.empty()) args.insert(args.end(), {"--user", options.User, options.Password});
  for (const auto& fault : options.Faults) args.insert(args.end(), {"--fault", fault});
  WriteFile(MailLogPath(), "");

  // The server reads its standard input to notice that this process is gone.
  process_ = std::make_unique<TServerProcess>(std::move(args), dir_ / "server.err", true, "SMTP test server");
  port_ = process_->Port();
}

TSmtpServer::~TSmtpServer() = default;

int TSmtpServer::MessageCount() const {
  int n = 0;
  const std::string log = ReadFile(MailLogPath());
  for (std::size_t at = 0; (at = log.find("\"mail_from\"", at)) != std::string::npos; ++at) ++n;
  return n;
}

std::string TSmtpServer::Diagnostics() const { return ReadFile(dir_ / "server.err"); }

}  // namespace testsupport
