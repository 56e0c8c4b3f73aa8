// The console program as the scheduler sees it: arguments, output, exit status.
#include <gtest/gtest.h>

#include "shell/UnitAnnoncia.h"
#include "support/Installation.h"

using testsupport::TInstallation;

TEST(Console, UsageForNoneOrSeveralArguments) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH);
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"ParuVendu", "SitAutoPro"}}) {
    const auto r = inst.Run(args);
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_EQ(r.Out, "Syntax : Annoncia \"option\"\n");
    EXPECT_EQ(r.Err, "");
  }
}

TEST(Console, UnknownOptionRunsNothing) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH);
  inst.WriteIni("");
  const auto r = inst.Run({"Foo"});
  EXPECT_EQ(r.ExitStatus, 2);
  EXPECT_EQ(r.Out, "");
  EXPECT_FALSE(testsupport::PathExists(inst.TempDir() + "/ZuroviRazeviFOO.log"));
}

TEST(Console, MissingIniWithoutBareLogFailsWithTheLogError) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH);
  const auto r = inst.Run({"ParuVendu"});
  EXPECT_EQ(r.ExitStatus, 1);
  EXPECT_EQ(r.Err, "File not found : " + inst.Windir() + "\\TEMP\\ZuroviRazevi.log\n");
  EXPECT_FALSE(testsupport::PathExists(inst.TempDir() + "/ZuroviRazeviPARUVENDU.log"));
}

TEST(Console, MissingIniWithBareLogGoesOnWithDefaults) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH);
  testsupport::WriteFile(inst.TempDir() + "/ZuroviRazevi.log", "");
  const auto r = inst.Run({"paruvendu"});
  EXPECT_NE(inst.LogText("").find("Fichier INI non trouvé : " + inst.ExeDir() + "/Annoncia.ini\r\n"), std::string::npos);
  // The lowercase option names the upper-case log, restarted before the builder runs.
  EXPECT_TRUE(testsupport::PathExists(inst.TempDir() + "/ZuroviRazeviPARUVENDU.log"));
  EXPECT_NE(r.Out.find("Fichier INI non trouvé : "), std::string::npos);
  EXPECT_NE(r.Out.find("-> \n"), std::string::npos);
}

TEST(Console, VersionBlockOfTheProgram) {
  std::vector<std::string> lines;
  shell::ShowVersionInfo(ANNONCIA_CONSOLE_PATH, [&](const std::string& l) { lines.push_back(l); });
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "FileDescription : ", "CompanyName : ", "FileVersion : 1.1.0.0", "InternalName : ",
                       "LegalCopyRight : ", "OriginalFileName : ", "ProductName : ", "ProductVersion : 1.0.0.0"}));
}
