#include "transfer/FtpSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "support/FtpServer.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
using testsupport::TFtpServer;
using testsupport::TTempDir;
using transfer::EFtpError;
using transfer::TFtpSession;
using transfer::TFtpTimeLimits;
namespace ftpfault = testsupport::ftpfault;

namespace {

using TClock = std::chrono::steady_clock;
const std::string kUser = "photos@ftp.example";
const std::string kPassword = "S3cr3t-pw";

// What a session reports, and whether it all came on the calling thread.
struct TRecorder {
  std::thread::id Owner = std::this_thread::get_id();
  bool OffThread = false;
  std::vector<std::string> Status;
  std::vector<std::int64_t> Begins, Works;
  std::vector<TClock::time_point> Pumps;

  void Check() {
    if (std::this_thread::get_id() != Owner) OffThread = true;
  }
  transfer::TFtpEvents Events() {
    return {[this](const std::string& s) { Check(); Status.push_back(s); },
            [this](std::int64_t n) { Check(); Begins.push_back(n); },
            [this](std::int64_t n) { Check(); Works.push_back(n); },
            [this] { Check(); Pumps.push_back(TClock::now()); }};
  }
  // Longest time the message pump was not run, from start to end.
  TClock::duration LongestPumpGap(TClock::time_point start, TClock::time_point end) const {
    TClock::duration gap{};
    auto last = start;
    for (const auto t : Pumps) {
      gap = std::max(gap, t - last);
      last = t;
    }
    return std::max(gap, end - last);
  }
};

struct FtpSessionTest : ::testing::Test {
  TTempDir local;
  TRecorder rec;
  TFtpTimeLimits limits{10s, 10s, 10s, 10s};
  std::unique_ptr<TFtpSession> session;

  TFtpSession& Session() {
    if (!session) session = std::make_unique<TFtpSession>(rec.Events(), limits);
    return *session;
  }
  std::string LocalFile(const std::string& name, const std::string& bytes) {
    testsupport::WriteFile(local / name, bytes);
    return local / name;
  }
  void TearDown() override {
    EXPECT_FALSE(rec.OffThread) << "an event came on the helper thread";
    for (const auto& s : rec.Status) EXPECT_EQ(s.find(kPassword), std::string::npos) << s;
  }
};

std::string Binary() {
  std::string bytes;
  for (int k = 0; k < 256; ++k) bytes += static_cast<char>(k);
  return bytes + "\r\n\n\r";
}

}  // namespace

TEST(ServerAddress, HostPortAndIpv6Forms) {
  struct Case {
    std::string Text;
    std::optional<std::pair<std::string, int>> Expected;
  };
  const Case cases[] = {
      {"ftp.example.com", {{"ftp.example.com", 21}}},
      {"10.0.0.7:2121", {{"10.0.0.7", 2121}}},
      {"[::1]", {{"::1", 21}}},
      {"[2001:db8::5]:990", {{"2001:db8::5", 990}}},
      {"2001:db8::5", {{"2001:db8::5", 21}}},
      {"", std::nullopt},
      {"host:", std::nullopt},
      {"host:0", std::nullopt},
      {"host:65536", std::nullopt},
      {"host:21x", std::nullopt},
      {"[::1", std::nullopt},
      {"[::1]21", std::nullopt},
      {"[]:21", std::nullopt},
      {"evil.example/x", std::nullopt},
      {"user@host", std::nullopt},
      {"host name", std::nullopt},
      {"host\r\nDELE x", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto got = transfer::ParseServerAddress(c.Text);
    ASSERT_EQ(got.has_value(), c.Expected.has_value()) << c.Text;
    if (got) {
      EXPECT_EQ(got->Host, c.Expected->first) << c.Text;
      EXPECT_EQ(got->Port, c.Expected->second) << c.Text;
    }
  }
}

TEST_F(FtpSessionTest, OneLoginAndOneFolderChangeServeEveryLaterCall) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Folder = "www/clicheo"});
  testsupport::WriteFile(server.Root() + "/old.jpg", "x");
  Session().Connect(server.Address(), kUser, kPassword, "www/clicheo");
  EXPECT_TRUE(Session().Connected());
  Session().Store(LocalFile("feed.zip", Binary()), "feed.zip");
  Session().Store(LocalFile("second.bin", "2"), "old.jpg");  // replaces the remote file
  const auto names = Session().ListNames();

  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/feed.zip"), Binary());
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/old.jpg"), "2");
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), (std::set<std::string>{"feed.zip", "old.jpg"}));
  EXPECT_EQ(server.Arguments("USER"), std::vector<std::string>{kUser});
  EXPECT_EQ(server.Arguments("CWD"), std::vector<std::string>{"www/clicheo"});
  EXPECT_EQ(server.Arguments("STOR"), (std::vector<std::string>{"feed.zip", "old.jpg"}));
  EXPECT_EQ(server.Arguments("NLST"), std::vector<std::string>{""});
  EXPECT_EQ(server.Arguments("TYPE"), (std::vector<std::string>{"I", "A"}));
  EXPECT_EQ(server.Count("PASV") + server.Count("EPSV"), 0);
  EXPECT_EQ(server.Count("EPRT") + server.Count("PORT"), 3);
  EXPECT_EQ(server.Count("QUIT"), 0);  // kept open

  const std::vector<std::string> connecting{"Resolving hostname 127.0.0.1.", "Connecting to 127.0.0.1.", "Connected.",
                                            "Connection established"};
  ASSERT_GE(rec.Status.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(rec.Status.begin(), rec.Status.begin() + 4), connecting);
  EXPECT_EQ(std::vector<std::string>(rec.Status.begin() + 4, rec.Status.end()),
            (std::vector<std::string>{"Starting FTP transfer", "Transfer complete", "Starting FTP transfer",
                                      "Transfer complete", "Starting FTP transfer", "Transfer complete"}));
}

