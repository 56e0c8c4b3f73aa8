#include <gtest/gtest.h>

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
