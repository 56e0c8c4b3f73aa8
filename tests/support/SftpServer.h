// A real SFTP server for tests, started as a child process on 127.0.0.1 and a
// free port with a configuration and a host key (ssh-keygen) made here:
// ProFTPD's SFTP module with one virtual user (no system account is used), or
// OpenSSH's sshd, where the user is the one running the tests (root: sshd
// needs it), logging in by key only, jailed in a folder of its own.
//
//   TSftpServer server({.Folder = "www/clicheo"});
//   ... ServeurFTP=server.Address(), Securite=SFTP, EmpreinteSSH=server.Fingerprint() ...
//   EXPECT_EQ(ReadFile(server.Root() + "/123.jpg"), ...);
//
// The user logs in with Password, or with the key in ClientKey() (unlocked by
// ClientKeyPassphrase()); the user's home folder is its login folder (and the
// root of what it sees). The server is stopped when the object is destroyed,
// and stops by itself after LifetimeSeconds, also when the test process dies.
#pragma once

#include <memory>
#include <string>

#include "support/ServerProcess.h"
#include "support/TestSupport.h"

namespace testsupport {

enum class TSftpImplementation { ProFtpd, OpenSsh };

struct TSftpServerOptions {
  TSftpImplementation Implementation = TSftpImplementation::ProFtpd;
  std::string User = "annoncia";  // OpenSsh: ignored, see UserName()
  std::string Password = "Secret42";
  std::string Folder = "";  // made inside the home folder
  int LifetimeSeconds = 120;
};

class TSftpServer {
public:
  explicit TSftpServer(TSftpServerOptions options = {});
  ~TSftpServer();
  TSftpServer(const TSftpServer&) = delete;
  TSftpServer& operator=(const TSftpServer&) = delete;

  // The user to log in as.
  std::string UserName() const;
  // "127.0.0.1:port", the form a ServeurFTP setting takes.
  std::string Address() const;
  int Port() const { return port_; }
  // The host key's fingerprint as ssh-keygen -l prints it ("SHA256:...").
  const std::string& Fingerprint() const { return fingerprint_; }
  // A known hosts line for this server ("[127.0.0.1]:port ssh-rsa AAAA...").
  std::string KnownHostsLine() const;
  // A private key the user may log in with, and its passphrase.
  std::string ClientKey() const { return dir_ / "client_key"; }
  static constexpr const char* ClientKeyPassphrase() { return "Cle-de-test-7"; }
  std::string Home() const { return home_; }
  // Where uploads land: the home folder, plus Folder.
  std::string Root() const;
  // The server's own log, for failure messages.
  std::string Diagnostics() const;

private:
  void Start();
  std::string ProFtpdConfiguration() const;
  std::string SshdConfiguration() const;
  TSftpServerOptions options_;
  TTempDir dir_;
  std::string jail_;  // OpenSsh: root-owned folder under /run (sshd refuses a jail under /tmp)
  std::string home_;
  std::string fingerprint_;
  std::unique_ptr<TServerProcess> process_;
  int port_ = 0;
};

}  // namespace testsupport
