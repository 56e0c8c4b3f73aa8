#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "shell/UnitAnnoncia.h"
#include "support/RecordingWindow.h"
#include "support/TestSupport.h"

using shell::TConnectionField;

namespace {
struct RunFixture : ::testing::Test {
  testsupport::TTempDir windir;
  testsupport::TTempDir exeDir;
  testsupport::TRecordingWindow window;
  std::vector<std::string> calls;  // builders called, with the option they saw
  // What the ParuVendu builder does besides recording its call.
  std::function<void(shell::TRunControl&)> paruVendu = [](shell::TRunControl&) {};
  shell::TPortalTable Table() {
    shell::TPortalTable t;
    t.Register({"PARUVENDU", "ParuVendu", "pv@ftp.example", "Pv20Ann0nc", [this](shell::TRunControl& r) {
                  calls.push_back("ParuVendu:" + r.CurrentOption());
                  paruVendu(r);
                }});
    t.Register({"LEBONCOIN", "LeBonCoin", "", "", [this](shell::TRunControl&) { calls.push_back("LeBonCoin"); }});
    t.Register({"INFOPRESS", "InfoPress", "", "", [this](shell::TRunControl&) { calls.push_back("InfoPress"); }});
    return t;
  }
  std::unique_ptr<shell::TRunControl> run;
  void SetUp() override {
    setenv("WINDIR", windir.Path().c_str(), 1);
    testsupport::MakeDirs(windir / "TEMP");
    testsupport::WriteSettingsFile(exeDir / "Annoncia.ini", "[Options]\nPathImages=/photos\n");
    run = std::make_unique<shell::TRunControl>(window, Table(), exeDir / "annoncia");
  }
};
}  // namespace

TEST_F(RunFixture, AcceptedOptionRestartsTheLogAndCallsItsBuilder) {
  run->FormCreate({"paruvendu"});
  EXPECT_EQ(calls, std::vector<std::string>{"ParuVendu:PARUVENDU"});
  EXPECT_EQ(window.Caption, "Export des données pour PARUVENDU");
  EXPECT_EQ(window.BoxServerCaption, "Connexion FTP pour PARUVENDU : ");
  EXPECT_FALSE(window.StartControlsVisible);
  EXPECT_TRUE(testsupport::PathExists(windir / "TEMP/ZuroviRazeviPARUVENDU.log"));
  EXPECT_EQ(run->PathImages(), "/photos");
  EXPECT_EQ(run->URLImages(), shell::defaults::URLImages);
  EXPECT_TRUE(run->RunFinished());
  EXPECT_EQ(run->Outcome(), shell::TRunOutcome::NothingToSend);
  EXPECT_EQ(run->ExitStatus(), shell::esSent);
}

TEST_F(RunFixture, OptionsOfTheSharedBuilderReachTheirOwnEntries) {
  run->FormCreate({"infopress"});
  run->Button1Click("LeBonCoin");
  EXPECT_EQ(calls, (std::vector<std::string>{"InfoPress", "LeBonCoin"}));
}

TEST_F(RunFixture, UnknownOptionShowsItAndRunsNothing) {
  run->FormCreate({"Foo"});
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(window.Caption, "Export des données pour FOO");
  EXPECT_EQ(window.BoxServerCaption, "Connexion FTP pour FOO : ");
  EXPECT_TRUE(window.StartControlsVisible);
  EXPECT_TRUE(window.Memo.empty());  // no log restart
  EXPECT_EQ(run->ExitStatus(), shell::esNoRun);
  for (int k = 0; k < 40; ++k) run->Timer1Timer();
  EXPECT_EQ(window.CloseRequests, 0);
}

TEST_F(RunFixture, NoneOrSeveralArgumentsShowTheUsage) {
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"ParuVendu", "x"}}) {
    window.Memo.clear();
    run->FormCreate(args);
    EXPECT_EQ(window.Memo, std::vector<std::string>{"Syntax : Annoncia \"option\""});
  }
  EXPECT_TRUE(calls.empty());
  run->Button1Click("");
  EXPECT_TRUE(calls.empty());
}

