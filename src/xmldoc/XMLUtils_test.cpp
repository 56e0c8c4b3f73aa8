#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
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

TEST(WriteAnsiStringToFile, FolderThatCannotBeCreatedIsAnErrorNamingIt) {
  TTempDir dir;
  testsupport::WriteFile(dir / "file", "x");
  try {
    xmldoc::WriteAnsiStringToFile("x", dir / "file/sub/f.txt");
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(e.Path, dir / "file/sub");
    EXPECT_NE(std::string(e.what()).find(dir / "file/sub"), std::string::npos) << e.what();
  }
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
  chmod((root + "/sub/deeper").c_str(), 0555);
  xmldoc::PurgeFolder(dir.Path() + "\\as24");
  EXPECT_FALSE(testsupport::PathExists(root));
  xmldoc::PurgeFolder(dir / "never-there");
}

// Links inside the folder are removed themselves: what they point to, and
// its mode, stay as they are.
TEST(PurgeFolder, NeverFollowsALink) {
  TTempDir dir;
  const std::string root = dir / "AS24";
  testsupport::WriteFile(dir / "victim/photo.jpg", "photo");
  testsupport::WriteFile(dir / "kept.csv", "csv");
  chmod((dir / "kept.csv").c_str(), 0444);
  testsupport::WriteFile(root + "/a.jpg", "x");
  testsupport::MakeDirs(root + "/sub");
  ASSERT_EQ(symlink((dir / "victim").c_str(), (root + "/folder-link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "victim").c_str(), (root + "/sub/deep-link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "kept.csv").c_str(), (root + "/file-link").c_str()), 0);
  xmldoc::PurgeFolder(root);
  EXPECT_FALSE(testsupport::PathExists(root));
  EXPECT_EQ(testsupport::ReadFile(dir / "victim/photo.jpg"), "photo");
  struct stat st;
  ASSERT_EQ(stat((dir / "kept.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);

  // A staging folder that is itself a link: only the link goes.
  ASSERT_EQ(symlink((dir / "victim").c_str(), root.c_str()), 0);
  xmldoc::PurgeFolder(root);
  EXPECT_FALSE(testsupport::PathExists(root));
  EXPECT_EQ(testsupport::ReadFile(dir / "victim/photo.jpg"), "photo");
}

TEST(PurgeFolder, AFileOfThatNameIsKeptAndReported) {
  TTempDir dir;
  testsupport::WriteFile(dir / "AS24", "not a folder");
  EXPECT_THROW(xmldoc::PurgeFolder(dir / "AS24"), platform::EInOutError);
  EXPECT_EQ(testsupport::ReadFile(dir / "AS24"), "not a folder");
}

TEST(WindowsFolder, IsWindirInAnyCase) {
  unsetenv("WINDIR");
  setenv("windir", "/w", 1);
  EXPECT_EQ(xmldoc::WindowsFolder(), "/w");
  unsetenv("windir");
  EXPECT_EQ(xmldoc::WindowsFolder(), "");
}
