#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/Clock.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

using testsupport::TTempDir;

TEST(Files, FindFilesMatchesMasksIgnoringCase) {
  TTempDir dir;
  for (const char* name : {"123.jpg", "123m.JPG", "readme", "a.b.c"}) testsupport::WriteFile(dir / name, "12345");
  testsupport::MakeDirs(dir / "sub");
  auto names = [&](const std::string& mask) {
    std::string out;
    for (const auto& e : platform::FindFiles(dir.Path() + "\\" + mask)) out += e.Name + ",";
    return out;
  };
  EXPECT_EQ(names("*.*"), "123.jpg,123m.JPG,a.b.c,readme,sub,");
  EXPECT_EQ(names("*.jpg"), "123.jpg,123m.JPG,");
  EXPECT_EQ(names("12?.JPG"), "123.jpg,");
  EXPECT_EQ(names("README"), "readme,");
  EXPECT_EQ(names("nothing*"), "");
  const auto sub = platform::FindFiles(dir.Path() + "\\*.*");
  EXPECT_EQ(sub.back().Attr & platform::faDirectory, platform::faDirectory);
  EXPECT_EQ(sub.front().Size, 5);
}

TEST(Files, ReadOnlyIsTheOwnerWriteBit) {
  TTempDir dir;
  const std::string f = dir / "f.txt";
  testsupport::WriteFile(f, "x");
  EXPECT_EQ(*platform::GetFileAttributes(f), platform::faArchive);
  ASSERT_TRUE(platform::SetFileAttributes(f, platform::faReadOnly));
  EXPECT_EQ(*platform::GetFileAttributes(f), platform::faArchive | platform::faReadOnly);
  ASSERT_TRUE(platform::SetFileAttributes(f, platform::faArchive));
  EXPECT_EQ(*platform::GetFileAttributes(f), platform::faArchive);
  EXPECT_FALSE(platform::GetFileAttributes(dir / "missing"));
}

TEST(Files, ByteIoRaisesTheSystemErrorCodes) {
  TTempDir dir;
  try {
    platform::AppendFileBytes(dir / "missing.log", "x");
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
  }
  try {
    platform::WriteFileBytes(dir / "no/such/folder/f", "x");
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
  }
  platform::WriteFileBytes(dir / "f", "longer text");
  platform::WriteFileBytes(dir / "f", "ab");
  platform::AppendFileBytes(dir / "f", "c");
  EXPECT_EQ(platform::ReadFileBytes(dir / "f"), "abc");
}

TEST(Files, ForceDirectoriesAndTempFiles) {
  TTempDir dir;
  EXPECT_TRUE(platform::ForceDirectories(dir.Path() + "\\a\\b\\c\\"));
  EXPECT_TRUE(platform::DirectoryExists(dir / "a/b/c"));
  EXPECT_TRUE(platform::ForceDirectories(dir / "a/b"));
  testsupport::WriteFile(dir / "file", "");
  EXPECT_FALSE(platform::ForceDirectories(dir / "file/sub"));
  const std::string t = platform::CreateTempFile(dir.Path(), "zzz");
  ASSERT_FALSE(t.empty());
  EXPECT_TRUE(platform::FileExists(t));
  EXPECT_EQ(platform::ExtractFileName(t).rfind("zzz", 0), 0u);
  EXPECT_TRUE(platform::VolumeAccessible("c:\\anything"));
}

// A copy replaces a longer file whole, and a copy onto the source itself
// (its own name in another case, or a hard link to it) fails and leaves it intact.
TEST(Files, CopyFileNeverEmptiesItsSource) {
  TTempDir dir;
  testsupport::WriteFile(dir / "photo.jpg", "photo");
  testsupport::WriteFile(dir / "old.jpg", "a much longer old photo");
  ASSERT_TRUE(platform::CopyFile(dir / "photo.jpg", dir / "old.jpg", false));
  EXPECT_EQ(testsupport::ReadFile(dir / "old.jpg"), "photo");
  ASSERT_EQ(link((dir / "photo.jpg").c_str(), (dir / "hard.jpg").c_str()), 0);
  for (const std::string& to : {dir / "PHOTO.JPG", dir / "hard.jpg"}) {
    errno = 0;
    EXPECT_FALSE(platform::CopyFile(dir / "photo.jpg", to, false)) << to;
    EXPECT_EQ(errno, EINVAL) << to;
    EXPECT_EQ(testsupport::ReadFile(dir / "photo.jpg"), "photo") << to;
  }
}

// The existence checks follow links, as the system's own do.
TEST(Files, ExistsFollowsLinks) {
  TTempDir dir;
  testsupport::WriteFile(dir / "sub/file", "x");
  std::filesystem::create_symlink(dir / "sub", dir / "toFolder");
  std::filesystem::create_symlink(dir / "sub/file", dir / "toFile");
  std::filesystem::create_symlink(dir / "missing", dir / "dangling");
  EXPECT_TRUE(platform::DirectoryExists(dir / "toFolder"));
  EXPECT_FALSE(platform::FileExists(dir / "toFolder"));
  EXPECT_TRUE(platform::FileExists(dir / "TOFILE"));
  EXPECT_FALSE(platform::DirectoryExists(dir / "toFile"));
  EXPECT_FALSE(platform::FileExists(dir / "dangling"));
  EXPECT_FALSE(platform::DirectoryExists(dir / "dangling"));
  EXPECT_TRUE(platform::FileExists(dir.Path() + "\\SUB\\File"));
}

TEST(Environment, NamesIgnoreCase) {
  setenv("ANNONCIA_TEST_WINDIR", "/x/y", 1);
  EXPECT_EQ(platform::GetEnvironmentVariable("annoncia_test_Windir"), "/x/y");
  EXPECT_EQ(platform::GetEnvironmentVariable("ANNONCIA_NOT_SET_ANYWHERE"), "");
}

TEST(Clock, FormatsTheProgramsPatterns) {
  const platform::TDateTime t{2009, 6, 19, 4, 5, 9};
  EXPECT_EQ(platform::FormatDateTime("yyyymmdd", t), "20090619");
  EXPECT_EQ(platform::FormatDateTime("yyyymmddhhnn", t), "200906190405");
  EXPECT_EQ(platform::FormatDateTime("yyyymmddhhnnss", t), "20090619040509");
  EXPECT_EQ(platform::FormatDateTime(platform::kLogDateTimeFormat, t), "19/06/2009 04:05:09");
}

TEST(DynamicLibrary, ReportsAMissingLibrary) {
  std::string error;
  EXPECT_EQ(platform::TDynamicLibrary::Load("libno-such-engine.so", error), nullptr);
  EXPECT_NE(error.find("libno-such-engine.so"), std::string::npos);
  EXPECT_EQ(platform::SharedLibraryFileName("zipengine"), "libzipengine.so");
}
