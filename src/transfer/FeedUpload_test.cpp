#include "transfer/FeedUpload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "support/FtpServer.h"
#include "support/RecordingWindow.h"
#include "shell/ActivityLog.h"
#include "support/TestSupport.h"
#include "transfer/FtpSession.h"

using namespace std::chrono_literals;
using shell::TConnectionField;
using testsupport::TFtpServer;
namespace ftpfault = testsupport::ftpfault;

namespace {

using TClock = std::chrono::steady_clock;
const std::string kUser = "portal@ftp.example";
const std::string kPassword = "Pa55-word-9";

// A recording window that also notes when, and on which thread, it is used.
struct TWatchedWindow : testsupport::TRecordingWindow {
  std::thread::id Owner = std::this_thread::get_id();
  bool OffThread = false;
  std::vector<TClock::time_point> Pumps;
  void Check() {
    if (std::this_thread::get_id() != Owner) OffThread = true;
  }
  void AddMemoLine(const std::string& line) override {
    Check();
    TRecordingWindow::AddMemoLine(line);
  }
  void SetLabel2(const std::string& text) override {
    Check();
    TRecordingWindow::SetLabel2(text);
  }
  void ProcessMessages() override {
    Check();
    Pumps.push_back(TClock::now());
    TRecordingWindow::ProcessMessages();
  }
};

struct FeedUploadTest : ::testing::Test {
  testsupport::TTempDir windir;
  testsupport::TTempDir local;
  TWatchedWindow window;
  shell::TRunControl run{window, {}, local / "annoncia"};
  std::optional<transfer::TTransfers> transfers;  // a new one is a new run's sessions

  void SetUp() override {
    transfer::SetFtpTimeLimits({10s, 10s, 10s, 10s});
    setenv("WINDIR", windir.Path().c_str(), 1);
    testsupport::MakeDirs(windir / "TEMP");
    BeginRun();
  }
  // A new run, with these lines in the portal's section of the settings
  // (by default one try: the retries have their own tests).
  void BeginRun(const std::string& sectionLines = "Tentatives=1\r\n") {
    testsupport::WriteFile(local / "Annoncia.ini", "[PARUVENDU]\r\n" + sectionLines);
    run.BeginRun({.Option = "PARUVENDU", .SettingsFile = local / "Annoncia.ini"});
    shell::RestartLog(run);
    window.Memo.clear();
    transfers.emplace(run);
  }
  std::string LogText() const { return testsupport::ReadFile(windir / "TEMP/ZuroviRazeviPARUVENDU.log"); }
  void TearDown() override {
    EXPECT_FALSE(window.OffThread);
    for (const auto& line : window.Memo) EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
  }
  void PortalFields(const std::string& server, const std::string& folder, const std::string& user = kUser) {
    window.SetFieldText(TConnectionField::paramServeur, server);
    window.SetFieldText(TConnectionField::paramUser, user);
    window.SetFieldText(TConnectionField::paramPassword, kPassword);
    window.SetFieldText(TConnectionField::paramRepert, folder);
  }
  std::string Feed(const std::string& name, const std::string& bytes) {
    testsupport::WriteFile(local / name, bytes);
    return local / name;
  }
  bool MemoHas(const std::string& line) const {
    return std::find(window.Memo.begin(), window.Memo.end(), line) != window.Memo.end();
  }
};

}  // namespace

TEST_F(FeedUploadTest, SendsTheFileThenReusesTheSessionWithoutReconnecting) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Folder = "in"});
  PortalFields(server.Address(), "in");
  const std::string bytes(300000, 'x');
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("RovelleDatasVO-20240101.xml", bytes)), "Transfert FTP OK : ");
  EXPECT_EQ(run.Outcome(), shell::TRunOutcome::Sent);
  EXPECT_EQ(run.OutcomeText(), "Transfert FTP OK : ");
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/RovelleDatasVO-20240101.xml"), bytes);
  EXPECT_EQ(run.TotalBytes(), 300000);
  EXPECT_EQ(window.Label1Text, "Connexion PARUVENDU - on connection");
  EXPECT_EQ(window.Label2Text, "Transfert en cours : 100%");
  for (const char* status : {"Resolving hostname 127.0.0.1.", "Connected.", "Connection established",
                             "Starting FTP transfer", "Transfer complete"}) {
    EXPECT_TRUE(MemoHas(status)) << status;
  }

  // Later calls go straight to the transfer, in the folder of the first one.
  window.Label1Text = "Image 4 : photo";
  window.SetFieldText(TConnectionField::paramRepert, "elsewhere");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("second.zip", "PK")), "Transfert FTP OK : ");
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/second.zip"), "PK");
  EXPECT_EQ(window.Label1Text, "Image 4 : photo");
  EXPECT_EQ(server.Count("USER"), 1);
  EXPECT_EQ(server.Arguments("CWD"), std::vector<std::string>{"in"});
}

