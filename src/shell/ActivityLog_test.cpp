#include <gtest/gtest.h>

#include <regex>

#include "platform/Errors.h"
#include "shell/ActivityLog.h"
#include "shell/UnitAnnoncia.h"
#include "support/RecordingWindow.h"
#include "support/TestSupport.h"

namespace {
struct LogFixture : ::testing::Test {
  testsupport::TTempDir windir;
  testsupport::TRecordingWindow window;
  shell::TRunControl run{window, {}, "/nowhere/annoncia"};
  void SetUp() override {
    setenv("WINDIR", windir.Path().c_str(), 1);
    testsupport::MakeDirs(windir / "TEMP");
  }
  std::string LogText(const std::string& option) { return testsupport::ReadFile(windir / ("TEMP/ZuroviRazevi" + option + ".log")); }
};
const std::regex kStamp(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - )");
}  // namespace

TEST_F(LogFixture, RestartThenAppend) {
  run.BeginRun({.Option = "PARUVENDU"});
  testsupport::WriteFile(windir / "TEMP/ZuroviRazeviPARUVENDU.log", "old run\r\n");
  shell::LogLine(run, "");
  shell::LogLine(run, "Nb Images : 3");
  const std::string text = LogText("PARUVENDU");
  ASSERT_TRUE(std::regex_match(text.substr(0, 22), kStamp)) << text;
  EXPECT_EQ(text.substr(22), "Nb Images : 3\r\n");
  ASSERT_EQ(window.Memo.size(), 2u);
  EXPECT_EQ(window.Memo[0], "-> ");
  EXPECT_EQ(window.Memo[1], "-> " + text.substr(0, text.size() - 2));
}

TEST_F(LogFixture, TwoRestartsLeaveAnEmptyFile) {
  run.BeginRun({.Option = "SITAUTOPRO"});
  shell::LogLine(run, "");
  shell::LogLine(run, "x");
  shell::LogLine(run, "");
  shell::LogLine(run, "");
  EXPECT_EQ(LogText("SITAUTOPRO"), "");
  EXPECT_EQ(window.Memo.back(), "-> ");
  EXPECT_EQ(window.Memo[window.Memo.size() - 2], "-> ");
}

TEST_F(LogFixture, MultiLineMessageIsWrittenAsItIs) {
  run.BeginRun({.Option = "TOPANNONCES"});
  shell::LogLine(run, "");
  shell::LogLine(run, "<a>\r\n<b/>\r\n</a>");
  const std::string text = LogText("TOPANNONCES");
  EXPECT_EQ(text.substr(22), "<a>\r\n<b/>\r\n</a>\r\n");
}

TEST_F(LogFixture, LeadAndTextWriteTheLineOfTheirJoin) {
  run.BeginRun({.Option = "PARUVENDU"});
  shell::LogLine(run, "");
  shell::LogLine(run, "Result : ", "<a>\r\n</a>");
  const std::string joined = LogText("PARUVENDU");
  shell::LogLine(run, "");
  shell::LogLine(run, "Result : <a>\r\n</a>");
  const std::string single = LogText("PARUVENDU");
  EXPECT_EQ(joined.substr(22), "Result : <a>\r\n</a>\r\n");
  EXPECT_EQ(joined.substr(22), single.substr(22));
  ASSERT_EQ(window.Memo.size(), 4u);
  EXPECT_EQ(window.Memo[1].substr(25), window.Memo[3].substr(25));
  EXPECT_EQ(window.Memo[1], "-> " + joined.substr(0, joined.size() - 2));
}

TEST_F(LogFixture, WithoutOptionTheLineGoesToTheBareLog) {
  testsupport::WriteFile(windir / "TEMP/ZuroviRazevi.log", "");
  shell::LogLine(run, "Fichier INI non trouvé : x");
  EXPECT_NE(LogText("").find("Fichier INI non trouvé : x\r\n"), std::string::npos);
}

TEST_F(LogFixture, AppendingToAMissingFileRaisesCodeTwoAndEchoesNothing) {
  run.BeginRun({.Option = "INFOPRESS"});
  try {
    shell::LogLine(run, "x");
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
  }
  EXPECT_TRUE(window.Memo.empty());
}
