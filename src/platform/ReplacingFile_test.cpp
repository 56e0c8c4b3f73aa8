#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Errors.h"
#include "platform/ReplacingFile.h"
#include "support/TestSupport.h"

using testsupport::TTempDir;

namespace {

std::string Names(const TTempDir& dir) {
  std::string out;
  for (const auto& name : testsupport::ListFolder(dir.Path())) out += name + ",";
  return out;
}

// The process id of a process that has ended.
pid_t EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return child;
}

}  // namespace

TEST(ReplacingFile, TheFinalNameHoldsTheOldFileUntilCommit) {
  TTempDir dir;
  const std::string feed = dir / "feed.xml";
  testsupport::WriteFile(feed, "old complete feed");
  {
    platform::TReplacingFile file(feed);
    file.Write("new ");
    EXPECT_EQ(testsupport::ReadFile(feed), "old complete feed");
    file.Write("feed");
    file.Commit();
  }
  EXPECT_EQ(testsupport::ReadFile(feed), "new feed");
  EXPECT_EQ(Names(dir), "feed.xml,");

  {  // an error between the writes: never committed, nothing left behind
    platform::TReplacingFile file(feed);
    file.Write("half");
  }
  EXPECT_EQ(testsupport::ReadFile(feed), "new feed");
  EXPECT_EQ(Names(dir), "feed.xml,");
}

TEST(ReplacingFile, ALinkUnderTheFinalNameIsReplacedNotWrittenThrough) {
  TTempDir dir;
  testsupport::WriteFile(dir / "victim", "dealer data");
  std::filesystem::create_symlink(dir / "victim", dir / "feed.xml");
  platform::WriteFileReplacing(dir / "feed.xml", "feed");
  EXPECT_EQ(testsupport::ReadFile(dir / "victim"), "dealer data");
  EXPECT_EQ(testsupport::ReadFile(dir / "feed.xml"), "feed");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "feed.xml"));
}

TEST(ReplacingFile, ErrorsNameTheFinalFile) {
  TTempDir dir;
  testsupport::MakeDirs(dir / "folder");
  for (const std::string& path : {dir / "missing/feed.xml", dir / "folder"}) {
    try {
      platform::WriteFileReplacing(path, "x");
      ADD_FAILURE() << path;
    } catch (const platform::EInOutError& e) {
      EXPECT_EQ(e.Path, path);
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(Names(dir), "folder,");
}

TEST(ReplacingFile, LeftoversOfEndedProcessesAreRemovedOthersStay) {
  TTempDir dir;
  const std::string dead = "feed.xml." + std::to_string(EndedProcess()) + ".annoncia-tmp";
  const std::string live = "other.xml.1.annoncia-tmp";  // pid 1 always runs
  testsupport::WriteFile(dir / dead, "partial");
  testsupport::WriteFile(dir / (dead + ".Ab12Cd"), "partial of a library's own temporary file");
  testsupport::WriteFile(dir / live, "being written");
  testsupport::WriteFile(dir / "feed.xml", "complete");
  testsupport::WriteFile(dir / "target", "kept");
  const std::string deadLink = "link.xml." + std::to_string(EndedProcess()) + ".annoncia-tmp";
  std::filesystem::create_symlink(dir / "target", dir / deadLink);

  EXPECT_EQ(platform::RemoveReplacingLeftovers(dir.Path()), 2);
  EXPECT_EQ(Names(dir), "feed.xml," + deadLink + ",other.xml.1.annoncia-tmp,target,");
  EXPECT_EQ(testsupport::ReadFile(dir / "target"), "kept");
  EXPECT_EQ(platform::RemoveReplacingLeftovers(dir / "no such folder"), 0);
}

// The copy holds every byte, across the stretches it is read in; a source
// that cannot be read is the error, and the target keeps what it held; a
// copy onto itself keeps the file whole.
TEST(ReplacingFile, CopyFileReplacingCopiesWholeOrNotAtAll) {
  TTempDir dir;
  std::string bytes(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 31 % 251);
  testsupport::WriteFile(dir / "feed.xml", bytes);
  testsupport::WriteFile(dir / "copy.xml", "yesterday");
  platform::CopyFileReplacing(dir / "feed.xml", dir / "copy.xml");
  EXPECT_EQ(testsupport::ReadFile(dir / "copy.xml"), bytes);

  try {
    platform::CopyFileReplacing(dir / "missing.xml", dir / "copy.xml");
    ADD_FAILURE() << "no error";
  } catch (const platform::EInOutError& error) {
    EXPECT_NE(std::string(error.what()).find("missing.xml"), std::string::npos) << error.what();
  }
  EXPECT_EQ(testsupport::ReadFile(dir / "copy.xml"), bytes);

  platform::CopyFileReplacing(dir / "feed.xml", dir / "feed.xml");
  EXPECT_EQ(testsupport::ReadFile(dir / "feed.xml"), bytes);
  EXPECT_EQ(testsupport::ListFolder(dir.Path()), (std::vector<std::string>{"copy.xml", "feed.xml"}));
}
