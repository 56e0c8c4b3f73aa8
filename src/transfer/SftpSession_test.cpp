// The FTP session over SFTP, against a real SSH file server on loopback.
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/FtpServer.h"
#include "support/SftpServer.h"
#include "support/TestSupport.h"
#include "transfer/FtpSession.h"
#include "transfer/SafeStore.h"
#include "transfer/SshHostKey.h"

using namespace std::chrono_literals;
using testsupport::ReadFile;
using testsupport::TSftpServer;
using testsupport::TTempDir;
using testsupport::WriteFile;
using transfer::EFtpError;
using transfer::TConnectionOptions;
using transfer::TFtpFailure;
using transfer::TFtpSecurity;
using transfer::TFtpSession;

namespace {

const std::string kPassword = "Secret42";

struct SftpSessionTest : ::testing::Test {
  TTempDir local;
  std::vector<std::string> status;
  std::vector<std::int64_t> begins, works;
  std::unique_ptr<TFtpSession> session;

  TFtpSession& Session() {
    if (!session) {
      transfer::TFtpEvents events;
      events.Status = [this](const std::string& s) { status.push_back(s); };
      events.WorkBegin = [this](std::int64_t n) { begins.push_back(n); };
      events.Work = [this](std::int64_t n) { works.push_back(n); };
      session = std::make_unique<TFtpSession>(std::move(events), transfer::TFtpTimeLimits{10s, 10s, 10s, 10s});
    }
    return *session;
  }
  static TConnectionOptions Sftp(const TSftpServer& server) {
    return {.Security = TFtpSecurity::Sftp, .HostKey = server.Fingerprint()};
  }
  std::string LocalFile(const std::string& name, const std::string& bytes) {
    WriteFile(local / name, bytes);
    return local / name;
  }
  // The message of the EFtpError that Connect raises, failing the test if none.
  std::string ConnectError(const TSftpServer& server, const std::string& password, const TConnectionOptions& options,
                           TFtpFailure* failure = nullptr) {
    try {
      Session().Connect(server.Address(), "annoncia", password, "", options);
    } catch (const EFtpError& e) {
      if (failure) *failure = e.Failure();
      return e.what();
    }
    ADD_FAILURE() << "connected";
    return "";
  }
  void TearDown() override {
    for (const auto& s : status) EXPECT_EQ(s.find(kPassword), std::string::npos) << s;
  }
};

}  // namespace

TEST(SshHostKey, FingerprintsAsSshKeygenPrintsThem) {
  // The SHA-256 of "abc" in base64, without padding.
  EXPECT_EQ(transfer::HostKeyFingerprint("abc", 3), "SHA256:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0");
  EXPECT_EQ(transfer::HostKeyFingerprintOfBase64("YWJj"), "SHA256:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0");
  const std::string printed = "SHA256:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0";
  for (const std::string& text :
       std::vector<std::string>{printed, printed.substr(7), " " + printed + "= ", "sha256:" + printed.substr(7)}) {
    EXPECT_EQ(transfer::NormalisedFingerprint(text), printed) << text;
  }
  for (const std::string& text :
       std::vector<std::string>{"", "SHA256:", "SHA256:abc", "16:27:ac:a5:76:28:2d:36:63:1b:56:4d:eb:df:a6:48",
                                printed + "x", printed.substr(0, 20) + "!" + printed.substr(21)}) {
    EXPECT_FALSE(transfer::NormalisedFingerprint(text)) << text;
  }
}

