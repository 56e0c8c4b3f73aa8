#include "support/ServerProcess.h"

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
#include <thread>

#include "support/TestSupport.h"

extern char** environ;

namespace testsupport {
namespace {

// Reads the "PORT n" line the server prints once it listens.
int ReadPort(int fd, const std::string& name, const std::string& logFile) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (text.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) throw std::runtime_error(name + " did not start in time");
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r <= 0) continue;
    char buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) throw std::runtime_error(name + " ended at start:\n" + ReadFile(logFile));
    text.append(buf, static_cast<std::size_t>(n));
  }
  if (!text.starts_with("PORT ")) throw std::runtime_error(name + " said: " + text);
  return std::stoi(text.substr(5));
}

}  // namespace

TServerProcess::TServerProcess(std::vector<std::string> arguments, const std::string& logFile, bool readPortLine,
                               const std::string& name)
    : name_(name), logFile_(logFile) {
  int in[2], out[2] = {-1, -1};
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (readPortLine && pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_addopen(&actions, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (readPortLine) {
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  } else {
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
  }
  std::vector<char*> argv;
  for (auto& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  if (readPortLine) close(out[1]);
  stdinFd_ = in[1];
  if (rc != 0) {
    close(stdinFd_);
    if (readPortLine) close(out[0]);
    throw std::runtime_error("cannot start " + name + ": " + std::strerror(rc));
  }
  pid_ = pid;
  if (!readPortLine) return;
  try {
    port_ = ReadPort(out[0], name, logFile);
  } catch (...) {
    close(out[0]);
    Stop();
    throw;
  }
  close(out[0]);
}

TServerProcess::~TServerProcess() { Stop(); }

bool TServerProcess::Ended() {
  if (pid_ <= 0) return true;
  if (waitpid(pid_, nullptr, WNOHANG) != pid_) return false;
  pid_ = -1;
  return true;
}

void TServerProcess::Stop() {
  if (stdinFd_ >= 0) close(stdinFd_);
  stdinFd_ = -1;
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (Ended()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid_, SIGKILL);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace testsupport
