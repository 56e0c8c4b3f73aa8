// FTP sessions: one kept connection to one FTP (FTPS, SFTP) server, on
// libcurl (the only unit that knows curl).
//
// A session is closed when made. Connect opens it: connection to the host and
// port (TLS first when asked), login with user and password exactly as given, then, once, a
// change to the remote folder when one is given. It then stays open and is
// reused by every later Store and ListNames without logging in or changing
// folder again; nothing closes it before it is destroyed at process end. Data
// connections are active (the client announces a port) unless passive mode
// is asked (EPSV, then PASV: the client connects, which works behind NAT); files
// are stored in binary under a bare name, replacing a remote file; ListNames
// is the names-only listing (NLST without argument) of the current folder, in
// text mode. Should the server drop the kept connection, the next call opens
// a new one to the same folder by itself.
//
// Failures raise EFtpError, whose message is the client's description of
// what went wrong (never holding the password) and which says what kind of
// failure it was (a refusal by the server, a broken connection, ...), so that
// callers can tell what is worth another try. A connection or login that
// fails leaves the session closed, so the next Connect tries again; a folder
// change that fails after a good login leaves it open in the login folder.
// No text from the data or the settings may put CR, LF or NUL into a
// command: such a user, password, folder or file name fails the call before
// anything is sent.
//
// Threads: every call is made, and every event is delivered, on the window's
// thread. Each blocking libcurl call runs on a helper thread meanwhile, while
// the calling thread delivers the status and progress events as they come
// and runs the message pump about every 50 ms. Every step on the network
// is bounded (see TFtpTimeLimits): a stuck step fails like any other error.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>


namespace transfer {

// What kind of failure an EFtpError reports.
enum class TFtpFailure {
  Local,      // nothing sent: bad address or name, unreadable local file
  Network,    // no connection, a dropped connection, a time limit
  Temporary,  // the server refused with a 4xx reply (421: it is closing the connection)
  Refused,    // the server refused with a 5xx reply (530: login denied)
  TooLarge,   // a listing over the bounds: no folder of photos
};

class EFtpError : public std::runtime_error {
public:
  explicit EFtpError(const std::string& message, TFtpFailure failure = TFtpFailure::Local, int reply = 0,
                     std::string command = "")
      : std::runtime_error(message), failure_(failure), reply_(reply), command_(std::move(command)) {}
  TFtpFailure Failure() const { return failure_; }
  // The server's reply code when it refused (4xx, 5xx), else 0.
  int Reply() const { return reply_; }
  // The command the server refused ("RNTO", ...), when known.
  const std::string& Command() const { return command_; }

private:
  TFtpFailure failure_;
  int reply_;
  std::string command_;
};

struct TFtpTimeLimits {
  std::chrono::milliseconds Connect{30000};  // TCP connection, greeting and login
  std::chrono::milliseconds Reply{60000};    // each server reply
  std::chrono::milliseconds Stall{60000};    // a transfer without progress (whole seconds, at least 1 s)
  std::chrono::milliseconds Accept{60000};   // the server connecting back for data
};

// Limits given to sessions made from now on (tests shorten them).
void SetFtpTimeLimits(const TFtpTimeLimits& limits);
TFtpTimeLimits FtpTimeLimits();

// A ServeurFTP text: "host", "host:port", "[IPv6]" or "[IPv6]:port"; a text
// with several ":" and no brackets is an IPv6 address without port. Without
// port the port is 21. nullopt for a text that is no server address.
struct TServerAddress {
  std::string Host;  // without brackets
  int Port = 21;
  bool PortGiven = false;
};
std::optional<TServerAddress> ParseServerAddress(const std::string& text);

// How a session connects. Explicit TLS requires AUTH TLS and protects the
// control and the data connections: a server that refuses TLS is an error,
// never a fall back to clear text. Implicit TLS speaks TLS from the start
// (port 990 when the address gives none). SFTP is the SSH file transfer
// (port 22 when none is given): the same calls, a relative folder taken from
// the login folder as on FTP; its host key must be the one given as
// HostKey, or else be in the known hosts file: an unknown or changed key
// refuses the connection with a message that gives the server's fingerprint.
enum class TFtpSecurity { None, ExplicitTls, ImplicitTls, Sftp };
struct TConnectionOptions {
  bool Passive = false;
  bool PassiveInsteadOfActive = false;  // active mode was asked, and cannot work: see ActiveModeWorksWithTls
  TFtpSecurity Security = TFtpSecurity::None;
  bool VerifyCertificate = true;  // peer and host name, against the system's authorities
  std::string CaFile = "";        // an authority of one's own, in place of the system's
  // SFTP only.
  std::string HostKey = "";         // "SHA256:..." as ssh-keygen -l prints it; empty: the known hosts file
  std::string KnownHostsFile = "";  // OpenSSH's format; empty: none (only HostKey can match)
  std::string PrivateKeyFile = "";  // login by key (the password unlocks it); empty: by password
};

// Whether active data connections can be protected by TLS with the libcurl
// at hand: from 7.87 to 7.88 it accepts the server's data connection without
// its TLS layer, so that every transfer fails (fixed in 8.0).
bool ActiveModeWorksWithTls();

// What a session reports; every member may be empty.
struct TFtpEvents {
  std::function<void(const std::string&)> Status;  // status texts for the memo
  std::function<void(std::int64_t)> WorkBegin;     // an upload starts: bytes to send
  std::function<void(std::int64_t)> Work;          // bytes sent so far
  std::function<void()> ProcessMessages;           // the window's message pump
};

class TFtpSession {
public:
  TFtpSession(TFtpEvents events, TFtpTimeLimits limits);
  ~TFtpSession();
  TFtpSession(const TFtpSession&) = delete;
  TFtpSession& operator=(const TFtpSession&) = delete;

  bool Connected() const;
  // Connected, and the last call left the dialogue in step (a refusal does;
  // a broken connection or a time limit does not): a command may follow
  // without a new connection.
  bool InStep() const;
  // server: a ServeurFTP text; folder: "" for the login folder.
  void Connect(const std::string& server, const std::string& user, const std::string& password,
               const std::string& folder, const TConnectionOptions& options = {});
  // Sends the local file (a Windows-style or native path) as remoteName into
  // the current folder. The file is opened and measured before the server is
  // asked to store anything, so a missing file leaves the remote one alone.
  // Returns the bytes sent.
  std::int64_t Store(const std::string& localPath, const std::string& remoteName);
  // Names of the current folder, one per listing line. A server that answers
  // 450 or 550 (what some give for an empty folder) has no names. A listing
  // over 64 MB or 1,000,000 names fails (TooLarge).
  std::vector<std::string> ListNames();
  // Size of a file of the current folder as the server gives it (SIZE, in
  // binary mode); nullopt when the server does not answer it.
  std::optional<std::int64_t> RemoteSize(const std::string& remoteName);
  // Renames a file of the current folder (RNFR, RNTO). Whether an existing
  // file of the new name is replaced depends on the server (an SFTP server
  // does not); a refusal raises Refused or Temporary with the server's reply
  // code and the refused command ("RNFR": no such file, "RNTO": the new name
  // is not taken; on SFTP, 550 for either).
  void Rename(const std::string& fromName, const std::string& toName);
  // Deletes a file of the current folder (DELE).
  void Delete(const std::string& remoteName);

private:
  class TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace transfer
