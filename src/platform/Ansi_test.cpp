#include <gtest/gtest.h>

#include "platform/Ansi.h"

using namespace platform;

TEST(Ansi, ConvertsBetweenUtf8AndWindows1252) {
  struct Case { std::string utf8; std::string ansi; } cases[] = {
      {"abc", "abc"},
      {"é", "\xE9"},
      {"€", "\x80"},
      {"Œuvre", "\x8Cuvre"},
      {"d’occasion", "d\x92occasion"},
      {"Ÿ", "\x9F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
    EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8) << c.utf8;
  }
  // What 1252 cannot hold becomes "?", one per character; broken UTF-8 too.
  EXPECT_EQ(Utf8ToAnsi("ł€ 中"), "?\x80 ?");
  EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a?");
}

TEST(Ansi, UpperCasesOnlyAtoZ) {
  EXPECT_EQ(UpperCaseAZ("paruvendu"), "PARUVENDU");
  EXPECT_EQ(UpperCaseAZ("élan-9z"), "éLAN-9Z");
}

TEST(Ansi, FindsAndReplacesIgnoringCaseWithLatinFolding) {
  struct Case { const char* text; const char* pattern; const char* replacement; const char* exact; const char* anyCase; } cases[] = {
      {"Peugeot 207 PEUGEOT", "Peugeot", "", " 207 PEUGEOT", " 207 "},
      {"Clim ÉLECTRIQUE électrique", "électrique", "E", "Clim ÉLECTRIQUE E", "Clim E E"},
      {"électrique", "Electrique", "x", "électrique", "électrique"},  // an accent is not a case
      {"aaa", "aa", "b", "ba", "ba"},                                   // one pass, left to right
      {"abc", "", "x", "abc", "abc"},
      {"ŒUF œuf", "œuf", "egg", "ŒUF egg", "egg egg"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.pattern, c.replacement), c.exact) << c.text;
    EXPECT_EQ(ReplaceAllText(c.text, c.pattern, c.replacement), c.anyCase) << c.text;
  }
  EXPECT_EQ(FindText("xx Garantie", "GARANTIE"), 3u);
  EXPECT_EQ(FindText("abc", "d"), std::string::npos);
  EXPECT_TRUE(SameText("Société", "SOCIÉTÉ"));
  EXPECT_FALSE(SameText("Societe", "Société"));
}

TEST(Ansi, FoldsLatinLettersKeepingByteOffsets) {
  struct Case { const char* text; const char* folded; } cases[] = {
      {"<nomphoto1>é</NomPhoto1>", "<NOMPHOTO1>É</NOMPHOTO1>"},
      {"ÿ ž ı ſ ß", "Ÿ Ž ı ſ ß"},          // no partner of the same length: kept
      {"a\xC3(b \xE2\x82", "A\xC3(B \xE2\x82"},  // broken UTF-8 kept byte for byte
  };
  for (const auto& c : cases) EXPECT_EQ(FoldCase(c.text), c.folded) << c.text;
}

TEST(Ansi, CountsAndCutsByCharacters) {
  EXPECT_EQ(CharLength("Coupé Œ€"), 8u);
  EXPECT_EQ(CopyChars("Coupé sport", 0, 5), "Coupé");
  EXPECT_EQ(CopyChars("éèà", 1, 10), "èà");
  EXPECT_EQ(CopyChars("abc", 5, 2), "");
}

TEST(Ansi, TrimsBlanksAndControls) {
  EXPECT_EQ(TrimBlanks(" \t 12 mois \r\n"), "12 mois");
  EXPECT_EQ(TrimLeftBlanks("  a "), "a ");
  EXPECT_EQ(TrimRightBlanks("  a "), "  a");
}