TEST(PortalTable, RefusesPortalsThatCouldNotRun) {
  shell::TPortalTable t;
  const shell::TFeedBuilder build = [](shell::TRunControl&) {};
  t.Register({"PARUVENDU", "ParuVendu", "", "", build});
  EXPECT_THROW(t.Register({"SITAUTOPRO", "SitAutoPro", "", "", nullptr}), std::invalid_argument);
  EXPECT_THROW(t.Register({"PARUVENDU", "Autre", "", "", build}), std::invalid_argument);
  EXPECT_THROW(t.Register({"TopAnnonces", "TopAnnonces", "", "", build}), std::invalid_argument);
  EXPECT_THROW(t.Register({"", "", "", "", build}), std::invalid_argument);
  ASSERT_EQ(t.All().size(), 1u);
  EXPECT_EQ(t.Find("SITAUTOPRO"), nullptr);
}

TEST_F(RunFixture, ErrorOfTheBuilderEndsTheRunUnfinished) {
  paruVendu = [](shell::TRunControl&) { throw std::runtime_error("TXMLCursor.Load - export manquant"); };
  run->FormCreate({"ParuVendu"});
  EXPECT_EQ(window.Errors, std::vector<std::string>{"TXMLCursor.Load - export manquant"});
  EXPECT_EQ(window.Memo, std::vector<std::string>{"-> "});  // the log restart came first
  EXPECT_FALSE(run->RunFinished());
  EXPECT_EQ(run->Outcome(), shell::TRunOutcome::Error);
  EXPECT_EQ(run->OutcomeText(), "TXMLCursor.Load - export manquant");
  EXPECT_EQ(run->ExitStatus(), shell::esError);
}

TEST_F(RunFixture, CountersAreResetBeforeTheBuilder) {
  run->Counters.VehicleCount = 7;
  paruVendu = [](shell::TRunControl& r) { EXPECT_EQ(r.Counters.VehicleCount, 0); ++r.Counters.VehicleCount; };
  run->FormCreate({"ParuVendu"});
  EXPECT_EQ(run->Counters.VehicleCount, 1);
}

