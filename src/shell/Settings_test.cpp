#include <gtest/gtest.h>

#include "shell/Settings.h"
#include "support/TestSupport.h"

using shell::TSettingsFile;

TEST(Settings, ReadsValuesAsTheIniReaderDoes) {
  testsupport::TTempDir dir;
  const std::string longValue(3000, 'v');
  testsupport::WriteFile(dir / "Annoncia.ini",
                         "garbage line\r\n"
                         "[ParuVendu]\r\n"
                         "User = annonces@ftp.example \r\n"
                         "TestFTPClicheo=0\r\n"
                         "this line is neither\r\n"
                         "[Clicheo]\r\n"
                         "PathFTP=\r\n"
                         "Quoted=\"  a b \"\r\n"
                         "Single='x'\r\n"
                         "Mixed=\"x'\r\n"
                         "Equals=a=b\r\n"
                         "Long=" + longValue + "\r\n"
                         "[SITAUTOPRO]\r\n"
                         "TestFTPClicheo=\r\n"
                         "[TOPANNONCES]\r\n"
                         "TestFTPClicheo=00\r\n");
  const TSettingsFile s(dir / "Annoncia.ini");
  struct Case { const char* section; const char* key; const char* expected; } cases[] = {
      {"PARUVENDU", "user", "annonces@ftp.example"},  // section and key ignore case
      {"PARUVENDU", "TestFTPClicheo", "0"},
      {"Clicheo", "PathFTP", ""},                    // present but empty: not the default
      {"Clicheo", "Quoted", "  a b "},
      {"Clicheo", "Single", "x"},
      {"Clicheo", "Mixed", "\"x'"},
      {"Clicheo", "Equals", "a=b"},
      {"SITAUTOPRO", "TestFTPClicheo", ""},
      {"TOPANNONCES", "TestFTPClicheo", "00"},
      {"AUTOSCOUT24", "TestFTPClicheo", "<default>"},
      {"Clicheo", "Missing", "<default>"},
  };
  for (const auto& c : cases) EXPECT_EQ(s.ReadString(c.section, c.key, "<default>"), c.expected) << c.key;
  EXPECT_EQ(s.ReadString("Clicheo", "Long", ""), longValue.substr(0, 2047));
}

TEST(Settings, LongValuesAreCutAfter2047CharactersNotInsideOne) {
  testsupport::TTempDir dir;
  std::string e;  // 3000 times é
  for (int k = 0; k < 3000; ++k) e += "\xC3\xA9";
  struct Case { const char* name; std::string line; std::string expected; } cases[] = {
      {"utf8.ini", "K=" + std::string(1500, 'a') + e.substr(0, 1200), std::string(1500, 'a') + e.substr(0, 2 * 547)},
      {"utf8-all.ini", "K=" + e, e.substr(0, 2 * 2047)},
      {"ansi.ini", "K=" + std::string(3000, '\xE9'), e.substr(0, 2 * 2047)},
  };
  for (const auto& c : cases) {
    testsupport::WriteFile(dir / c.name, "[S]\r\n" + c.line + "\r\n");
    EXPECT_EQ(TSettingsFile(dir / c.name).ReadString("S", "K", ""), c.expected) << c.name;
  }
}

TEST(Settings, SwitchesAreOnForAnythingButZero) {
  struct Case { const char* value; bool on; } cases[] = {{"0", false}, {"", true}, {"00", true}, {"1", true}, {" 0", true}};
  for (const auto& c : cases) EXPECT_EQ(shell::SwitchIsOn(c.value), c.on) << '"' << c.value << '"';
}

TEST(Settings, MissingFileGivesEveryDefault) {
  const TSettingsFile s("/no/such/folder/Annoncia.ini");
  EXPECT_EQ(s.ReadString("Options", "PathImages", shell::defaults::PathImages), "c:\\projects\\parcauto\\images");
}

TEST(Settings, ReadsAWindowsCodePageFile) {
  testsupport::TTempDir dir;
  testsupport::WriteFile(dir / "a.ini", "[Options]\r\nPathImages=c:\\donn\xE9" "es\r\n");
  EXPECT_EQ(TSettingsFile(dir / "a.ini").ReadString("Options", "PathImages", ""), "c:\\données");
}
