#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

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

namespace {

struct stat LinkStat(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

bool SameFile(const std::string& a, const std::string& b) {
  const struct stat sa = LinkStat(a), sb = LinkStat(b);
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// A folder on another file system than the temporary folder's (the shared
// memory one), where a hard link to the temporary folder cannot be made.
class TOtherFileSystemDir {
public:
  TOtherFileSystemDir() {
    std::string templ = "/dev/shm/annoncia-test-XXXXXX";
    if (mkdtemp(templ.data())) path_ = templ;
  }
  ~TOtherFileSystemDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  // Empty when there is no such folder.
  const std::string& Path() const { return path_; }

private:
  std::string path_;
};

}  // namespace

// Whatever a staged name already holds is replaced by name, never written
// through: the dealer's other photo it was a name or a link of stays as it
// was, and the name then holds the source, linked where it can be, else
// copied (a source on another file system).
TEST(Files, LinkOrCopyFileReplacesAnExistingNameAndNeverWritesThroughIt) {
  TTempDir dir;
  TOtherFileSystemDir other;
  const struct {
    const char* what;
    std::function<void(const std::string& to, const std::string& otherPhoto)> plant;
  } planted[] = {
      {"nothing", [](const std::string&, const std::string&) {}},
      {"a hard link of another photo",
       [](const std::string& to, const std::string& photo) { ASSERT_EQ(link(photo.c_str(), to.c_str()), 0); }},
      {"a link to another photo",
       [](const std::string& to, const std::string& photo) { std::filesystem::create_symlink(photo, to); }},
      {"a dangling link",
       [&](const std::string& to, const std::string&) { std::filesystem::create_symlink(dir / "nowhere", to); }},
      {"an older, longer file", [](const std::string& to, const std::string&) { testsupport::WriteFile(to, "an older much longer photo"); }},
  };
  for (const bool linked : {true, false}) {
    if (!linked && (other.Path().empty() || LinkStat(other.Path()).st_dev == LinkStat(dir.Path()).st_dev)) {
      ADD_FAILURE() << "no other file system at /dev/shm: the copy is not tried";
      continue;
    }
    const std::string sourceFolder = linked ? dir.Path() : other.Path();
    for (const auto& [what, plant] : planted) {
      SCOPED_TRACE(std::string(linked ? "linked, " : "copied, ") + what);
      const std::string source = sourceFolder + "/photo.jpg";
      const std::string otherPhoto = dir / "other.jpg";
      const std::string to = dir / "staging/7_1.jpg";
      testsupport::WriteFile(source, "\xFF\xD8photo\xFF\xD9");
      testsupport::WriteFile(otherPhoto, "\xFF\xD8other\xFF\xD9");
      testsupport::MakeDirs(dir / "staging");
      plant(to, otherPhoto);

      ASSERT_TRUE(platform::LinkOrCopyFile(source, to)) << std::strerror(errno);
      EXPECT_EQ(testsupport::ReadFile(to), "\xFF\xD8photo\xFF\xD9");
      EXPECT_EQ(testsupport::ReadFile(source), "\xFF\xD8photo\xFF\xD9");
      EXPECT_EQ(testsupport::ReadFile(otherPhoto), "\xFF\xD8other\xFF\xD9");
      EXPECT_FALSE(testsupport::PathExists(dir / "nowhere"));
      EXPECT_TRUE(S_ISREG(LinkStat(to).st_mode));
      EXPECT_EQ(SameFile(to, source), linked);
      EXPECT_EQ(testsupport::ListFolder(dir / "staging"), std::vector<std::string>{"7_1.jpg"});
      std::filesystem::remove_all(dir / "staging");
      std::filesystem::remove(otherPhoto);
      std::filesystem::remove(source);
    }
  }
}

// A name that already is the source (its own name in another case, or a
// hard link of it) is kept as it is: removing it first would delete the
// photo. What is no regular file is neither linked nor read, and a failure
// leaves nothing at the staged name.
TEST(Files, LinkOrCopyFileKeepsTheSourceAndStagesOnlyRegularFiles) {
  TTempDir dir;
  const std::string photo = dir / "photo.jpg";
  testsupport::WriteFile(photo, "photo");
  ASSERT_EQ(link(photo.c_str(), (dir / "hard.jpg").c_str()), 0);
  for (const std::string& to : {photo, dir / "PHOTO.JPG", dir / "hard.jpg"}) {
    EXPECT_TRUE(platform::LinkOrCopyFile(photo, to)) << to;
    EXPECT_EQ(testsupport::ReadFile(photo), "photo") << to;
    EXPECT_EQ(LinkStat(photo).st_nlink, 2u) << to;
  }

  testsupport::MakeDirs(dir / "folder");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::pair<std::string, int> refused[] = {
      {dir / "folder", EISDIR}, {dir / "fifo", EINVAL}, {dir / "missing.jpg", ENOENT}};
  for (const auto& [from, error] : refused) {
    errno = 0;
    EXPECT_FALSE(platform::LinkOrCopyFile(from, dir / "staged.jpg")) << from;
    EXPECT_EQ(errno, error) << from;
    EXPECT_FALSE(testsupport::PathExists(dir / "staged.jpg")) << from;
  }
  // A folder at the staged name stays, and so does what it holds.
  testsupport::WriteFile(dir / "taken/kept", "kept");
  errno = 0;
  EXPECT_FALSE(platform::LinkOrCopyFile(photo, dir / "taken"));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(testsupport::ReadFile(dir / "taken/kept"), "kept");
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
