// A real FTP server for tests: tests/ftpserver.py (pyftpdlib) started as a
// child process on 127.0.0.1 and an ephemeral port, with its accounts, home
// folders and fault switches.
//
//   TFtpServer server({.User = "photos@example.com", .Password = "pw", .Folder = "www/clicheo"});
//   ... connect to server.Address() (ServeurFTP), folder "www/clicheo" ...
//   EXPECT_EQ(ReadFile(server.Root() + "/123.jpg"), ...);
//   EXPECT_EQ(server.Count("STOR"), 1);
//
// Each account has its own fresh home folder (its login folder); Folder, when
// not empty, is created inside it (leave CreateFolder false to test a missing
// folder). The server is stopped when the object is destroyed, and stops by
// itself after LifetimeSeconds or when the test process dies.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/ServerProcess.h"
#include "support/TestSupport.h"

namespace testsupport {

struct TFtpAccount {
  std::string User = "annoncia@ftp.example";
  std::string Password = "Secret42";
  std::string Folder = "";   // subfolder of the home folder where uploads are expected
  bool CreateFolder = true;  // false: Folder is left missing
};

// Fault switches of the server (see tests/ftpserver.py).
namespace ftpfault {
inline constexpr const char* RefuseLogin = "refuse_login";
inline constexpr const char* Nlst550 = "nlst_550";      // NLST of an empty folder: 550
inline constexpr const char* Nlst450 = "nlst_450";      // NLST of an empty folder: 450
inline constexpr const char* DropData = "drop_data";    // upload reset after 64 KiB
inline constexpr const char* Silent = "silent";         // accepts, never answers
inline constexpr const char* StallReply = "stall_reply";  // no final reply after an upload
inline constexpr const char* NoConnect = "no_connect";  // never connects back for data
inline constexpr const char* HangQuit = "hang_quit";    // QUIT never answered
inline constexpr const char* RefuseConnect = "refuse_connect";  // greeting 421, then closed
inline constexpr const char* SilentAfterLogin = "silent_after_login";  // nothing answered after the login
inline constexpr const char* CloseData226 = "close_data_226";  // upload cut at 64 KiB, reported complete
inline constexpr const char* RefuseRename = "refuse_rename";    // RNFR refused (550)
inline constexpr const char* RenameNoReplace = "rename_no_replace";  // RNTO onto an existing file refused (553)
inline constexpr const char* SizeWrong = "size_wrong";  // SIZE one byte over
inline constexpr const char* NoSize = "no_size";        // SIZE not implemented (502)
inline constexpr const char* Nlst421 = "nlst_421";      // NLST answered 421, connection closed
inline constexpr const char* HugeListing = "huge_listing";  // NLST of 1,000,001 names
inline constexpr const char* RefuseActive = "refuse_active";  // PORT and EPRT refused (500): passive only
}  // namespace ftpfault

// Every member has an initializer, so that designated initializers may name
// only what a test needs.
struct TFtpServerOptions {
  std::string User = "annoncia@ftp.example";
  std::string Password = "Secret42";
  std::string Folder = "";
  bool CreateFolder = true;
  std::vector<TFtpAccount> OtherAccounts = {};
  // Fault switches; "name:n" makes one strike n times only.
  std::vector<std::string> Faults = {};
  int LifetimeSeconds = 120;
  // Explicit FTPS (AUTH TLS required on control and data) with this PEM
  // certificate and key; empty: plain FTP.
  std::string TlsCertificate = "";
  std::string TlsKey = "";
};

// A self-signed certificate (its own authority, valid one day) and its key,
// made with openssl: folder/cert.pem and folder/key.pem. subjectAltName such
// as "IP:127.0.0.1" (matches the test servers) or "DNS:other.example".
void MakeTestCertificate(const std::string& folder, const std::string& subjectAltName);

class TFtpServer {
public:
  explicit TFtpServer(TFtpServerOptions options = {});
  ~TFtpServer();
  TFtpServer(const TFtpServer&) = delete;
  TFtpServer& operator=(const TFtpServer&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:port", the form a ServeurFTP setting takes.
  std::string Address() const;
  // Login folder of account i (0 = the main account, then OtherAccounts).
  std::string Home(std::size_t account = 0) const;
  // Where uploads of account i land: its home folder, plus its Folder.
  std::string Root(std::size_t account = 0) const;

  // Command lines received so far, in order, from every connection ("USER x",
  // "STOR name", ...). CR, LF and "\" inside a line read "\r", "\n", "\\".
  std::vector<std::string> Commands() const;
  // How many received commands have this verb ("STOR", "CWD", ...).
  int Count(const std::string& verb) const;
  // Arguments of the received commands with this verb, in order.
  std::vector<std::string> Arguments(const std::string& verb) const;
  // The server's own diagnostics (its standard error), for failure messages.
  std::string Diagnostics() const;

private:
  TTempDir dir_;
  std::vector<TFtpAccount> accounts_;
  std::unique_ptr<TServerProcess> process_;
  int port_ = 0;
};

}  // namespace testsupport