TEST_F(FeedUploadTest, MissingRemoteFolderIsAConnectionErrorAndLeavesTheLoginFolder) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Folder = "in", .CreateFolder = false});
  PortalFields(server.Address(), "in");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("a.zip", "A")), "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_EQ(server.Count("STOR"), 0);
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("b.zip", "B")), "Transfert FTP OK : ");
  EXPECT_EQ(testsupport::ListFolder(server.Home()), std::vector<std::string>{"b.zip"});
  EXPECT_EQ(server.Count("USER"), 1);
}

TEST_F(FeedUploadTest, EmptyFolderFieldSendsIntoTheLoginFolder) {
  TFtpServer server({.User = kUser, .Password = kPassword});
  PortalFields(server.Address(), "");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("a.zip", "A")), "Transfert FTP OK : ");
  EXPECT_EQ(testsupport::ReadFile(server.Home() + "/a.zip"), "A");
  EXPECT_EQ(server.Count("CWD"), 0);
}

TEST_F(FeedUploadTest, MissingLocalFileConnectsButSendsNothing) {
  TFtpServer server({.User = kUser, .Password = kPassword});
  PortalFields(server.Address(), "");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, local / "none.zip"), "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_EQ(run.TotalBytes(), -1);
  EXPECT_EQ(server.Count("USER"), 1);
  EXPECT_EQ(server.Count("STOR"), 0);
  EXPECT_EQ(run.Outcome(), shell::TRunOutcome::NotSent);
}

TEST_F(FeedUploadTest, EmptyFileIsSentWithoutPercentage) {
  TFtpServer server({.User = kUser, .Password = kPassword});
  PortalFields(server.Address(), "");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("empty.zip", "")), "Transfert FTP OK : ");
  EXPECT_EQ(testsupport::ReadFile(server.Home() + "/empty.zip"), "");
  EXPECT_EQ(run.TotalBytes(), 0);
  EXPECT_EQ(window.Label2Text, "Label2 - on transfert");
}

TEST_F(FeedUploadTest, FailedConnectionsAreRetriedByTheNextCall) {
  TFtpServer server({.User = kUser, .Password = kPassword});
  TFtpServer refusing({.User = kUser, .Password = kPassword, .Faults = {ftpfault::RefuseLogin}});
  struct Case {
    std::string Name, Server, User;
  };
  for (const auto& c : {Case{"refused port", "127.0.0.1:1", kUser},
                        Case{"refused login", refusing.Address(), kUser},
                        Case{"line break in user", server.Address(), kUser + "\r\nDELE x"},
                        Case{"no server address", "", kUser}}) {
    PortalFields(c.Server, "", c.User);
    EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("a.zip", "A")), "Transfert FTP : Erreur Connexion au serveur. ")
        << c.Name;
  }
  EXPECT_EQ(server.Count("DELE") + server.Count("STOR") + refusing.Count("STOR"), 0);
  PortalFields(server.Address(), "");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("a.zip", "A")), "Transfert FTP OK : ");
  EXPECT_TRUE(MemoHas("Login denied (530 Authentication failed.)"));
}

TEST_F(FeedUploadTest, BrokenOrRefusedTransferIsATransferError) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {ftpfault::DropData}});
  PortalFields(server.Address(), "");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("big.zip", std::string(2 << 20, 'z'))),
            "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("x\r\nDELE big.zip", "x")), "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_EQ(server.Count("DELE"), 0);
  EXPECT_EQ(server.Count("STOR"), 1);
}

TEST_F(FeedUploadTest, HungServerEndsTheCallWithinTheLimitsAndTheWindowStaysServiced) {
  transfer::SetFtpTimeLimits({1s, 1s, 1s, 1s});
  struct Case {
    const char* Fault;
    std::string Outcome;
  };
  for (const auto& c : {Case{ftpfault::Silent, "Transfert FTP : Erreur Connexion au serveur. "},
                        Case{ftpfault::StallReply, "Transfert FTP : Erreur lors du transfert. "}}) {
    SCOPED_TRACE(c.Fault);
    TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {c.Fault}});
    transfers.emplace(run);
    PortalFields(server.Address(), "");
    window.Pumps.clear();
    const auto start = TClock::now();
    EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK")), c.Outcome);
    const auto end = TClock::now();
    EXPECT_LT(end - start, 5s);
    auto last = start;
    for (const auto t : window.Pumps) {
      EXPECT_LT(t - last, 250ms);
      last = t;
    }
    EXPECT_LT(end - last, 250ms);
  }
}

