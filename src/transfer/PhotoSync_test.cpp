#include "transfer/PhotoSync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "shell/ActivityLog.h"
#include "support/FtpServer.h"
#include "support/RecordingWindow.h"
#include "support/TestSupport.h"
#include "transfer/FtpSession.h"

using namespace std::chrono_literals;
using shell::TConnectionField;
using testsupport::TFtpServer;
using testsupport::WriteFile;
namespace ftpfault = testsupport::ftpfault;

namespace {

const std::string kUser = "clicheo@ftp.photos.example";
const std::string kPassword = "Ph0t0s-24x";
const std::string kFolder = "www/clicheo";

struct PhotoSyncTest : ::testing::Test {
  testsupport::TTempDir windir;
  testsupport::TTempDir photos;
  testsupport::TRecordingWindow window;
  shell::TRunControl run{window, {}, photos / "annoncia"};
  std::optional<transfer::TTransfers> transfers;  // a new one is a new run's sessions and listing

  void SetUp() override {
    transfer::SetFtpTimeLimits({10s, 10s, 10s, 10s});
    setenv("WINDIR", windir.Path().c_str(), 1);
    testsupport::MakeDirs(windir / "TEMP");
    BeginRun(photos.Path());
  }
  void BeginRun(const std::string& pathImages) {
    run.BeginRun({.Option = "PARUVENDU", .PathImages = pathImages});
    shell::RestartLog(run);
    run.Counters.PhotoLinkCount = 5;
    transfers.emplace(run);
    transfers->TestFTPClicheo = true;
  }
  void TearDown() override {
    for (const auto& line : window.Memo) EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
  }
  void PhotoFields(const TFtpServer& server, const std::string& folder = kFolder) {
    window.SetFieldText(TConnectionField::paramServeurClicheo, server.Address());
    window.SetFieldText(TConnectionField::paramUserClicheo, kUser);
    window.SetFieldText(TConnectionField::paramPasswordClicheo, kPassword);
    window.SetFieldText(TConnectionField::paramRepertClicheo, folder);
  }
  void LocalPhotos(std::initializer_list<const char*> names) {
    for (const char* name : names) WriteFile(photos / name, std::string("jpeg:") + name);
  }
  // The log's messages, without their date and time.
  std::vector<std::string> Logged() const {
    std::vector<std::string> messages;
    std::istringstream in(testsupport::ReadFile(windir / "TEMP/ZuroviRazeviPARUVENDU.log"));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t stamp = std::string("dd/mm/yyyy hh:nn:ss - ").size();
      messages.push_back(line.size() >= stamp ? line.substr(stamp) : line);
    }
    return messages;
  }
};

TFtpServer PhotoServer(std::vector<std::string> faults = {}) {
  return TFtpServer({.User = kUser, .Password = kPassword, .Folder = kFolder, .Faults = std::move(faults)});
}

}  // namespace

TEST_F(PhotoSyncTest, SwitchOffNeverContactsTheServer) {
  TFtpServer server = PhotoServer();
  PhotoFields(server);
  transfers->TestFTPClicheo = false;
  LocalPhotos({"123.jpg"});
  transfer::SyncPhotos(*transfers, "123.jpg");
  transfer::SyncPhotos(*transfers, "404.jpg");
  EXPECT_TRUE(transfer::IsPhotoOnServer(*transfers, "anything.jpg"));
  EXPECT_TRUE(server.Commands().empty());
  EXPECT_TRUE(Logged().empty());
  EXPECT_EQ(run.Counters.PhotosUpdatedCount, 0);
  EXPECT_EQ(window.Label1Text, "Image 5 : " + photos.Path() + "\\404m.jpg");
  EXPECT_EQ(window.Label2Text, "Label2");
  EXPECT_FALSE(transfers->PhotoServerListing.has_value());
}

TEST_F(PhotoSyncTest, PhotoAndThumbnailMissingOnTheServerAreUploaded) {
  TFtpServer server = PhotoServer();
  PhotoFields(server);
  LocalPhotos({"123.jpg", "123m.jpg"});
  transfer::SyncPhotos(*transfers, "123.jpg");
  EXPECT_EQ(Logged(), (std::vector<std::string>{"Lecture du répertoire FTP Clicheo", "Update 1 : 123.jpg",
                                                "Update 2 : 123m.jpg"}));
  EXPECT_EQ(run.Counters.PhotosUpdatedCount, 2);
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/123.jpg"), "jpeg:123.jpg");
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/123m.jpg"), "jpeg:123m.jpg");
  EXPECT_EQ(window.Label1Text, "Image 5 : " + photos.Path() + "\\123m.jpg");
  EXPECT_EQ(window.Label2Text, "Update 2 : " + photos.Path() + "\\123m.jpg - on transfert");
  EXPECT_EQ(server.Count("USER"), 1);
  EXPECT_EQ(server.Count("NLST"), 1);
}

