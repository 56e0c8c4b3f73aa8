#include "transfer/AutoScout24Photos.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/Errors.h"
#include "shell/ActivityLog.h"
#include "support/FtpServer.h"
#include "support/RecordingWindow.h"
#include "support/TestSupport.h"
#include "transfer/FtpSession.h"
#include "xmldoc/XMLUtils.h"

using namespace std::chrono_literals;
using shell::TConnectionField;
using testsupport::ListFolder;
using testsupport::ReadFile;
using testsupport::WriteFile;
using transfer::PhotoFileName;
using Lines = std::vector<std::string>;

namespace {

struct StagingTest : ::testing::Test {
  testsupport::TTempDir windir;
  testsupport::TRecordingWindow window;
  shell::TRunControl run{window, {}, windir / "annoncia"};
  transfer::TTransfers transfers{run};
  std::string staging = windir / "TEMP/AS24";
  transfer::TAutoScout24Staging stage{transfers, staging};

  void SetUp() override {
    transfer::SetFtpTimeLimits({10s, 10s, 10s, 10s});
    setenv("WINDIR", windir.Path().c_str(), 1);
    testsupport::MakeDirs(windir / "TEMP");
    testsupport::MakeDirs(windir / "images");
    run.BeginRun({.Option = "AUTOSCOUT24", .PathImages = windir / "images"});
    shell::RestartLog(run);
  }
  void Photos(std::initializer_list<const char*> names) {
    for (const char* name : names) WriteFile(run.PathImages() + "/" + name, std::string("jpeg:") + name);
  }
  Lines Logged() const {
    Lines messages;
    std::istringstream in(ReadFile(windir / "TEMP/ZuroviRazeviAUTOSCOUT24.log"));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      messages.push_back(line.substr(std::string("dd/mm/yyyy hh:nn:ss - ").size()));
    }
    return messages;
  }
};

}  // namespace

TEST(PhotoFileName, KeepsThePartAfterTheLastSlashOrColon) {
  const std::pair<const char*, const char*> cases[] = {
      {"123.jpg", "123.jpg"},
      {"http://photos.example/vo/123.jpg", "123.jpg"},
      {"a/b:c.jpg", "c.jpg"},
      {"c:\\photos\\123.jpg", "\\photos\\123.jpg"},  // "\" is no delimiter
      {"sub\\123.jpg", "sub\\123.jpg"},
      {"dossier/", ""},
      {"", ""},
  };
  for (const auto& [text, name] : cases) EXPECT_EQ(PhotoFileName(text), name) << text;
}

TEST_F(StagingTest, CopiesPhotosUnderVehicleNumberAndPhotoNumberButNeverThumbnails) {
  transfers.TestFTPClicheo = false;
  Photos({"a.jpg", "am.jpg", "B.JPG", "Bm.jpg"});
  stage.Stage(1, "a.jpg", "4711");
  stage.Stage(2, "http://photos.example/vo/B.JPG", "4711");
  EXPECT_EQ(ListFolder(staging), (Lines{"4711_1.jpg", "4711_2.jpg"}));
  EXPECT_EQ(ReadFile(staging + "/4711_1.jpg"), "jpeg:a.jpg");
  EXPECT_EQ(ReadFile(staging + "/4711_2.jpg"), "jpeg:B.JPG");
  EXPECT_EQ(run.Counters.PhotoLinkCount, 2);
  EXPECT_EQ(window.Label1Text, "Image 2 : " + run.PathImages() + "\\B.JPG");
  // Switch off: every photo counts as on the server.
  EXPECT_EQ(run.Counters.PhotosUpdatedCount, 0);
  EXPECT_EQ(Logged(), Lines{});
  EXPECT_EQ(window.Label2Text, "Label2");
}

TEST_F(StagingTest, ReportsWhatIsMissingLocallyOrOnThePhotoServerAndSendsNothing) {
  testsupport::TFtpServer server({.User = "p@ftp.example", .Password = "Ph0t0s42", .Folder = "www/clicheo"});
  WriteFile(server.Root() + "/AM.JPG", "old");
  window.SetFieldText(TConnectionField::paramServeurClicheo, server.Address());
  window.SetFieldText(TConnectionField::paramUserClicheo, "p@ftp.example");
  window.SetFieldText(TConnectionField::paramPasswordClicheo, "Ph0t0s42");
  window.SetFieldText(TConnectionField::paramRepertClicheo, "www/clicheo");
  transfers.TestFTPClicheo = true;
  Photos({"a.jpg", "am.jpg", "gonem.jpg", "solo.jpg", "after.jpg", "afterm.jpg"});
  stage.Stage(1, "a.jpg", "1");
  stage.Stage(2, "gone.jpg", "1");
  stage.Stage(3, "solo.jpg", "1");
  EXPECT_EQ(window.Label2Text, "Update 3 : " + run.PathImages() + "\\solo.jpg");
  stage.Stage(1, "after.jpg", "2");
  EXPECT_EQ(Logged(), (Lines{"Lecture du répertoire FTP Clicheo", "Update 1 : a.jpg", "Pb Existence : gone.jpg",
                             "Update 2 : gonem.jpg", "Update 3 : solo.jpg", "Pb Existence : solom.jpg",
                             "Update 4 : after.jpg", "Update 5 : afterm.jpg"}));
  EXPECT_EQ(run.Counters.PhotosUpdatedCount, 5);
  EXPECT_EQ(run.Counters.PhotoLinkCount, 4);
  EXPECT_EQ(window.Label2Text, "Update 5 : " + run.PathImages() + "\\afterm.jpg");
  EXPECT_EQ(ListFolder(staging), (Lines{"1_1.jpg", "1_3.jpg", "2_1.jpg"}));
  EXPECT_EQ(server.Count("STOR"), 0);
  EXPECT_EQ(server.Count("NLST"), 1);
}

