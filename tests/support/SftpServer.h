// A real SFTP server for tests: ProFTPD's SFTP module, started as a child
// process on 127.0.0.1 and a free port with a configuration, an RSA host key
// (ssh-keygen) and one virtual user made here: no system account is used.
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

#include <string>

#include "support/TestSupport.h"

namespace testsupport {

struct TSftpServerOptions {
  std::string User = "annoncia";
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
  std::string Home() const { return dir_ / "home"; }
  // Where uploads land: the home folder, plus Folder.
  std::string Root() const;
  // The server's own log, for failure messages.
  std::string Diagnostics() const;

private:
  void Start();
  TSftpServerOptions options_;
  TTempDir dir_;
  std::string fingerprint_;
  int pid_ = -1;
  int port_ = 0;
};

}  // namespace testsupport