TEST_F(RunFixture, MissingIniIsLoggedToTheBareLogWhenItExists) {
  std::remove((exeDir / "Annoncia.ini").c_str());
  testsupport::WriteFile(windir / "TEMP/ZuroviRazevi.log", "");
  run->FormCreate({"ParuVendu"});
  EXPECT_NE(testsupport::ReadFile(windir / "TEMP/ZuroviRazevi.log").find("Fichier INI non trouvé : " + exeDir.Path() + "/Annoncia.ini"),
            std::string::npos);
  EXPECT_EQ(run->PathImages(), "c:\\projects\\parcauto\\images");
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(RunFixture, MissingIniWithoutBareLogEndsTheRun) {
  std::remove((exeDir / "Annoncia.ini").c_str());
  run->FormCreate({"ParuVendu"});
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(window.Errors.size(), 1u);
  EXPECT_FALSE(run->RunFinished());
  EXPECT_EQ(run->ExitStatus(), shell::esError);
}

TEST_F(RunFixture, ClosesOnTheThirtiethTickAfterTheRunFinished) {
  for (int k = 0; k < 5; ++k) run->Timer1Timer();  // ticks during the run do nothing
  run->FormCreate({"ParuVendu"});
  for (int k = 0; k < 29; ++k) run->Timer1Timer();
  EXPECT_EQ(window.CloseRequests, 0);
  run->Timer1Timer();
  EXPECT_EQ(window.CloseRequests, 1);
  run->Timer1Timer();
  EXPECT_EQ(window.CloseRequests, 2);  // posted again until the window is gone
  EXPECT_EQ(window.ProcessMessagesCalls, 36);
}

TEST_F(RunFixture, PercentageIsRoundedHalfToEvenAndShownOnChangeOnly) {
  run->IdFTP2Work(50);  // TotalBytes 0: nothing shown
  EXPECT_EQ(window.Label2Text, "Label2");
  run->IdFTP2WorkBegin(200);
  run->IdFTP2Work(0);  // 0 % equals the initial LastPercent
  EXPECT_EQ(window.Label2Text, "Label2");
  struct Case { std::int64_t done; const char* label; } cases[] = {
      {1, "Transfert en cours : 0%"},    // 0.5 -> 0 (even): unchanged, not shown
      {3, "Transfert en cours : 2%"},    // 1.5 -> 2
      {5, "Transfert en cours : 2%"},    // 2.5 -> 2: same as shown
      {7, "Transfert en cours : 4%"},    // 3.5 -> 4
      {200, "Transfert en cours : 100%"},
  };
  window.Label2Text = "Transfert en cours : 0%";
  for (const auto& c : cases) {
    run->IdFTP2Work(c.done);
    EXPECT_EQ(window.Label2Text, c.label) << c.done;
  }
  EXPECT_EQ(window.ProcessMessagesCalls, 3);
}

TEST_F(RunFixture, ExitStatusFollowsTheUploadOutcome) {
  enum Step { upload, uploadAfterPhotoFailure, heldBack };
  struct Case { Step step; bool sent; shell::TRunOutcome outcome; int status; const char* word; } cases[] = {
      {upload, false, shell::TRunOutcome::NotSent, shell::esNotSent, "not_sent"},
      {upload, true, shell::TRunOutcome::Sent, shell::esSent, "sent"},
      {uploadAfterPhotoFailure, true, shell::TRunOutcome::PhotosIncomplete, shell::esPhotosIncomplete,
       "photos_incomplete"},
      {uploadAfterPhotoFailure, false, shell::TRunOutcome::NotSent, shell::esNotSent, "not_sent"},
      {heldBack, false, shell::TRunOutcome::HeldBack, shell::esNotSent, "held_back"},
  };
  for (const Case& c : cases) {
    paruVendu = [&](shell::TRunControl& r) {
      if (c.step == uploadAfterPhotoFailure) r.MarkPhotosIncomplete();
      if (c.step == heldBack) r.RecordHeldBack("outcome text ");
      else r.RecordUpload(c.sent, "outcome text ");
    };
    run->FormCreate({"ParuVendu"});
    EXPECT_EQ(run->Outcome(), c.outcome);
    EXPECT_EQ(run->OutcomeText(), "outcome text ");
    EXPECT_EQ(run->ExitStatus(), c.status);
    EXPECT_STREQ(shell::OutcomeWord(run->Outcome()), c.word);
  }
}

TEST_F(RunFixture, ConnectionFieldsComeFromBothSections) {
  testsupport::WriteSettingsFile(exeDir / "Annoncia.ini",
                         "[Clicheo]\nServeurFTP=127.0.0.1:2121\nPathFTP=\n[paruvendu]\nUser=u@h\nTestFTPClicheo=\n");
  run->BeginRun({.Option = "PARUVENDU", .SettingsFile = exeDir / "Annoncia.ini"});
  run->LoadConnectionFields();
  auto f = [&](TConnectionField x) { return window.Fields[static_cast<std::size_t>(x)]; };
  EXPECT_EQ(f(TConnectionField::paramServeurClicheo), "127.0.0.1:2121");
  EXPECT_EQ(f(TConnectionField::paramRepertClicheo), "");
  EXPECT_EQ(f(TConnectionField::paramUserClicheo), shell::defaults::ClicheoUser);
  EXPECT_EQ(f(TConnectionField::paramUser), "u@h");
  EXPECT_EQ(f(TConnectionField::paramPassword), "Pv20Ann0nc");  // the portal's default
  EXPECT_EQ(f(TConnectionField::paramServeur), "127.0.0.1");
  EXPECT_EQ(f(TConnectionField::paramRepert), "");
}

TEST(ShowVersionInfo, FileWithoutVersionBlockAddsNothing) {
  testsupport::TTempDir dir;
  testsupport::WriteFile(dir / "plain", "not an executable");
  std::vector<std::string> lines;
  shell::ShowVersionInfo(dir / "plain", [&](const std::string& l) { lines.push_back(l); });
  shell::ShowVersionInfo(platform::ExecutablePath(), [&](const std::string& l) { lines.push_back(l); });
  EXPECT_TRUE(lines.empty());  // this test program carries no block
}