TEST_F(StagingTest, NamesClimbingOutOfThePhotoFolderAreNeverRead) {
  transfers.TestFTPClicheo = false;
  WriteFile(windir / "secret.jpg", "secret");
  WriteFile(windir / "secretm.jpg", "secret");
  Photos({"sub/p.jpg", "sub/pm.jpg"});
  stage.Stage(1, "..\\secret.jpg", "5");
  stage.Stage(2, "http://x/sub\\..\\..\\secret.jpg", "5");
  stage.Stage(3, "sub\\p.jpg", "5");  // a sub-folder of the photo folder is fine
  stage.Stage(4, "sub\\p.jpg", "..\\5");
  EXPECT_EQ(ListFolder(staging), Lines{"5_3.jpg"});
  EXPECT_EQ(ListFolder(windir.Path()), (Lines{"TEMP", "images", "secret.jpg", "secretm.jpg"}));
  EXPECT_EQ(Logged(), (Lines{"Pb Existence : ..\\secret.jpg", "Pb Existence : ..\\secretm.jpg",
                             "Pb Existence : sub\\..\\..\\secret.jpg", "Pb Existence : sub\\..\\..\\secretm.jpg"}));
}

// A photo that cannot be staged would be missing from the archive: the run
// stops there, naming the folder or file.
TEST_F(StagingTest, AStagingFolderThatCannotBeMadeOrWrittenEndsTheRun) {
  transfers.TestFTPClicheo = false;
  Photos({"a.jpg", "am.jpg"});
  try {
    transfer::TAutoScout24Staging(transfers, windir / "missing/AS24").Stage(1, "a.jpg", "9");
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(e.Path, windir / "missing/AS24");
  }
  EXPECT_FALSE(testsupport::PathExists(windir / "missing"));

  testsupport::MakeDirs(staging + "/9_1.jpg");  // a folder where the photo goes
  try {
    stage.Stage(1, "a.jpg", "9");
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(e.Path, staging + "\\9_1.jpg");
  }
}

namespace {

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

}  // namespace

// A staged photo is the dealer's photo itself (a hard link): the same name
// staged again and the next run's purge of the staging folder remove names
// only, and every photo stays as it was, bytes and mode.
TEST_F(StagingTest, LinkedPhotosStayIntactAcrossASecondStageAndThePurge) {
  transfers.TestFTPClicheo = false;
  Photos({"a.jpg", "am.jpg", "b.jpg", "bm.jpg"});
  const std::string a = run.PathImages() + "/a.jpg";
  const std::string b = run.PathImages() + "/b.jpg";
  ASSERT_EQ(chmod(a.c_str(), 0444), 0);
  stage.Stage(1, "a.jpg", "7");
  EXPECT_EQ(StatOf(staging + "/7_1.jpg").st_ino, StatOf(a).st_ino);
  stage.Stage(1, "b.jpg", "7");  // one vehicle number twice in the export
  EXPECT_EQ(ReadFile(staging + "/7_1.jpg"), "jpeg:b.jpg");
  EXPECT_EQ(ReadFile(a), "jpeg:a.jpg");
  EXPECT_EQ(StatOf(a).st_nlink, 1u);

  xmldoc::PurgeFolder(staging);
  EXPECT_FALSE(testsupport::PathExists(staging));
  EXPECT_EQ(ListFolder(run.PathImages()), (Lines{"a.jpg", "am.jpg", "b.jpg", "bm.jpg"}));
  EXPECT_EQ(ReadFile(a), "jpeg:a.jpg");
  EXPECT_EQ(ReadFile(b), "jpeg:b.jpg");
  EXPECT_EQ(StatOf(a).st_mode & 07777, 0444u);
  EXPECT_EQ(StatOf(b).st_nlink, 1u);
}

// The staging folder is opened once: a link put in its place during the run
// is never followed, and a folder deleted during the run ends it rather than
// being made again without the photos staged so far.
TEST_F(StagingTest, TheFolderOpenedFirstGetsEveryPhotoOrTheRunEnds) {
  transfers.TestFTPClicheo = false;
  Photos({"a.jpg", "am.jpg"});
  stage.Stage(1, "a.jpg", "9");
  std::filesystem::rename(staging, staging + ".moved");
  testsupport::MakeDirs(windir / "elsewhere");
  std::filesystem::create_symlink(windir / "elsewhere", staging);
  stage.Stage(2, "a.jpg", "9");
  EXPECT_EQ(ListFolder(windir / "elsewhere"), Lines{});
  EXPECT_EQ(ListFolder(staging + ".moved"), (Lines{"9_1.jpg", "9_2.jpg"}));

  std::filesystem::remove_all(staging + ".moved");
  try {
    stage.Stage(3, "a.jpg", "9");
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(e.Path, staging + "\\9_3.jpg");
  }
  EXPECT_EQ(ListFolder(windir / "elsewhere"), Lines{});
  EXPECT_EQ(ReadFile(run.PathImages() + "/a.jpg"), "jpeg:a.jpg");
}
