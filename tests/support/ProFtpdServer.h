// A real FTP server from Debian for tests: proftpd (with mod_tls) started in
// the foreground on 127.0.0.1 and an ephemeral port, with a configuration,
// one virtual user (its own passwd-style file), a home folder and, for FTPS,
// a certificate, all made at test time in a throwaway folder.
//
//   TProFtpdServer server({.Security = TProFtpdSecurity::ExplicitTls});
//   ... ServeurFTP=server.Address(), Securite=TLS, CertificatAC=server.CertificateFile() ...
//   EXPECT_EQ(ReadFile(server.Root() + "/feed.xml"), ...);
//
// Plain FTP servers do not load the TLS module at all (AUTH TLS is an
// unknown command there). Explicit TLS servers require TLS on the control
// and data connections, with the data connection resuming the control
// connection's TLS session, as production servers do. Passive data ports
// are taken on loopback; active data connections are made from the server.
// Run as root, the sessions run as nobody, jailed in the home folder; else
// as the user who runs the tests.
//
// The server is stopped when the object is destroyed, and by a watchdog (a
// shell that owns the server's process group) after LifetimeSeconds or as
// soon as the test process is gone, whichever comes first.
#pragma once

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

enum class TProFtpdSecurity { None, ExplicitTls, ImplicitTls };

// Every member has an initializer, so that designated initializers may name
// only what a test needs.
struct TProFtpdOptions {
  TProFtpdSecurity Security = TProFtpdSecurity::None;
  std::string User = "annoncia@ftp.example";
  std::string Password = "Secret42";
  std::string Folder = "";  // made inside the home folder: where uploads are expected
  // subjectAltName of the server's certificate (made with openssl).
  std::string CertificateName = "IP:127.0.0.1";
  // TLS versions offered (proftpd's TLSProtocol).
  std::string TlsProtocols = "TLSv1.2";
  int LifetimeSeconds = 120;
};

class TProFtpdServer {
public:
  explicit TProFtpdServer(TProFtpdOptions options = {});
  ~TProFtpdServer();
  TProFtpdServer(const TProFtpdServer&) = delete;
  TProFtpdServer& operator=(const TProFtpdServer&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:port", the form a ServeurFTP setting takes.
  std::string Address() const;
  // The user's login folder, and where uploads land (Home plus Folder).
  std::string Home() const;
  std::string Root() const;
  // The server's certificate (self-signed: its own authority); empty for plain FTP.
  std::string CertificateFile() const;
  // Commands received, one "VERB argument" a line, in order ("PASS" carries no argument).
  std::vector<std::string> Commands() const;
  // The server's system and TLS logs, for failure messages.
  std::string Diagnostics() const;

private:
  bool Start(const TProFtpdOptions& options, int port);
  void Stop();

  TTempDir dir_;
  std::string folder_;
  bool tls_ = false;
  int pid_ = -1;  // the watchdog, leader of the server's process group
  int stdinFd_ = -1;
  int port_ = 0;
};

}  // namespace testsupport