TEST_F(PhotoSyncTest, ListingIsReadOnceAndMatchesWholeNamesIgnoringCase) {
  TFtpServer server = PhotoServer();
  for (const char* name : {"123.JPG", "123M.JPG", "x456.jpg"}) WriteFile(server.Root() + "/" + name, "old");
  PhotoFields(server);
  LocalPhotos({"123.jpg", "123m.jpg", "456.jpg", "456m.jpg"});
  transfer::SyncPhotos(*transfers, "123.jpg");
  transfer::SyncPhotos(*transfers, "456.jpg");
  transfer::SyncPhotos(*transfers, "456.jpg");  // named twice: sent twice
  EXPECT_EQ(server.Arguments("RNTO"), (std::vector<std::string>{"456.jpg", "456m.jpg", "456.jpg", "456m.jpg"}));
  EXPECT_EQ(run.Counters.PhotosUpdatedCount, 4);
  EXPECT_EQ(server.Count("NLST"), 1);
  EXPECT_EQ(Logged().front(), "Lecture du répertoire FTP Clicheo");
  EXPECT_EQ(Logged().back(), "Update 4 : 456m.jpg");
}

TEST_F(PhotoSyncTest, PhotoMissingOnBothSidesIsReported) {
  TFtpServer server = PhotoServer();
  WriteFile(server.Root() + "/555.jpg", "old");
  PhotoFields(server);
  transfer::SyncPhotos(*transfers, "555.jpg");
  transfer::SyncPhotos(*transfers, "789.jpg");
  EXPECT_EQ(Logged(), (std::vector<std::string>{"Lecture du répertoire FTP Clicheo", "Pb Existence : 555m.jpg",
                                                "Pb Existence : 789.jpg", "Pb Existence : 789m.jpg"}));
  EXPECT_EQ(run.Counters.PhotosUpdatedCount, 0);
}

TEST_F(PhotoSyncTest, JpgInThePhotoFolderPathChangesForTheThumbnailToo) {
  TFtpServer server = PhotoServer();
  PhotoFields(server);
  BeginRun(photos / "stock.jpg");
  WriteFile(photos / "stock.jpg/7.jpg", "photo");
  WriteFile(photos / "stockm.jpg/7m.jpg", "thumbnail");
  transfer::SyncPhotos(*transfers, "7.jpg");
  EXPECT_EQ(window.Label1Text, "Image 5 : " + photos / "stockm.jpg" + "\\7m.jpg");
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/7m.jpg"), "thumbnail");
  EXPECT_EQ(run.Counters.PhotosUpdatedCount, 2);
}