TEST_F(FtpSessionTest, NamesReachTheServerExactly) {
  // "#", "?" and "%" would cut or change a URL; the user name keeps its "@".
  const std::string folder = "dir #1/sub?x";
  TFtpServer server({.User = "a@b@c", .Password = "p:w@#", .Folder = folder});
  Session().Connect(server.Address(), "a@b@c", "p:w@#", folder);
  Session().Store(LocalFile("local.bin", "z"), "x#y?z%20 é.bin");
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/x#y?z%20 é.bin"), "z");
  EXPECT_EQ(server.Arguments("CWD"), std::vector<std::string>{folder});
}

TEST_F(FtpSessionTest, LineBreaksNeverReachACommand) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Folder = "f"});
  struct Case {
    std::string User, Password, Folder;
  };
  for (const auto& c : {Case{kUser + "\r\nDELE victim", kPassword, "f"}, Case{kUser, kPassword + "\nDELE victim", "f"},
                        Case{kUser, kPassword, "f\r\nDELE victim"}, Case{kUser, kPassword, std::string("f\0x", 3)}}) {
    EXPECT_THROW(Session().Connect(server.Address(), c.User, c.Password, c.Folder), EFtpError);
    EXPECT_FALSE(Session().Connected());
  }
  EXPECT_TRUE(server.Commands().empty());

  Session().Connect(server.Address(), kUser, kPassword, "f");
  const std::string file = LocalFile("ok.bin", "1");
  for (const std::string& name : std::vector<std::string>{"a\r\nDELE victim", "a\nb", "sub/name", ""}) {
    EXPECT_THROW(Session().Store(file, name), EFtpError) << name;
  }
  EXPECT_EQ(server.Count("DELE") + server.Count("STOR"), 0);
}

TEST_F(FtpSessionTest, FailedConnectionLeavesTheSessionClosedForTheNextTry) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Folder = "f"});
  struct Case {
    std::string Name, Server, Password;
  };
  for (const auto& c : {Case{"refused", "127.0.0.1:1", kPassword},
                        Case{"wrong password", server.Address(), "wrong"},
                        Case{"no address", "bad/host", kPassword}}) {
    EXPECT_THROW(Session().Connect(c.Server, kUser, c.Password, "f"), EFtpError) << c.Name;
    EXPECT_FALSE(Session().Connected()) << c.Name;
    EXPECT_THROW(Session().Store(LocalFile("a", "a"), "a"), EFtpError) << c.Name;
  }
  Session().Connect(server.Address(), kUser, kPassword, "f");
  Session().Store(LocalFile("a", "a"), "a");
  EXPECT_TRUE(testsupport::PathExists(server.Root() + "/a"));
  EXPECT_NE(std::find(rec.Status.begin(), rec.Status.end(), "Login denied (530 Authentication failed.)"),
            rec.Status.end());
}

TEST_F(FtpSessionTest, MissingFolderLeavesTheSessionOpenInTheLoginFolder) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Folder = "missing", .CreateFolder = false});
  EXPECT_THROW(Session().Connect(server.Address(), kUser, kPassword, "missing"), EFtpError);
  EXPECT_TRUE(Session().Connected());
  Session().Store(LocalFile("feed.xml", "<a/>"), "feed.xml");
  EXPECT_EQ(testsupport::ReadFile(server.Home() + "/feed.xml"), "<a/>");
  EXPECT_EQ(server.Count("USER"), 1);
}

