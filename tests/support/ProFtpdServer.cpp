#include "support/ProFtpdServer.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/FtpServer.h"  // MakeTestCertificate

extern char** environ;

namespace testsupport {
namespace {

constexpr const char* kProFtpd = "/usr/sbin/proftpd";
constexpr const char* kBash = "/bin/bash";
constexpr const char* kIdent = "annoncia test server";
// The virtual user's ids when the tests run as root: nobody / nogroup.
constexpr int kUnprivilegedId = 65534;

// Runs the server in its own process group and kills the whole group (the
// server, its sessions and itself) once its standard input reaches end of
// file (the test process closed it, or is gone) or after the lifetime.
// $1 configuration, $2 server output, $3 file written when the server ends,
// $4 lifetime in seconds.
constexpr const char* kWatchdog = R"(
( "$0" -n -c "$1" </dev/null >"$2" 2>&1; echo "ended $?" >"$3" ) &
read -r -t "$4" _
kill -KILL 0
)";

// Connects to the port; for a plain or explicit TLS server also reads the
// greeting, to be sure that it is this server that listens there.
bool Answers(int port, bool greets) {
  const int s = ConnectToLoopback(port);
  if (s < 0) return false;
  bool ok = true;
  if (greets) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{s, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[256];
      const ssize_t n = read(s, buf, sizeof buf);
      if (n <= 0) break;
      text.append(buf, static_cast<std::size_t>(n));
    }
    ok = text.starts_with("220 ") && text.find(kIdent) != std::string::npos;
  }
  close(s);
  return ok;
}

std::string HashPassword(const std::string& password) {
  const auto r = RunProcess("/usr/bin/openssl", {"passwd", "-6", password}, {}, 30);
  if (r.ExitStatus != 0 || r.Out.size() < 2) throw std::runtime_error("openssl passwd failed: " + r.Err);
  return r.Out.substr(0, r.Out.find('\n'));
}

}  // namespace

TProFtpdServer::TProFtpdServer(TProFtpdOptions options)
    : folder_(options.Folder), tls_(options.Security != TProFtpdSecurity::None) {
  // The server's sessions run as the virtual user and must reach the home folder.
  chmod(dir_.Path().c_str(), 0711);
  MakeDirs(Root());
  const bool root = geteuid() == 0;
  const int uid = root ? kUnprivilegedId : static_cast<int>(getuid());
  const int gid = root ? kUnprivilegedId : static_cast<int>(getgid());
  if (root) {
    for (std::string path = Root();; path = path.substr(0, path.rfind('/'))) {
      if (chown(path.c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(gid)) != 0) {
        throw std::runtime_error("chown failed: " + path);
      }
      if (path == Home()) break;
    }
  }
  WriteFile(dir_ / "passwd", options.User + ":" + HashPassword(options.Password) + ":" + std::to_string(uid) + ":" +
                                 std::to_string(gid) + "::" + Home() + ":/bin/false\n");
  WriteFile(dir_ / "group", "ftpusers:x:" + std::to_string(gid) + ":\n");
  chmod((dir_ / "passwd").c_str(), 0600);
  chmod((dir_ / "group").c_str(), 0600);
  if (tls_) MakeTestCertificate(dir_ / "tls", options.CertificateName);

  // A bind race (the port picked was taken meanwhile) is tried again with another port.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (Start(options, ClosedLoopbackPort())) return;  // another process may take it first: Start tells
  }
  throw std::runtime_error("proftpd did not start:\n" + Diagnostics());
}

