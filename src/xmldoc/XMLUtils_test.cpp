#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/TestSupport.h"
#include "xmldoc/XMLUtils.h"

using testsupport::TTempDir;

TEST(WriteAnsiStringToFile, CreatesTwoFolderLevelsAndWrites1252) {
  TTempDir dir;
  const std::string file = dir.Path() + "\\one\\two\\f.csv";
  xmldoc::WriteAnsiStringToFile("Voiture d’occasion;é\r\n", file);
  EXPECT_EQ(testsupport::ReadFile(dir / "one/two/f.csv"), "Voiture d\x92occasion;\xE9\r\n");
}

TEST(WriteAnsiStringToFile, TruncatesALongerFile) {
  TTempDir dir;
  testsupport::WriteFile(dir / "f.txt", "a much longer old content");
  xmldoc::WriteAnsiStringToFile("new", dir / "f.txt");
  EXPECT_EQ(testsupport::ReadFile(dir / "f.txt"), "new");
  xmldoc::WriteAnsiStringToFile("", dir / "f.txt");
  EXPECT_EQ(testsupport::ReadFile(dir / "f.txt"), "");
}

TEST(WriteAnsiStringToFile, FolderThatCannotBeCreatedIsQuiet) {
  TTempDir dir;
  testsupport::WriteFile(dir / "file", "x");
  xmldoc::WriteAnsiStringToFile("x", dir / "file/sub/f.txt");
  EXPECT_FALSE(testsupport::PathExists(dir / "file/sub"));
}

TEST(FileSizeOf, MissingEmptyFolderAndWildcard) {
  TTempDir dir;
  testsupport::WriteFile(dir / "empty", "");
  testsupport::WriteFile(dir / "five.zip", "12345");
  testsupport::MakeDirs(dir / "folder");
  EXPECT_EQ(xmldoc::FileSizeOf(dir / "missing"), -1);
  EXPECT_EQ(xmldoc::FileSizeOf(dir / "empty"), 0);
  EXPECT_EQ(xmldoc::FileSizeOf(dir.Path() + "\\FIVE.ZIP"), 5);
  EXPECT_EQ(xmldoc::FileSizeOf(dir.Path() + "\\fi*.zip"), 5);
  EXPECT_GE(xmldoc::FileSizeOf(dir / "folder"), 0);
}

TEST(PurgeFolder, RemovesReadOnlyFilesAndNestedFolders) {
  TTempDir dir;
  const std::string root = dir / "AS24";
  testsupport::WriteFile(root + "/a.jpg", "x");
  testsupport::WriteFile(root + "/.hidden", "x");
  testsupport::WriteFile(root + "/sub/b.jpg", "x");
  testsupport::WriteFile(root + "/sub/deeper/c.csv", "x");
  chmod((root + "/a.jpg").c_str(), 0444);
  chmod((root + "/sub/deeper/c.csv").c_str(), 0444);
  EXPECT_TRUE(xmldoc::PurgeFolder(dir.Path() + "\\as24"));
  EXPECT_FALSE(testsupport::PathExists(root));
  EXPECT_TRUE(xmldoc::PurgeFolder(dir / "never-there"));
}

TEST(WindowsFolder, IsWindirInAnyCase) {
  unsetenv("WINDIR");
  setenv("windir", "/w", 1);
  EXPECT_EQ(xmldoc::WindowsFolder(), "/w");
  unsetenv("windir");
  EXPECT_EQ(xmldoc::WindowsFolder(), "");
}
