#include "support/SftpServer.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace testsupport {
namespace {

constexpr const char* kProftpd = "/usr/sbin/proftpd";
constexpr const char* kKeygen = "/usr/bin/ssh-keygen";
constexpr const char* kSshd = "/usr/sbin/sshd";

void Must(const TProcessResult& result, const std::string& what) {
  if (result.ExitStatus != 0) throw std::runtime_error(what + " failed: " + result.Out + result.Err);
}

bool Accepts(int port) {
  const int s = ConnectToLoopback(port);
  if (s >= 0) close(s);
  return s >= 0;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

TSftpServer::TSftpServer(TSftpServerOptions options) : options_(std::move(options)) {
  if (options_.Implementation == TSftpImplementation::OpenSsh) {
    // Every folder above a jail must belong to root and be writable by no one else.
    if (getuid() != 0) throw std::runtime_error("sshd as a test server needs root");
    char pattern[] = "/run/annoncia-sshd-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a jail under /run");
    jail_ = pattern;
    chmod(jail_.c_str(), 0755);
    home_ = jail_;
    MakeDirs("/run/sshd");  // sshd's own empty folder for its unprivileged part
  } else {
    home_ = dir_ / "home";
  }
  MakeDirs(Root());
  // sshd takes an Ed25519 key (libssh2 has no RSA signature it accepts);
  // ProFTPD's module reads RSA keys in the PEM form.
  if (options_.Implementation == TSftpImplementation::OpenSsh) {
    Must(RunProcess(kKeygen, {"-q", "-t", "ed25519", "-N", "", "-f", dir_ / "host_key"}), "ssh-keygen");
  } else {
    Must(RunProcess(kKeygen, {"-q", "-t", "rsa", "-b", "2048", "-m", "PEM", "-N", "", "-f", dir_ / "host_key"}),
         "ssh-keygen");
  }
  Must(RunProcess(kKeygen, {"-q", "-t", "ed25519", "-N", ClientKeyPassphrase(), "-f", ClientKey()}), "ssh-keygen");
  const auto listed = RunProcess(kKeygen, {"-l", "-E", "sha256", "-f", dir_ / "host_key.pub"});
  Must(listed, "ssh-keygen -l");
  const auto start = listed.Out.find("SHA256:");
  if (start == std::string::npos) throw std::runtime_error("no fingerprint in: " + listed.Out);
  fingerprint_ = listed.Out.substr(start, listed.Out.find(' ', start) - start);
  // The module reads the user's keys in the RFC 4716 form.
  const auto exported = RunProcess(kKeygen, {"-e", "-f", ClientKey() + ".pub"});
  Must(exported, "ssh-keygen -e");
  WriteFile(dir_ / "authorized_keys", exported.Out);
  WriteFile(dir_ / "authorized_keys.openssh", ReadFile(ClientKey() + ".pub"));
  const auto hash = RunProcess("/usr/bin/openssl", {"passwd", "-6", options_.Password});
  Must(hash, "openssl passwd");
  // The virtual user is this process's own user: the server can write as it
  // whether it runs as root (which it needs RootLogin for) or not.
  const std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
  WriteFile(dir_ / "passwd", options_.User + ":" + Trimmed(hash.Out) + ":" + uid + ":" + gid + ":test:" + Home() +
                                 ":/bin/false\n");
  chmod((dir_ / "passwd").c_str(), 0600);
  Start();
}

void TSftpServer::Start() {
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = ClosedLoopbackPort();
    const bool openSsh = options_.Implementation == TSftpImplementation::OpenSsh;
    WriteFile(dir_ / "server.conf", openSsh ? SshdConfiguration() : ProFtpdConfiguration());
    // timeout(1) ends the server after its lifetime whatever becomes of us
    // (sshd starts itself again for each connection: its path must be absolute).
    std::vector<std::string> args{"/usr/bin/timeout", "-k", "5", std::to_string(options_.LifetimeSeconds)};
    if (openSsh) {
      args.insert(args.end(), {kSshd, "-D", "-e", "-f", dir_ / "server.conf"});
    } else {
      args.insert(args.end(), {kProftpd, "-n", "-q", "-c", dir_ / "server.conf"});
    }
    process_ = std::make_unique<TServerProcess>(std::move(args), dir_ / "server.out", false, "SFTP test server");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline && !process_->Ended()) {
      if (Accepts(port_)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    process_.reset();
    // The port taken by another process before the server bound it: another one.
    if (Diagnostics().find("in use") == std::string::npos) break;
  }
  throw std::runtime_error("the SFTP test server did not start:\n" + Diagnostics());
}

std::string TSftpServer::ProFtpdConfiguration() const {
  const passwd* me = getpwuid(getuid());
  const group* myGroup = getgrgid(getgid());
  if (!me || !myGroup) throw std::runtime_error("this process's user has no name");
  return "ServerType standalone\nDefaultServer on\nDefaultAddress 127.0.0.1\nSocketBindTight on\n"
         "Port " + std::to_string(port_) + "\nUser " + me->pw_name + "\nGroup " + myGroup->gr_name +
         "\nPidFile " + (dir_ / "proftpd.pid") + "\nScoreboardFile " + (dir_ / "scoreboard") +
         "\nDelayTable none\nWtmpLog off\nUseReverseDNS off\nAuthOrder mod_auth_file.c\n"
         "AuthUserFile " + (dir_ / "passwd") + "\nRequireValidShell off\nRootLogin on\nDefaultRoot ~\n"
         "TimeoutIdle 60\nMaxLoginAttempts 3\n"
         "LoadModule mod_sftp.c\nSFTPEngine on\nSFTPHostKey " + (dir_ / "host_key") +
         "\nSFTPAuthorizedUserKeys file:" + (dir_ / "authorized_keys") +
         "\nSFTPLog " + (dir_ / "sftp.log") + "\n<Directory />\n  AllowOverwrite on\n</Directory>\n";
}

std::string TSftpServer::SshdConfiguration() const {
  return "ListenAddress 127.0.0.1:" + std::to_string(port_) + "\nHostKey " + (dir_ / "host_key") +
         "\nPidFile none\nUsePAM no\nStrictModes no\nPermitRootLogin prohibit-password\n"
         "PasswordAuthentication no\nKbdInteractiveAuthentication no\nPubkeyAuthentication yes\n"
         "AuthorizedKeysFile " + (dir_ / "authorized_keys.openssh") + "\nAllowUsers " + UserName() +
         "\nSubsystem sftp internal-sftp\nForceCommand internal-sftp\nChrootDirectory " + jail_ +
         "\nLogLevel VERBOSE\n";
}

TSftpServer::~TSftpServer() {
  process_.reset();
  if (!jail_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(jail_, ignored);
  }
}

std::string TSftpServer::UserName() const {
  if (options_.Implementation == TSftpImplementation::ProFtpd) return options_.User;
  const passwd* me = getpwuid(getuid());
  return me ? me->pw_name : "root";
}

std::string TSftpServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TSftpServer::KnownHostsLine() const {
  const std::string key = Trimmed(ReadFile(dir_ / "host_key.pub"));
  return "[127.0.0.1]:" + std::to_string(port_) + " " + key.substr(0, key.rfind(' ')) + "\n";
}

std::string TSftpServer::Root() const { return options_.Folder.empty() ? Home() : Home() + "/" + options_.Folder; }

std::string TSftpServer::Diagnostics() const {
  std::string text = PathExists(dir_ / "server.out") ? ReadFile(dir_ / "server.out") : "";
  if (PathExists(dir_ / "sftp.log")) text += ReadFile(dir_ / "sftp.log");
  return text;
}

}  // namespace testsupport
