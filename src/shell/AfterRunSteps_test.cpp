// What run control hands to the after-run steps, and when.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "shell/ActivityLog.h"
#include "shell/UnitAnnoncia.h"
#include "support/RecordingWindow.h"
#include "support/TestSupport.h"

namespace {

struct AfterRunFixture : ::testing::Test {
  testsupport::TTempDir windir;
  testsupport::TTempDir exeDir;
  testsupport::TRecordingWindow window;
  std::function<void(shell::TRunControl&)> build = [](shell::TRunControl&) {};
  std::vector<shell::TRunRecord> records;
  std::vector<std::size_t> errorsSeenByStep;  // error boxes already shown when the step ran
  bool failingStep = false;

  std::unique_ptr<shell::TRunControl> Make() {
    shell::TPortalTable t;
    t.Register({"PARUVENDU", "ParuVendu", "", "", [this](shell::TRunControl& r) { build(r); }});
    if (failingStep) {
      t.AddAfterRunStep([](shell::TRunControl&, const shell::TRunRecord&) {
        throw std::runtime_error("Historique non écrit : disque plein");
      });
    }
    t.AddAfterRunStep([this](shell::TRunControl&, const shell::TRunRecord& r) {
      records.push_back(r);
      errorsSeenByStep.push_back(window.Errors.size());
    });
    return std::make_unique<shell::TRunControl>(window, std::move(t), exeDir / "annoncia");
  }
  void SetUp() override {
    setenv("WINDIR", windir.Path().c_str(), 1);
    testsupport::MakeDirs(windir / "TEMP");
    testsupport::WriteFile(exeDir / "Annoncia.ini", "");
  }
};

}  // namespace

TEST_F(AfterRunFixture, EveryAcceptedRunIsRecordedOnceWhateverItsOutcome) {
  struct Case {
    const char* name;
    std::function<void(shell::TRunControl&)> build;
    shell::TRunOutcome outcome;
    int exitStatus;
  };
  const Case cases[] = {
      {"sent", [](shell::TRunControl& r) { r.RecordUpload(true, "Transfert FTP OK : "); }, shell::TRunOutcome::Sent, 0},
      {"not sent", [](shell::TRunControl& r) { r.RecordUpload(false, "Transfert FTP : Erreur lors du transfert. "); },
       shell::TRunOutcome::NotSent, 3},
      {"held back", [](shell::TRunControl& r) { r.RecordHeldBack("Flux retenu : 0 VO"); }, shell::TRunOutcome::HeldBack, 3},
      {"photos incomplete",
       [](shell::TRunControl& r) {
         r.MarkPhotosIncomplete();
         r.RecordUpload(true, "Transfert FTP OK : ");
       },
       shell::TRunOutcome::PhotosIncomplete, 4},
      {"nothing to send", [](shell::TRunControl&) {}, shell::TRunOutcome::NothingToSend, 0},
      {"error", [](shell::TRunControl&) { throw std::runtime_error("TXMLCursor.Load - boom"); }, shell::TRunOutcome::Error, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    records.clear();
    errorsSeenByStep.clear();
    window.Errors.clear();
    build = c.build;
    auto run = Make();
    run->FormCreate({"ParuVendu"});
    ASSERT_EQ(records.size(), 1u);
    const shell::TRunRecord& r = records[0];
    EXPECT_EQ(r.Option, "PARUVENDU");
    EXPECT_EQ(r.Outcome, c.outcome);
    EXPECT_EQ(r.ExitStatus, c.exitStatus);
    EXPECT_EQ(run->ExitStatus(), c.exitStatus);
    EXPECT_GE(r.DurationSeconds, 0);
    EXPECT_EQ(r.ErrorMessage, c.outcome == shell::TRunOutcome::Error ? "TXMLCursor.Load - boom" : "");
    // The step runs before the error box, which waits for a click.
    EXPECT_EQ(errorsSeenByStep[0], 0u);
  }
}

TEST_F(AfterRunFixture, UnknownOptionsAndEarlyErrorsRecordNothing) {
  auto run = Make();
  run->FormCreate({"Foo"});
  run->Button1Click("");
  EXPECT_TRUE(records.empty());
  // No settings file and no bare log: the error comes before the option is accepted.
  std::filesystem::remove(exeDir / "Annoncia.ini");
  run->Button1Click("ParuVendu");
  EXPECT_EQ(run->Outcome(), shell::TRunOutcome::Error);
  EXPECT_TRUE(records.empty());
}

TEST_F(AfterRunFixture, RecordHoldsCountersFilesAndTheLastMemoLines) {
  build = [](shell::TRunControl& r) {
    r.Counters.VehicleCount = 12;
    r.Counters.PhotosMissingCount = 2;
    r.Files.FeedFile = "feed.xml";
    r.Files.FeedSize = 345;
    for (int k = 1; k <= 60; ++k) shell::LogLine(r, "ligne " + std::to_string(k));
    r.IdFTP2Status("Connected.");
    // A whole document logged as one line: only its last lines are kept, each bounded.
    shell::LogLine(r, "Result : <doc>\r\n" + std::string(100000, 'x') + "\r\n</doc>");
    r.RecordUpload(true, "Transfert FTP OK : ");
  };
  auto run = Make();
  run->FormCreate({"ParuVendu"});
  ASSERT_EQ(records.size(), 1u);
  const shell::TRunRecord& r = records[0];
  EXPECT_EQ(r.Counters.VehicleCount, 12);
  EXPECT_EQ(r.Counters.PhotosMissingCount, 2);
  EXPECT_EQ(r.Files.FeedFile, "feed.xml");
  EXPECT_EQ(r.Files.FeedSize, 345);
  EXPECT_EQ(r.Files.ArchiveSize, -1);
  ASSERT_EQ(r.LastLines.size(), shell::kRecordedLines);
  EXPECT_EQ(r.LastLine, "</doc>");
  EXPECT_EQ(r.LastLines[r.LastLines.size() - 2].size(), shell::kRecordedLineLength + 3);
  EXPECT_EQ(r.LastLines[r.LastLines.size() - 4], "Connected.");
  EXPECT_NE(r.LastLines[r.LastLines.size() - 5].find(" - ligne 60"), std::string::npos);
}

TEST_F(AfterRunFixture, AFailingStepIsLoggedAndChangesNothingElse) {
  failingStep = true;
  build = [](shell::TRunControl& r) { r.RecordUpload(true, "Transfert FTP OK : "); };
  auto run = Make();
  run->FormCreate({"ParuVendu"});
  EXPECT_EQ(run->ExitStatus(), 0);
  EXPECT_EQ(records.size(), 1u);  // the later steps still run
  EXPECT_TRUE(window.Errors.empty());
  EXPECT_NE(testsupport::ReadFile(windir / "TEMP/ZuroviRazeviPARUVENDU.log").find("Historique non écrit : disque plein"),
            std::string::npos);
  EXPECT_NE(window.Memo.back().find("Historique non écrit : disque plein"), std::string::npos);
}