bool TProFtpdServer::Start(const TProFtpdOptions& options, int port) {
  const std::string d = dir_.Path();
  std::ostringstream conf;
  conf << "ServerType standalone\n"
          "ServerName \"" << kIdent << "\"\n"
          "ServerIdent on \"" << kIdent << "\"\n"
          "DefaultAddress 127.0.0.1\n"
          "SocketBindTight on\n"
          "UseIPv6 off\n"
          "Port " << port << "\n";
  // Passive data ports near the control port; should they be taken, the
  // server falls back to a port of the kernel's choice.
  const int low = port < 65000 ? port + 1 : port - 500;
  conf << "PassivePorts " << low << " " << low + 31 << "\n";
  if (geteuid() == 0) {
    conf << "User nobody\nGroup nogroup\nDefaultRoot ~\n";
  } else {
    // Without root the server stays the user who runs the tests (no jail).
    const passwd* user = getpwuid(getuid());
    const group* grp = getgrgid(getgid());
    if (user == nullptr || grp == nullptr) throw std::runtime_error("who runs the tests is unknown");
    conf << "User " << user->pw_name << "\nGroup " << grp->gr_name << "\n";
  }
  conf << "PidFile " << d << "/proftpd.pid\n"
          "ScoreboardFile " << d << "/proftpd.scoreboard\n"
          "DelayEngine off\n"
          "<IfModule mod_ctrls.c>\nControlsEngine off\n</IfModule>\n"
          "WtmpLog off\n"
          "UseReverseDNS off\n"
          "UseFtpUsers off\n"
          "TransferLog none\n"
          "SystemLog " << d << "/system.log\n"
          "LogFormat commands \"%m %J\"\n"
          "ExtendedLog " << d << "/commands.log ALL commands\n"
          "AuthOrder mod_auth_file.c\n"
          "AuthUserFile " << d << "/passwd\n"
          "AuthGroupFile " << d << "/group\n"
          "AuthPAM off\n"
          "RequireValidShell off\n"
          "AllowOverwrite on\n"
          "Umask 022\n"
          "MaxInstances 30\n"
          "TimeoutIdle " << options.LifetimeSeconds << "\n"
          "TimeoutLogin 20\n";
  if (tls_) {
    conf << "ModulePath /usr/lib/proftpd\n"
            "LoadModule mod_tls.c\n"
            "TLSEngine on\n"
            "TLSLog " << d << "/tls.log\n"
            "TLSProtocol " << options.TlsProtocols << "\n"
            "TLSRequired on\n"
            "TLSVerifyClient off\n"
            "TLSRSACertificateFile " << d << "/tls/cert.pem\n"
            "TLSRSACertificateKeyFile " << d << "/tls/key.pem\n";
    if (options.Security == TProFtpdSecurity::ImplicitTls) conf << "TLSOptions UseImplicitSSL\n";
  }
  WriteFile(dir_ / "proftpd.conf", conf.str());
  WriteFile(dir_ / "commands.log", "");
  std::remove((dir_ / "ended").c_str());

  // The watchdog reads this pipe: our end must not leak into other children.
  int in[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, (dir_ / "watchdog.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<std::string> args{kBash, "-c", kWatchdog, kProFtpd, dir_ / "proftpd.conf", dir_ / "server.out",
                                dir_ / "ended", std::to_string(options.LifetimeSeconds)};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, kBash, &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(in[0]);
  if (rc != 0) {
    close(in[1]);
    throw std::runtime_error(std::string("cannot start proftpd: ") + std::strerror(rc));
  }
  pid_ = pid;
  stdinFd_ = in[1];
  port_ = port;

  const bool greets = options.Security != TProFtpdSecurity::ImplicitTls;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (PathExists(dir_ / "ended")) break;
    if (Answers(port, greets)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Stop();
  return false;
}

void TProFtpdServer::Stop() {
  if (pid_ < 0) return;
  close(stdinFd_);
  kill(-pid_, SIGKILL);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

TProFtpdServer::~TProFtpdServer() { Stop(); }

std::string TProFtpdServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TProFtpdServer::Home() const { return dir_ / "home"; }

std::string TProFtpdServer::Root() const { return folder_.empty() ? Home() : Home() + "/" + folder_; }

std::string TProFtpdServer::CertificateFile() const { return tls_ ? dir_ / "tls/cert.pem" : ""; }

std::vector<std::string> TProFtpdServer::Commands() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(dir_ / "commands.log"));
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("PASS")) line = "PASS";
    lines.push_back(line);
  }
  return lines;
}

std::string TProFtpdServer::Diagnostics() const {
  std::string text;
  for (const char* name : {"server.out", "system.log", "tls.log", "watchdog.err", "ended"}) {
    if (PathExists(dir_ / name)) text += std::string("--- ") + name + "\n" + ReadFile(dir_ / name);
  }
  return text;
}

}  // namespace testsupport
