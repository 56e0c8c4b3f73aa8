#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/Files.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"

using testsupport::TTempDir;

TEST(NativePath, MapsSeparatorsAndDrive) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"c:\\no\\such\\Folder\\", "/no/such/Folder/"},
      {"C:\\", "/"},
      {"\\TEMP\\x.log", "/TEMP/x.log"},
      {"relative\\Name.txt", "relative/Name.txt"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::NativePath(c.in), c.out) << c.in;
}

TEST(NativePath, ResolvesEachExistingComponentIgnoringCase) {
  TTempDir dir;
  testsupport::MakeDirs(dir / "TEMP/Annoncia");
  testsupport::WriteFile(dir / "TEMP/Annoncia/ExpDatasPARUVENDU.xml", "x");
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\Temp\\annoncia\\expdatasparuvendu.XML"),
            dir / "TEMP/Annoncia/ExpDatasPARUVENDU.xml");
  // A missing component keeps its spelling, and so does everything after it.
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\temp\\New\\Sub\\f.txt"), dir / "TEMP/New/Sub/f.txt");
  // Accented names fold as Windows folds them.
  testsupport::MakeDirs(dir / "Télé");
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\TÉLÉ"), dir / "Télé");
}

// A folder reached through another spelling is remembered for the files
// looked up in it, and forgotten as soon as the spelling given exists or the
// folder found is gone.
TEST(NativePath, FollowsAFolderSpelledInAnotherCaseAsItChanges) {
  namespace fs = std::filesystem;
  TTempDir dir;
  testsupport::WriteFile(dir / "TEMP/AS24/1_1.jpg", "x");
  const std::string given = dir.Path() + "\\Temp\\AS24\\";
  struct Step { std::function<void()> change; const char* name; std::string native; };
  const Step steps[] = {
      {[] {}, "1_1.JPG", dir / "TEMP/AS24/1_1.jpg"},
      {[] {}, "1_2.jpg", dir / "TEMP/AS24/1_2.jpg"},
      {[&] { fs::rename(dir / "TEMP/AS24", dir / "TEMP/as24"); }, "1_1.jpg", dir / "TEMP/as24/1_1.jpg"},
      {[&] { fs::create_directories(dir / "Temp/AS24"); }, "1_1.jpg", dir / "Temp/AS24/1_1.jpg"},
      {[&] { fs::remove_all(dir / "Temp"); }, "1_1.jpg", dir / "TEMP/as24/1_1.jpg"},
      {[&] { fs::remove_all(dir / "TEMP/as24"); }, "1_1.jpg", dir / "TEMP/AS24/1_1.jpg"},
  };
  for (const Step& step : steps) {
    step.change();
    EXPECT_EQ(platform::NativePath(given + step.name), step.native) << step.name;
  }
}

// The listing a case-insensitive match reads is kept while the folder's stamp
// stays; the program's own creates keep it current, anyone else's change is
// seen by the folder's new time.
TEST(NativePath, KeepsEachFolderListingUntilSomeoneElseChangesTheFolder) {
  namespace fs = std::filesystem;
  TTempDir dir;
  const std::string stage = dir / "Stage";
  ASSERT_TRUE(platform::CreateDir(dir.Path() + "\\Stage"));
  platform::WriteFileBytes(dir.Path() + "\\stage\\Photo_1.jpg", "x");
  ASSERT_TRUE(platform::CopyFile(stage + "/Photo_1.jpg", dir.Path() + "\\STAGE\\Photo_2.jpg", false));
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\stage\\PHOTO_2.JPG"), stage + "/Photo_2.jpg");

  // A name added behind the program's back, the folder's time put back: the
  // kept listing answers (the folder is not read again).
  const auto stamped = fs::last_write_time(stage);
  testsupport::WriteFile(stage + "/Outside.txt", "y");
  fs::last_write_time(stage, stamped);
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\Stage\\OUTSIDE.TXT"), stage + "/OUTSIDE.TXT");
  fs::last_write_time(stage, stamped + std::chrono::seconds(2));
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\Stage\\OUTSIDE.TXT"), stage + "/Outside.txt");

  // A folder removed and made again by someone else is read again.
  platform::RemoveFolderTree(stage);
  fs::create_directory(stage);
  testsupport::WriteFile(stage + "/Again.txt", "z");
  fs::last_write_time(stage, stamped);
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\stage\\AGAIN.txt"), stage + "/Again.txt");
  ASSERT_TRUE(platform::RenameFile(stage + "/Again.txt", dir.Path() + "\\Stage\\Renamed.txt"));
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\stage\\renamed.TXT"), stage + "/Renamed.txt");
  EXPECT_EQ(platform::NativePath(dir.Path() + "\\stage\\again.TXT"), stage + "/again.TXT");
}

TEST(PathParts, SplitOnEitherSeparator) {
  EXPECT_EQ(platform::ExtractFileDir("c:\\a\\b\\f.xml"), "c:\\a\\b");
  EXPECT_EQ(platform::ExtractFilePath("/a/b/f.xml"), "/a/b/");
  EXPECT_EQ(platform::ExtractFileName("c:\\a/b\\f.xml"), "f.xml");
  EXPECT_EQ(platform::ExtractFileDir("f.xml"), "");
  EXPECT_EQ(platform::ChangeFileExt("/opt/bin/annoncia", ".trace"), "/opt/bin/annoncia.trace");
  EXPECT_EQ(platform::ChangeFileExt("/o.pt/a.b.exe", ".trace"), "/o.pt/a.b.trace");
  EXPECT_EQ(platform::IncludeTrailingBackslash("c:\\x"), "c:\\x\\");
  EXPECT_EQ(platform::IncludeTrailingBackslash("c:\\x\\"), "c:\\x\\");
}

TEST(ExecutablePath, NamesThisTestProgram) {
  EXPECT_EQ(platform::ExtractFileName(platform::ExecutablePath()), "platform_tests");
  EXPECT_EQ(platform::ExecutableFolder().back(), '/');
}