TEST_F(FtpSessionTest, UnreadableLocalFileSendsNoStore) {
  TFtpServer server({.User = kUser, .Password = kPassword});
  testsupport::WriteFile(server.Root() + "/feed.xml", "kept");
  Session().Connect(server.Address(), kUser, kPassword, "");
  testsupport::MakeDirs(local / "folder.xml");
  for (const std::string& path : {local / "missing.xml", local / "folder.xml"}) {
    EXPECT_THROW(Session().Store(path, "feed.xml"), EFtpError) << path;
  }
  EXPECT_EQ(server.Count("STOR"), 0);
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/feed.xml"), "kept");
}

TEST_F(FtpSessionTest, UploadReportsItsSizeThenItsProgress) {
  TFtpServer server({.User = kUser, .Password = kPassword});
  Session().Connect(server.Address(), kUser, kPassword, "");
  const std::string big(3 << 20, 'b');
  Session().Store(LocalFile("big.zip", big), "big.zip");
  EXPECT_EQ(rec.Begins, std::vector<std::int64_t>{static_cast<std::int64_t>(big.size())});
  ASSERT_FALSE(rec.Works.empty());
  EXPECT_TRUE(std::is_sorted(rec.Works.begin(), rec.Works.end()));
  EXPECT_EQ(rec.Works.back(), static_cast<std::int64_t>(big.size()));

  rec.Begins.clear();
  rec.Works.clear();
  Session().Store(LocalFile("empty.zip", ""), "empty.zip");
  EXPECT_EQ(rec.Begins, std::vector<std::int64_t>{0});
  for (const auto w : rec.Works) EXPECT_EQ(w, 0);
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/empty.zip"), "");
}

TEST_F(FtpSessionTest, EmptyFolderAnsweredWithAnErrorHasNoNames) {
  for (const auto* fault : {ftpfault::Nlst550, ftpfault::Nlst450}) {
    TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {fault}});
    TFtpSession s(rec.Events(), limits);
    s.Connect(server.Address(), kUser, kPassword, "");
    EXPECT_TRUE(s.ListNames().empty()) << fault;
    // The session is still in step.
    s.Store(LocalFile("a.jpg", "a"), "a.jpg");
    EXPECT_EQ(s.ListNames(), std::vector<std::string>{"a.jpg"}) << fault;
    EXPECT_EQ(server.Count("USER"), 1) << fault;
  }
}

// The hung cases: every step ends within its limit, the window is serviced
// all the while, and a new connection takes over after the fault.
TEST_F(FtpSessionTest, StuckStepsEndWithinTheirLimitsWhileTheWindowIsServiced) {
  limits = {1s, 1s, 1s, 1s};
  struct Case {
    const char* Fault;
    bool FailsAtConnect;
  };
  for (const auto& c : {Case{ftpfault::Silent, true}, Case{ftpfault::StallReply, false},
                        Case{ftpfault::NoConnect, false}, Case{ftpfault::DropData, false}}) {
    SCOPED_TRACE(c.Fault);
    TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {std::string(c.Fault) + ":1"}});
    rec.Pumps.clear();
    TFtpSession s(rec.Events(), limits);
    const std::string file = LocalFile("feed.zip", std::string(1 << 20, 'f'));
    const auto start = TClock::now();
    if (c.FailsAtConnect) {
      EXPECT_THROW(s.Connect(server.Address(), kUser, kPassword, ""), EFtpError);
    } else {
      s.Connect(server.Address(), kUser, kPassword, "");
      EXPECT_THROW(s.Store(file, "feed.zip"), EFtpError);
    }
    const auto end = TClock::now();
    EXPECT_LT(end - start, 5s);
    EXPECT_LT(rec.LongestPumpGap(start, end), 250ms);

    // Afterwards the dialogue with the server is in step again.
    if (c.FailsAtConnect) s.Connect(server.Address(), kUser, kPassword, "");
    s.Store(file, "feed.zip");
    s.Store(LocalFile("next.zip", "n"), "next.zip");
    EXPECT_EQ(s.ListNames(), (std::vector<std::string>{"feed.zip", "next.zip"}));
    EXPECT_EQ(testsupport::ReadFile(server.Root() + "/feed.zip").size(), 1u << 20);
    EXPECT_EQ(testsupport::ReadFile(server.Root() + "/next.zip"), "n");
  }
}

TEST_F(FtpSessionTest, ServerThatNeverAnswersQuitDoesNotHoldTheEnd) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {ftpfault::HangQuit}});
  Session().Connect(server.Address(), kUser, kPassword, "");
  const auto start = TClock::now();
  session.reset();
  EXPECT_LT(TClock::now() - start, 3s);
}

