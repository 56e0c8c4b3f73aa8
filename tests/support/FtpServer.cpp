#include "support/FtpServer.h"

#include <sstream>
#include <stdexcept>

#ifndef ANNONCIA_FTPSERVER_SCRIPT
#error "ANNONCIA_FTPSERVER_SCRIPT must name tests/ftpserver.py"
#endif

namespace testsupport {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

}  // namespace

void MakeTestCertificate(const std::string& folder, const std::string& subjectAltName) {
  MakeDirs(folder);
  const auto made = RunProcess("/usr/bin/openssl",
                               {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                                "/CN=annoncia test", "-addext", "subjectAltName=" + subjectAltName, "-keyout",
                                folder + "/key.pem", "-out", folder + "/cert.pem"},
                               {}, 60);
  if (made.ExitStatus != 0) throw std::runtime_error("openssl failed: " + made.Err);
}

TFtpServer::TFtpServer(TFtpServerOptions options) {
  accounts_.push_back({options.User, options.Password, options.Folder, options.CreateFolder});
  accounts_.insert(accounts_.end(), options.OtherAccounts.begin(), options.OtherAccounts.end());

  std::vector<std::string> args{kPython, ANNONCIA_FTPSERVER_SCRIPT, "--log", dir_ / "commands.log", "--lifetime",
                                std::to_string(options.LifetimeSeconds)};
  for (std::size_t k = 0; k < accounts_.size(); ++k) {
    MakeDirs(Home(k));
    if (!accounts_[k].Folder.empty() && accounts_[k].CreateFolder) MakeDirs(Root(k));
    args.insert(args.end(), {"--user", accounts_[k].User, accounts_[k].Password, Home(k)});
  }
  for (const auto& fault : options.Faults) args.insert(args.end(), {"--fault", fault});
  if (!options.TlsCertificate.empty()) args.insert(args.end(), {"--tls", options.TlsCertificate, options.TlsKey});
  WriteFile(dir_ / "commands.log", "");

  // The server reads its standard input to notice that this process is gone.
  process_ = std::make_unique<TServerProcess>(std::move(args), dir_ / "server.err", true, "FTP test server");
  port_ = process_->Port();
}

TFtpServer::~TFtpServer() = default;

std::string TFtpServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TFtpServer::Home(std::size_t account) const { return dir_ / ("home" + std::to_string(account)); }

std::string TFtpServer::Root(std::size_t account) const {
  const std::string& folder = accounts_.at(account).Folder;
  return folder.empty() ? Home(account) : Home(account) + "/" + folder;
}

std::vector<std::string> TFtpServer::Commands() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(dir_ / "commands.log"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

namespace {
std::string VerbOf(const std::string& line) { return line.substr(0, line.find(' ')); }
}  // namespace

int TFtpServer::Count(const std::string& verb) const {
  int n = 0;
  for (const auto& line : Commands()) n += VerbOf(line) == verb;
  return n;
}

std::vector<std::string> TFtpServer::Arguments(const std::string& verb) const {
  std::vector<std::string> args;
  for (const auto& line : Commands()) {
    if (VerbOf(line) == verb) args.push_back(line.size() > verb.size() ? line.substr(verb.size() + 1) : "");
  }
  return args;
}

std::string TFtpServer::Diagnostics() const { return ReadFile(dir_ / "server.err"); }

}  // namespace testsupport
