#include "support/FtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <stdexcept>

extern char** environ;

#ifndef ANNONCIA_FTPSERVER_SCRIPT
#error "ANNONCIA_FTPSERVER_SCRIPT must name tests/ftpserver.py"
#endif

namespace testsupport {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

// Reads the "PORT n" line the server prints once it listens.
int ReadPort(int fd, int pid, const std::string& diagnostics) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (text.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) throw std::runtime_error("FTP test server did not start in time");
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    char buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      throw std::runtime_error("FTP test server ended at start:\n" + ReadFile(diagnostics));
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
  if (!text.starts_with("PORT ")) throw std::runtime_error("FTP test server said: " + text);
  return std::stoi(text.substr(5));
}

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

  // The server reads its standard input to notice that this process is gone;
  // our ends of both pipes must not leak into other children.
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, (dir_ / "server.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, kPython, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  if (rc != 0) {
    close(in[1]);
    close(out[0]);
    throw std::runtime_error(std::string("cannot start the FTP test server: ") + std::strerror(rc));
  }
  pid_ = pid;
  stdinFd_ = in[1];
  try {
    port_ = ReadPort(out[0], pid_, dir_ / "server.err");
  } catch (...) {
    close(out[0]);
    close(stdinFd_);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    throw;
  }
  close(out[0]);
}

TFtpServer::~TFtpServer() {
  close(stdinFd_);
  kill(pid_, SIGKILL);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
}

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
