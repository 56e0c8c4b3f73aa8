#include "support/SmtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

extern char** environ;

#ifndef ANNONCIA_SMTPSERVER_SCRIPT
#error "ANNONCIA_SMTPSERVER_SCRIPT must name tests/smtpserver.py"
#endif

namespace testsupport {
namespace {

int ReadPort(int fd, const std::string& diagnostics) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (text.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) throw std::runtime_error("SMTP test server did not start in time");
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r <= 0) continue;
    char buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) throw std::runtime_error("SMTP test server ended at start:\n" + ReadFile(diagnostics));
    text.append(buf, static_cast<std::size_t>(n));
  }
  if (!text.starts_with("PORT ")) throw std::runtime_error("SMTP test server said: " + text);
  return std::stoi(text.substr(5));
}

}  // namespace

TSmtpServer::TSmtpServer(TSmtpServerOptions options) {
  std::vector<std::string> args{"/usr/bin/python3", ANNONCIA_SMTPSERVER_SCRIPT, "--log", MailLogPath(), "--lifetime",
                                std::to_string(options.LifetimeSeconds)};
  if (!options.User.empty()) args.insert(args.end(), {"--user", options.User, options.Password});
  for (const auto& fault : options.Faults) args.insert(args.end(), {"--fault", fault});
  WriteFile(MailLogPath(), "");

  // The server reads its standard input to notice that this process is gone.
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
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  if (rc != 0) {
    close(in[1]);
    close(out[0]);
    throw std::runtime_error(std::string("cannot start the SMTP test server: ") + std::strerror(rc));
  }
  pid_ = pid;
  stdinFd_ = in[1];
  try {
    port_ = ReadPort(out[0], dir_ / "server.err");
  } catch (...) {
    close(out[0]);
    close(stdinFd_);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    throw;
  }
  close(out[0]);
}

TSmtpServer::~TSmtpServer() {
  close(stdinFd_);
  kill(pid_, SIGKILL);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
}

int TSmtpServer::MessageCount() const {
  int n = 0;
  const std::string log = ReadFile(MailLogPath());
  for (std::size_t at = 0; (at = log.find("\"mail_from\"", at)) != std::string::npos; ++at) ++n;
  return n;
}

std::string TSmtpServer::Diagnostics() const { return ReadFile(dir_ / "server.err"); }

}  // namespace testsupport