// ProFTPD by password, OpenSSH by key: the two servers differ in how they
// refuse a rename onto an existing file, and in their words.
TEST_F(SftpSessionTest, StoresListsSizesRenamesAndDeletesInTheFolderOfOneLogin) {
  for (const auto implementation : {testsupport::TSftpImplementation::ProFtpd, testsupport::TSftpImplementation::OpenSsh}) {
    const bool openSsh = implementation == testsupport::TSftpImplementation::OpenSsh;
    SCOPED_TRACE(openSsh ? "OpenSSH" : "ProFTPD");
    if (openSsh && getuid() != 0) GTEST_SKIP() << "sshd as a test server needs root";
    TSftpServer server({.Implementation = implementation, .Folder = "www/clicheo"});
    session.reset();
    status.clear();
    begins.clear();
    works.clear();
    TConnectionOptions options = Sftp(server);
    if (openSsh) options.PrivateKeyFile = server.ClientKey();
    WriteFile(server.Root() + "/old.jpg", "old");
    Session().Connect(server.Address(), server.UserName(), openSsh ? TSftpServer::ClientKeyPassphrase() : kPassword,
                      "www/clicheo", options);
    // A name with blanks and quotes goes whole into the commands.
    const std::string odd = "photo \"1\" d'été.jpg";
    std::string bytes(300000, '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 7);
    transfer::StoreUnderTemporaryName(Session(), LocalFile("a", bytes), odd);
    EXPECT_EQ(ReadFile(server.Root() + "/" + odd), bytes);
    // Once more: the server will not rename over the old file, which goes first.
    transfer::StoreUnderTemporaryName(Session(), LocalFile("b", "second"), odd);
    EXPECT_EQ(ReadFile(server.Root() + "/" + odd), "second");
    EXPECT_EQ(Session().RemoteSize(odd), 6);
    auto names = Session().ListNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"old.jpg", odd}));
    Session().Delete("old.jpg");
    EXPECT_FALSE(testsupport::PathExists(server.Root() + "/old.jpg"));
    EXPECT_EQ(Session().ListNames(), std::vector<std::string>{odd});
    try {
      Session().Rename("missing.zip", "feed.zip");
      ADD_FAILURE() << "renamed";
    } catch (const EFtpError& e) {
      EXPECT_EQ(e.Failure(), TFtpFailure::Refused);
      EXPECT_EQ(e.Command(), "RNFR") << e.what();
    }
    EXPECT_TRUE(Session().InStep());

    // The memo's words are those of FTP.
    for (const char* text : {"Connection established", "Starting FTP transfer", "Transfer complete"}) {
      EXPECT_NE(std::find(status.begin(), status.end(), text), status.end()) << text;
    }
    EXPECT_EQ(std::count(status.begin(), status.end(), "Connection established"), 1) << "one login";
    ASSERT_FALSE(begins.empty());
    EXPECT_EQ(begins.front(), static_cast<std::int64_t>(bytes.size()));
    ASSERT_FALSE(works.empty());
    EXPECT_EQ(*std::max_element(works.begin(), works.end()), static_cast<std::int64_t>(bytes.size()));
  }
}

TEST_F(SftpSessionTest, RefusalsComeAsThoseOfFtp) {
  TSftpServer server({.Folder = "in"});
  Session().Connect(server.Address(), "annoncia", kPassword, "in", Sftp(server));
  EXPECT_THROW(Session().RemoteSize("missing.zip"), EFtpError);
  // Still in step: the next call needs no new connection.
  EXPECT_TRUE(Session().InStep());
  EXPECT_TRUE(Session().ListNames().empty());

  TTempDir other;
  TFtpFailure failure{};
  session.reset();
  const std::string message = ConnectError(server, "wrong-password", Sftp(server), &failure);
  EXPECT_EQ(failure, TFtpFailure::Refused) << message;
  EXPECT_NE(message.find("Login denied"), std::string::npos) << message;
  EXPECT_EQ(message.find("wrong-password"), std::string::npos) << message;
}

TEST_F(SftpSessionTest, AMissingFolderFailsAfterTheLogin) {
  TSftpServer server;
  EXPECT_THROW(Session().Connect(server.Address(), "annoncia", kPassword, "nowhere", Sftp(server)), EFtpError);
  EXPECT_TRUE(Session().Connected()) << "logged in, in the login folder";
}