TEST_F(FtpSessionTest, PassiveModeServesEveryCallWhereTheServerCannotConnectBack) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {ftpfault::RefuseActive}});
  Session().Connect(server.Address(), kUser, kPassword, "", {.Passive = true});
  (void)Session().Store(LocalFile("feed.zip", Binary()), "feed.zip.part");
  EXPECT_EQ(Session().RemoteSize("feed.zip.part"), static_cast<std::int64_t>(Binary().size()));
  Session().Rename("feed.zip.part", "feed.zip");
  EXPECT_EQ(Session().ListNames(), std::vector<std::string>{"feed.zip"});
  EXPECT_EQ(testsupport::ReadFile(server.Home() + "/feed.zip"), Binary());
  EXPECT_EQ(server.Count("EPSV") + server.Count("PASV"), 2);
  EXPECT_EQ(server.Count("EPRT") + server.Count("PORT"), 0);

  // The same server refuses the active mode of the written behaviour.
  TFtpSession active(rec.Events(), limits);
  active.Connect(server.Address(), kUser, kPassword, "");
  EXPECT_THROW((void)active.Store(LocalFile("a.zip", "A"), "a.zip"), EFtpError);
}

// Explicit FTPS: the certificate is checked against the authority given (the
// test certificate is its own), its name against the host; a server without
// TLS is refused before the login.
TEST_F(FtpSessionTest, ExplicitTlsProtectsTheSessionAndChecksTheCertificate) {
  TTempDir certificates;
  testsupport::MakeTestCertificate(certificates / "good", "IP:127.0.0.1");
  testsupport::MakeTestCertificate(certificates / "other", "DNS:other.example");
  const std::string good = certificates / "good/cert.pem";
  const std::string other = certificates / "other/cert.pem";
  TFtpServer tls({.User = kUser, .Password = kPassword, .TlsCertificate = good, .TlsKey = certificates / "good/key.pem"});
  TFtpServer mismatched({.User = kUser, .Password = kPassword, .TlsCertificate = other,
                         .TlsKey = certificates / "other/key.pem"});
  TFtpServer plain({.User = kUser, .Password = kPassword});

  // pyftpdlib's TLS data connections do not work with this curl (the server
  // resets them, or keeps 0 bytes of an upload it reports complete): the
  // control connection is what this server can show.
  testsupport::WriteFile(tls.Home() + "/feed.zip.part", Binary());
  TFtpSession checked(rec.Events(), limits);
  checked.Connect(tls.Address(), kUser, kPassword, "", {.Security = transfer::TFtpSecurity::ExplicitTls, .CaFile = good});
  EXPECT_EQ(checked.RemoteSize("feed.zip.part"), static_cast<std::int64_t>(Binary().size()));
  checked.Rename("feed.zip.part", "feed.zip");
  EXPECT_EQ(testsupport::ReadFile(tls.Home() + "/feed.zip"), Binary());
  const auto commands = tls.Commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.front(), "AUTH TLS");
  EXPECT_EQ(tls.Arguments("PROT"), std::vector<std::string>{"P"});

  struct Case {
    std::string Name;
    const TFtpServer& Server;
    transfer::TConnectionOptions Options;
    std::string Message;  // "": connects
  };
  const auto tlsOptions = [](bool verify, const std::string& ca) {
    return transfer::TConnectionOptions{.Security = transfer::TFtpSecurity::ExplicitTls, .VerifyCertificate = verify,
                                        .CaFile = ca};
  };
  for (const auto& c : {
           Case{"unknown authority", tls, tlsOptions(true, ""), "SSL certificate problem: self-signed certificate"},
           Case{"name mismatch", mismatched, tlsOptions(true, other),
                "no alternative certificate subject name matches target host name '127.0.0.1'"},
           Case{"not checked", mismatched, tlsOptions(false, ""), ""},
           Case{"server without TLS", plain, tlsOptions(true, ""), "Requested SSL level failed"},
       }) {
    SCOPED_TRACE(c.Name);
    TFtpSession tlsSession(rec.Events(), limits);
    if (c.Message.empty()) {
      tlsSession.Connect(c.Server.Address(), kUser, kPassword, "", c.Options);
      EXPECT_TRUE(tlsSession.Connected());
      continue;
    }
    try {
      tlsSession.Connect(c.Server.Address(), kUser, kPassword, "", c.Options);
      ADD_FAILURE() << "connected";
    } catch (const EFtpError& e) {
      EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    }
    EXPECT_FALSE(tlsSession.Connected());
  }
  EXPECT_EQ(plain.Count("USER"), 0);  // no password in clear text
}
