#include <gtest/gtest.h>

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