TEST_F(SftpSessionTest, LoginByKeyUnlockedByThePassword) {
  TSftpServer server;
  TConnectionOptions options = Sftp(server);
  options.PrivateKeyFile = server.ClientKey();
  Session().Connect(server.Address(), "annoncia", TSftpServer::ClientKeyPassphrase(), "", options);
  transfer::StoreUnderTemporaryName(Session(), LocalFile("f", "by key"), "f.zip");
  EXPECT_EQ(ReadFile(server.Home() + "/f.zip"), "by key");
  session.reset();
  EXPECT_NE(ConnectError(server, "not-the-passphrase", options).find("Login denied"), std::string::npos);
}

TEST_F(SftpSessionTest, OnlyAKnownHostKeyIsTrustedAndARefusalGivesTheServersFingerprint) {
  TSftpServer server;
  TTempDir keys;
  const std::string known = keys / "known_hosts", other = keys / "other_hosts", none = keys / "absent";
  WriteFile(known, "# ours\n" + server.KnownHostsLine());
  // The form OpenSSH writes by default (HashKnownHosts): the host name hashed.
  const std::string hashed = keys / "hashed_hosts";
  WriteFile(hashed, server.KnownHostsLine());
  ASSERT_EQ(testsupport::RunProcess("/usr/bin/ssh-keygen", {"-H", "-f", hashed}).ExitStatus, 0);
  ASSERT_TRUE(ReadFile(hashed).starts_with("|1|")) << ReadFile(hashed);
  // The same host and port with another key: the line of a server that changed.
  {
    TSftpServer impostor;
    std::string line = impostor.KnownHostsLine();
    line.replace(0, line.find(' '), "[127.0.0.1]:" + std::to_string(server.Port()));
    WriteFile(other, line);
  }
  const std::string wrongKey = "SHA256:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0";
  struct Case {
    const char* Name;
    TConnectionOptions Options;
    const char* Said;  // nullptr: connects
  };
  const Case cases[] = {
      {"fingerprint", {.Security = TFtpSecurity::Sftp, .HostKey = server.Fingerprint()}, nullptr},
      {"known hosts", {.Security = TFtpSecurity::Sftp, .KnownHostsFile = known}, nullptr},
      {"hashed known hosts", {.Security = TFtpSecurity::Sftp, .KnownHostsFile = hashed}, nullptr},
      {"fingerprint over known hosts", {.Security = TFtpSecurity::Sftp, .HostKey = wrongKey, .KnownHostsFile = known},
       "is not the one in EmpreinteSSH"},
      {"unknown", {.Security = TFtpSecurity::Sftp, .KnownHostsFile = none}, "Unknown SSH host key"},
      {"no file at all", {.Security = TFtpSecurity::Sftp}, "Unknown SSH host key"},
      {"changed", {.Security = TFtpSecurity::Sftp, .KnownHostsFile = other}, "has changed"},
  };
  for (const auto& c : cases) {
    session.reset();
    if (!c.Said) {
      EXPECT_NO_THROW(Session().Connect(server.Address(), "annoncia", kPassword, "", c.Options)) << c.Name;
      continue;
    }
    const std::string message = ConnectError(server, kPassword, c.Options);
    EXPECT_NE(message.find(c.Said), std::string::npos) << c.Name << ": " << message;
    EXPECT_NE(message.find(server.Fingerprint()), std::string::npos) << c.Name << ": " << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << c.Name << ": one line";
  }
  EXPECT_FALSE(testsupport::PathExists(none)) << "nothing is trusted on first use";
}

TEST_F(SftpSessionTest, AServerThatNeverSpeaksIsGivenUpWithinTheConnectLimit) {
  // A server that takes the connection and says nothing, not even its banner.
  testsupport::TFtpServer silent({.Faults = {testsupport::ftpfault::Silent}});
  session = std::make_unique<TFtpSession>(transfer::TFtpEvents{}, transfer::TFtpTimeLimits{2s, 2s, 2s, 2s});
  const auto start = std::chrono::steady_clock::now();
  try {
    session->Connect(silent.Address(), "annoncia", kPassword, "", {.Security = TFtpSecurity::Sftp});
    ADD_FAILURE() << "connected";
  } catch (const EFtpError& e) {
    EXPECT_EQ(e.Failure(), TFtpFailure::Network) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
}