// However the photo server fails, the first failure is the last contact:
// one login at most, every later photo checked locally and logged but not
// sent, and the run told its photos are incomplete.
TEST_F(PhotoSyncTest, APhotoServerThatFailsIsMarkedUnavailableAndNeverContactedAgain) {
  transfer::SetFtpTimeLimits({1s, 1s, 1s, 1s});  // each case ends within 5 s
  struct Case {
    const char* Fault;
    bool Listed;  // the listing was asked for
  };
  for (const auto& c : {Case{ftpfault::RefuseLogin, false}, Case{ftpfault::RefuseConnect, false},
                        Case{ftpfault::Silent, false}, Case{ftpfault::SilentAfterLogin, false},
                        Case{ftpfault::Nlst421, true}, Case{ftpfault::NoConnect, true},
                        Case{ftpfault::HugeListing, true}, Case{ftpfault::StallReply, true}}) {
    SCOPED_TRACE(c.Fault);
    TFtpServer server = PhotoServer({c.Fault});
    PhotoFields(server);
    BeginRun(photos.Path());
    LocalPhotos({"1.jpg", "1m.jpg", "2.jpg"});
    const auto start = std::chrono::steady_clock::now();
    transfer::SyncPhotos(*transfers, "1.jpg");
    transfer::SyncPhotos(*transfers, "2.jpg");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    EXPECT_TRUE(transfers->PhotoServerUnavailable());
    EXPECT_TRUE(run.PhotosIncomplete());
    EXPECT_LE(server.Count("USER"), 1);
    EXPECT_LE(server.Count("STOR"), 1);  // stall_reply: the one upload whose reply never came
    for (const auto& name : testsupport::ListFolder(server.Root())) EXPECT_TRUE(name.ends_with(".part")) << name;
    EXPECT_EQ(transfers->Run.Counters.PhotosNotSentCount, 3);

    auto log = Logged();
    if (c.Listed) {
      ASSERT_FALSE(log.empty());
      EXPECT_EQ(log.front(), "Lecture du répertoire FTP Clicheo");
      log.erase(log.begin());
    }
    // One line at the failure: before the first Update line, or after it
    // when that photo's upload was the one that failed.
    const auto marked = std::find_if(log.begin(), log.end(),
                                     [](const std::string& line) { return line.starts_with("Serveur photos indisponible : "); });
    ASSERT_NE(marked, log.end());
    EXPECT_EQ(marked - log.begin(), std::string_view(c.Fault) == ftpfault::StallReply ? 1 : 0);
    EXPECT_TRUE(marked->ends_with(" ; plus aucune photo n'est envoyée dans cette exécution")) << *marked;
    log.erase(marked);
    EXPECT_EQ(log, (std::vector<std::string>{"Update 1 : 1.jpg", "Update 2 : 1m.jpg", "Update 3 : 2.jpg",
                                             "Pb Existence : 2m.jpg"}));
  }
}

TEST_F(PhotoSyncTest, APhotoTheServerRefusesIsSkippedAndTheOthersAreSent) {
  TFtpServer server = PhotoServer();
  testsupport::MakeDirs(server.Root() + "/1.jpg.part");  // STOR of it is refused with 550
  PhotoFields(server);
  LocalPhotos({"1.jpg", "1m.jpg"});
  transfer::SyncPhotos(*transfers, "1.jpg");
  EXPECT_FALSE(transfers->PhotoServerUnavailable());
  EXPECT_FALSE(run.PhotosIncomplete());
  EXPECT_EQ(testsupport::ReadFile(server.Root() + "/1m.jpg"), "jpeg:1m.jpg");
  EXPECT_FALSE(testsupport::PathExists(server.Root() + "/1.jpg"));
}

TEST_F(PhotoSyncTest, EmptyFolderAnsweredWithAnErrorIsAnEmptyListing) {
  for (const char* fault : {ftpfault::Nlst550, ftpfault::Nlst450}) {
    SCOPED_TRACE(fault);
    TFtpServer server = PhotoServer({fault});
    PhotoFields(server);
    BeginRun(photos.Path());
    LocalPhotos({"9.jpg", "9m.jpg"});
    transfer::SyncPhotos(*transfers, "9.jpg");
    EXPECT_EQ(transfers->PhotoServerListing, std::unordered_set<std::string>{});
    EXPECT_EQ(run.Counters.PhotosUpdatedCount, 2);
    EXPECT_EQ(server.Arguments("STOR"), (std::vector<std::string>{"9.jpg.part", "9m.jpg.part"}));
    EXPECT_EQ(testsupport::ListFolder(server.Root()), (std::vector<std::string>{"9.jpg", "9m.jpg"}));
  }
}

TEST_F(PhotoSyncTest, NamesOutsideThePhotoFolderOrWithLineBreaksAreNeitherReadNorSent) {
  TFtpServer server = PhotoServer();
  PhotoFields(server);
  BeginRun(photos / "images");
  LocalPhotos({"secret.jpg", "secretm.jpg", "images/a\r\nDELE victim.jpg", "images/a\r\nDELE victimm.jpg"});
  WriteFile(server.Root() + "/victim", "kept");
  for (const char* name : {"../secret.jpg", "sub\\..\\..\\secret.jpg", "a\r\nDELE victim.jpg",
                           "/secret.jpg", "c:\\secret.jpg"}) {
    transfer::SyncPhotos(*transfers, name);
  }
  EXPECT_EQ(run.Counters.PhotosUpdatedCount, 0);
  EXPECT_EQ(server.Count("STOR") + server.Count("DELE"), 0);
  const auto log = Logged();
  EXPECT_EQ(log[1], "Pb Existence : ../secret.jpg");
  EXPECT_EQ(log[2], "Pb Existence : secretm.jpg");
}