// Each fault strikes the first upload only; the second upload is the next run.
TEST_F(FeedUploadTest, AFailedUploadLeavesThePreviousFeedWholeAndTheNextRunReplacesIt) {
  transfer::SetFtpTimeLimits({2s, 2s, 2s, 2s});  // every fault below ends its upload within 5 s
  const std::string previous = "previous complete feed";
  const std::string feed(300000, 'n');
  for (const char* fault : {ftpfault::DropData, ftpfault::CloseData226, ftpfault::NoConnect, ftpfault::StallReply,
                            ftpfault::SizeWrong, ftpfault::RefuseRename}) {
    SCOPED_TRACE(fault);
    TFtpServer server({.User = kUser, .Password = kPassword, .Folder = "in", .Faults = {std::string(fault) + ":1"}});
    testsupport::WriteFile(server.Root() + "/feed.xml", previous);
    BeginRun();
    PortalFields(server.Address(), "in");
    const auto start = TClock::now();
    EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.xml", feed)), "Transfert FTP : Erreur lors du transfert. ");
    EXPECT_LT(TClock::now() - start, 5s);
    EXPECT_EQ(run.Outcome(), shell::TRunOutcome::NotSent);
    EXPECT_EQ(testsupport::ReadFile(server.Root() + "/feed.xml"), previous);

    BeginRun();
    EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.xml", feed)), "Transfert FTP OK : ");
    EXPECT_EQ(testsupport::ReadFile(server.Root() + "/feed.xml"), feed);
    EXPECT_EQ(testsupport::ListFolder(server.Root()), std::vector<std::string>{"feed.xml"});
  }
}

TEST_F(FeedUploadTest, TheFeedTakesItsNameOnlyOnceCompleteAndTheMemoIsAsBefore) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Folder = "in"});
  testsupport::WriteFile(server.Root() + "/feed.zip", "old");
  PortalFields(server.Address(), "in");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK new")), "Transfert FTP OK : ");
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/feed.zip"), "PK new");
  EXPECT_EQ(server.Arguments("STOR"), std::vector<std::string>{"feed.zip.part"});
  EXPECT_EQ(server.Arguments("SIZE"), std::vector<std::string>{"feed.zip.part"});
  EXPECT_EQ(server.Arguments("RNFR"), std::vector<std::string>{"feed.zip.part"});
  EXPECT_EQ(server.Arguments("RNTO"), std::vector<std::string>{"feed.zip"});
  EXPECT_EQ(window.Memo, (std::vector<std::string>{"Resolving hostname 127.0.0.1.", "Connecting to 127.0.0.1.",
                                                   "Connected.", "Connection established", "Starting FTP transfer",
                                                   "Transfer complete"}));
  EXPECT_EQ(LogText(), "");
}

TEST_F(FeedUploadTest, ServersWithoutSizeOrThatWillNotReplaceStillGetTheFeed) {
  struct Case {
    const char* Fault;
    int Deletes;
  };
  for (const auto& c : {Case{ftpfault::NoSize, 0}, Case{ftpfault::RenameNoReplace, 1}}) {
    SCOPED_TRACE(c.Fault);
    TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {c.Fault}});
    testsupport::WriteFile(server.Home() + "/feed.zip", "old");
    BeginRun();
    PortalFields(server.Address(), "");
    EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK new")), "Transfert FTP OK : ");
    EXPECT_EQ(testsupport::ListFolder(server.Home()), std::vector<std::string>{"feed.zip"});
    EXPECT_EQ(testsupport::ReadFile(server.Home() + "/feed.zip"), "PK new");
    EXPECT_EQ(server.Count("DELE"), c.Deletes);
  }
}

TEST_F(FeedUploadTest, ARefusedRenameNamesTheSwitchThatSendsUnderTheFinalName) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {ftpfault::RefuseRename}});
  PortalFields(server.Address(), "");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK")), "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_TRUE(testsupport::ListFolder(server.Home()).empty());
  EXPECT_NE(LogText().find("Transfert FTP : le serveur refuse de renommer feed.zip.part en feed.zip "
                           "(Quote command returned error (550 Renaming not permitted.)) ; EnvoiNomTemporaire=0 "
                           "dans la section [PARUVENDU] envoie le fichier directement sous son nom\r\n"),
            std::string::npos)
      << LogText();

  BeginRun("EnvoiNomTemporaire=0\r\n");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK")), "Transfert FTP OK : ");
  EXPECT_EQ(server.Arguments("STOR"), (std::vector<std::string>{"feed.zip.part", "feed.zip"}));
  EXPECT_EQ(testsupport::ReadFile(server.Home() + "/feed.zip"), "PK");
}

TEST_F(FeedUploadTest, ConnectionsAndTransfersThatMayPassAreTriedAgainAndALoginRefusalIsNot) {
  transfer::SetFtpTimeLimits({2s, 2s, 2s, 2s});
  struct Case {
    std::vector<std::string> Faults;
    std::string Settings;
    std::string Outcome;
    int Users;  // USER commands the server got
    std::size_t LoggedTries;
  };
  const std::string bytes(300000, 'r');
  for (const auto& c : {
           // Refused twice at the greeting (421), sent at the third try.
           Case{{"refuse_connect:2"}, "PauseTentatives=1\r\n", "Transfert FTP OK : ", 1, 2},
           // A transfer cut once, then whole.
           Case{{"drop_data:1"}, "PauseTentatives=0\r\n", "Transfert FTP OK : ", 2, 1},
           // Not enough tries.
           Case{{"refuse_connect:2"}, "Tentatives=2\r\nPauseTentatives=0\r\n",
                "Transfert FTP : Erreur Connexion au serveur. ", 0, 2},
           // 530 is final.
           Case{{"refuse_login"}, "PauseTentatives=0\r\n", "Transfert FTP : Erreur Connexion au serveur. ", 1, 0},
       }) {
    SCOPED_TRACE(c.Faults.front() + " " + c.Settings);
    TFtpServer server({.User = kUser, .Password = kPassword, .Faults = c.Faults});
    BeginRun(c.Settings);
    PortalFields(server.Address(), "");
    const auto start = TClock::now();
    EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", bytes)), c.Outcome);
    EXPECT_LT(TClock::now() - start, 10s);
    EXPECT_EQ(server.Count("USER"), c.Users);
    std::size_t tries = 0;
    for (std::size_t at = 0; (at = LogText().find("Transfert FTP : essai ", at)) != std::string::npos; ++at) ++tries;
    EXPECT_EQ(tries, c.LoggedTries) << LogText();
    if (c.Outcome == transfer::kUploadSent) {
      EXPECT_EQ(testsupport::ReadFile(server.Home() + "/feed.zip"), bytes);
    }
  }
}

TEST_F(FeedUploadTest, EachFailedTryIsLoggedAndThePauseKeepsTheWindowServiced) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {"refuse_connect:1"}});
  BeginRun("Tentatives=2\r\nPauseTentatives=1\r\n");
  PortalFields(server.Address(), "");
  window.Pumps.clear();
  const auto start = TClock::now();
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK")), "Transfert FTP OK : ");
  const auto end = TClock::now();
  EXPECT_GE(end - start, 1s);
  auto last = start;
  for (const auto t : window.Pumps) {
    EXPECT_LT(t - last, 250ms);
    last = t;
  }
  const std::string log = LogText();
  EXPECT_NE(log.find(" - Transfert FTP : essai 1 sur 2 échoué (") , std::string::npos) << log;
  EXPECT_NE(log.find("(421 Service not available, closing control connection.)) ; nouvel essai dans 1 s\r\n"),
            std::string::npos)
      << log;
}

TEST_F(FeedUploadTest, ConnectionSettingsOfThePortalSectionAreUsed) {
  TFtpServer server({.User = kUser, .Password = kPassword, .Faults = {ftpfault::RefuseActive}});
  PortalFields(server.Address(), "");
  BeginRun("Tentatives=1\r\nModePassif=1\r\n");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK")), "Transfert FTP OK : ");
  EXPECT_EQ(testsupport::ReadFile(server.Home() + "/feed.zip"), "PK");

  // A security the program does not know never falls back to clear text.
  BeginRun("Securite=SSL3\r\n");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK")), "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_EQ(server.Count("USER"), 1);
  EXPECT_NE(LogText().find(" - Securite=SSL3 inconnu dans la section [PARUVENDU] (vide, TLS, TLS-implicite ou SFTP)\r\n"),
            std::string::npos)
      << LogText();
  // Nor does a host key that is no SHA-256 fingerprint leave the key unchecked.
  BeginRun("Securite=SFTP\r\nEmpreinteSSH=16:27:ac:a5:76:28\r\n");
  EXPECT_EQ(transfer::UploadFeedFile(*transfers, Feed("feed.zip", "PK")), "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_NE(LogText().find("EmpreinteSSH=16:27:ac:a5:76:28 dans la section [PARUVENDU] n'est pas une empreinte SHA256"),
            std::string::npos)
      << LogText();
}
