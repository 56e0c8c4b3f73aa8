// TZip with the real zip engine. Every archive the engine writes is checked
// with two independent readers: unzip -t and Python's zipfile.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <random>
#include <functional>
#include <stdexcept>
#include <utility>

#include "platform/DynamicLibrary.h"
#include "platform/Paths.h"
#include "support/RecordingWindow.h"
#include "support/TestSupport.h"
#include "xmldoc/Zip.h"

using testsupport::ListFolder;
using testsupport::ReadFile;
using testsupport::TRecordingWindow;
using testsupport::TTempDir;
using testsupport::WriteFile;
using xmldoc::TZip;
using xmldoc::ZipException;

namespace {

const std::string kEmptyArchive = std::string("PK\x05\x06", 4) + std::string(18, '\0');

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

std::string CsvText(std::size_t n) {
  std::string s;
  for (int k = 0; s.size() < n; ++k) {
    s += std::to_string(100000 + k) + ";PEUGEOT;308 1.6 HDi 110 Premium;" + std::to_string(9000 + k * 37 % 15000) +
         ";Diesel;" + std::to_string(20000 + k * 911 % 180000) + " km;Climatisation automatique;Jantes alliage\r\n";
  }
  s.resize(n);
  return s;
}

// Python's view of an archive: "test <first bad entry or None>", then per
// entry name, method, CRC, size and whether its bytes equal the file of the
// same name in folder.
constexpr const char* kPythonReader = R"(
import os, sys, zipfile
archive, folder = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive) as z:
    if len(sys.argv) > 3:
        z.setpassword(sys.argv[3].encode())
    print("test", z.testzip())
    for i in z.infolist():
        with open(os.path.join(folder, i.filename), "rb") as f:
            same = z.read(i) == f.read()
        print(i.filename, i.compress_type, "%08x" % i.CRC, i.file_size, "same" if same else "differs")
)";

std::vector<std::string> PythonView(const std::string& archive, const std::string& folder,
                                    const std::string& password = "") {
  std::vector<std::string> args{archive, folder};
  if (!password.empty()) args.push_back(password);
  const auto r = testsupport::RunPython(kPythonReader, args);
  EXPECT_EQ(r.ExitStatus, 0) << r.Err;
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = r.Out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(r.Out.substr(start, end - start));
  }
  return lines;
}

// The same lines from TZip's own reading of the directory.
std::vector<std::string> DirectoryView(const TZip& zip) {
  std::vector<std::string> lines{"test None"};
  for (const auto& e : zip.ArchiveDirectory()) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", e.CRC32);
    std::string name = e.FileName;
    std::replace(name.begin(), name.end(), '\\', '/');
    lines.push_back(name + " " + std::to_string(e.CompressionMethod) + " " + crc + " " +
                    std::to_string(e.UncompressedSize) + " same");
  }
  return lines;
}

void ExpectUnzipAccepts(const std::string& archive, const std::string& password = "") {
  std::vector<std::string> args{"-t"};
  if (!password.empty()) args.insert(args.end(), {"-P", password});
  args.push_back(archive);
  const auto r = testsupport::RunProcess("/usr/bin/unzip", args);
  EXPECT_EQ(r.ExitStatus, 0) << r.Out << r.Err;
  EXPECT_NE(r.Out.find("No errors detected"), std::string::npos) << r.Out;
}

// The message of the ZipException that f raises; empty when it raises none.
std::string ZipErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ZipException& e) {
    return e.what();
  }
  return "";
}

void RemoveFile(const std::string& path) { std::filesystem::remove(path); }

class ZipTest : public ::testing::Test {
protected:
  ZipTest() { testsupport::MakeDirs(temp); }

  void Prepare(TZip& zip) const {
    zip.DllDirectory = ANNONCIA_ZIPENGINE_DIR;
    zip.TempDir = temp;
  }
  // Packs pattern into archive as a builder does; returns the result.
  std::int32_t Pack(const std::string& pattern, shell::IMainWindow* owner) {
    TZip zip(owner);
    Prepare(zip);
    zip.SetZipFileName(archive);
    zip.FileSpecs().push_back(pattern);
    return zip.AddFiles();
  }

  TTempDir dir;
  TRecordingWindow window;
  const std::string archive = dir / "feed.zip";
  const std::string temp = dir / "tmp";  // backups go here and must not stay
};

TEST_F(ZipTest, NewArchiveIsTheEmptyEndRecord) {
  TZip zip(&window);
  Prepare(zip);
  int changes = 0;
  zip.OnContentsChanged = [&](TZip&) { ++changes; };
  zip.SetZipFileName(archive);
  EXPECT_EQ(ReadFile(archive), kEmptyArchive);
  EXPECT_TRUE(zip.ArchiveDirectory().empty());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(PythonView(archive, dir.Path()), std::vector<std::string>{"test None"});

  TZip missingFolder(&window);
  EXPECT_EQ(ZipErrorOf([&] { missingFolder.SetZipFileName(dir / "no/such/folder.zip"); }),
            "Unable to create \n\"" + dir / "no/such/folder.zip" + "\"");
}

TEST_F(ZipTest, FolderPatternAddsEveryFileUnderItsBareNameAndNothingFromSubFolders) {
  const std::string stage = dir / "Stage";
  WriteFile(stage + "/annonces.csv", CsvText(300000));
  WriteFile(stage + "/photo1.jpg", RandomBytes(70000, 1));
  WriteFile(stage + "/Évian été.txt", "accents\r\n");
  WriteFile(stage + "/empty.txt", "");
  WriteFile(stage + "/sub/inner.jpg", "not to be packed");
  window.WithProgressWindow = true;

  TZip zip(&window);
  Prepare(zip);
  zip.SetZipFileName(archive);
  std::vector<std::string> events;
  zip.OnZEDBeginFileEvent = [&](TZip&, const std::string& name, std::int32_t size, std::int32_t count,
                                std::int32_t total) {
    events.push_back("begin " + name + " " + std::to_string(size) + " " + std::to_string(count) + " " +
                     std::to_string(total));
  };
  std::int64_t progressBytes = 0;
  zip.OnZEDProgressEvent = [&](TZip&, const std::string&, std::int32_t done, std::int32_t) { progressBytes += done; };
  zip.OnZEDEndBatchEvent = [&](TZip&, std::int32_t skipped, std::int32_t count, std::int32_t total) {
    events.push_back("end " + std::to_string(skipped) + " " + std::to_string(count) + " " + std::to_string(total));
  };
  // Windows-style folder spelled in another case: the file system ignores it.
  zip.FileSpecs().push_back(dir.Path() + "\\STAGE\\*.*");

  EXPECT_EQ(zip.AddFiles(), 4);
  EXPECT_TRUE(zip.FileSpecs().empty());
  const std::string total = std::to_string(300000 + 70000 + 9);
  EXPECT_EQ(events, (std::vector<std::string>{"begin annonces.csv 300000 4 " + total, "begin empty.txt 0 4 " + total,
                                              "begin photo1.jpg 70000 4 " + total,
                                              "begin Évian été.txt 9 4 " + total, "end 0 4 " + total}));
  EXPECT_EQ(progressBytes, 300000 + 70000 + 9);

  ExpectUnzipAccepts(archive);
  const auto view = PythonView(archive, stage);
  EXPECT_EQ(view, DirectoryView(zip));
  ASSERT_EQ(view.size(), 5u);
  EXPECT_EQ(view[0], "test None");
  for (std::size_t k = 1; k < view.size(); ++k) EXPECT_NE(view[k].find(" same"), std::string::npos) << view[k];
  for (const auto& e : zip.ArchiveDirectory()) {
    if (e.UncompressedSize > 0) {
      EXPECT_EQ(e.CompressionMethod, 8) << e.FileName;  // deflate
    }
    EXPECT_FALSE(e.Encrypted);
  }

  // The progress window follows the run and ends full, hidden and closed.
  ASSERT_GE(window.Progress.size(), 4u);
  EXPECT_EQ(window.Progress[0], "show:Annoncia");
  EXPECT_EQ(window.Progress[1], "label:wait ...");
  EXPECT_EQ(window.Progress[2], "max:65535");
  EXPECT_NE(std::find(window.Progress.begin(), window.Progress.end(), "label:photo1.jpg"), window.Progress.end());
  const std::vector<std::string> tail(window.Progress.end() - 3, window.Progress.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"pos:65535", "hide", "close"}));
  EXPECT_GT(window.ProcessMessagesCalls, 4);
  EXPECT_TRUE(ListFolder(temp).empty());
}

TEST_F(ZipTest, AddingToAnExistingArchiveKeepsItsEntriesAndReplacesSameNames) {
  WriteFile(dir / "feed/a.xml", "<a>first</a>");
  WriteFile(dir / "feed/b.xml", "<b/>");
  EXPECT_EQ(Pack(dir / "feed/a.xml", &window), 1);
  WriteFile(dir / "feed/a.xml", "<a>second, longer</a>");
  // Without a window (the console): no progress window, no boxes.
  EXPECT_EQ(Pack(dir / "feed/a.xml", nullptr), 1);
  EXPECT_EQ(Pack(dir / "feed/b.xml", nullptr), 1);

  ExpectUnzipAccepts(archive);
  const auto view = PythonView(archive, dir / "feed");
  ASSERT_EQ(view.size(), 3u);
  EXPECT_EQ(view[1].substr(0, 6), "a.xml ");
  EXPECT_EQ(view[2].substr(0, 6), "b.xml ");
  for (const auto& line : view) EXPECT_EQ(line.find("differs"), std::string::npos) << line;
  EXPECT_TRUE(window.Informations.empty());
}

TEST_F(ZipTest, PreconditionsAreShownAndAddNothing) {
  // End record of the second disk of a set.
  const std::string secondDisk = std::string("PK\x05\x06\x01\0\x01\0", 8) + std::string(14, '\0');
  struct Case {
    const char* what;
    bool name;
    bool pattern;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"no archive", false, true, "",
       "A Zip file must be openned or created before\nAdding, Deleting or Extracting files."},
      {"no pattern", true, false, kEmptyArchive, "No files have been selected."},
      {"multiple disks", true, true, secondDisk,
       "Cannot Add, Delete or Extract from a multiple disk Zip file...\nMerge this Zip file onto the hard disk before "
       "retrying."},
  };
  WriteFile(dir / "a.txt", "a");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window.Informations.clear();
    if (!c.bytes.empty()) WriteFile(archive, c.bytes);
    TZip zip(&window);
    Prepare(zip);
    if (c.name) zip.SetZipFileName(archive);
    if (c.pattern) zip.FileSpecs().push_back(dir / "a.txt");
    EXPECT_EQ(zip.AddFiles(), 0);
    EXPECT_EQ(window.Informations, std::vector<std::string>{"Annoncia|" + c.message});
    if (!c.bytes.empty()) {
      EXPECT_EQ(ReadFile(archive), c.bytes);
    }
    EXPECT_TRUE(ListFolder(temp).empty());
  }
}

TEST_F(ZipTest, EngineThatCannotBeUsedIsRefused) {
  TTempDir notALibrary;
  WriteFile(notALibrary / platform::SharedLibraryFileName("ZipDll"), "not a library");
  TTempDir foreign;  // a real library without the engine's entry points
  testsupport::CopyFileTo(ANNONCIA_FOREIGN_LIBRARY, foreign / platform::SharedLibraryFileName("ZipDll"));
  const std::string unableToLoad = "Unable to load \"ZipDll.dll\".";
  struct Case {
    std::string folder;
    std::string message;
  } cases[] = {
      {dir / "no engine here", unableToLoad},
      {notALibrary.Path(), unableToLoad},
      {foreign.Path() + "/", unableToLoad},
      {ANNONCIA_OLD_ZIPENGINE_DIR, "Error - invalid version of ZipDll.dll or UnzDll.dll"},
  };
  WriteFile(dir / "a.txt", "a");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    RemoveFile(archive);
    TZip zip(&window);
    zip.TempDir = temp;
    zip.DllDirectory = c.folder;
    zip.SetZipFileName(archive);
    zip.FileSpecs().push_back(dir / "a.txt");
    EXPECT_EQ(ZipErrorOf([&] { zip.AddFiles(); }), c.message);
    EXPECT_EQ(ReadFile(archive), kEmptyArchive);
    EXPECT_TRUE(ListFolder(temp).empty());
  }
  // A failed load is not kept: the real engine loads afterwards.
  RemoveFile(archive);
  EXPECT_EQ(Pack(dir / "a.txt", &window), 1);
}

TEST_F(ZipTest, CancelLeavesTheArchiveByteForByte) {
  WriteFile(dir / "old.txt", "already packed");
  ASSERT_EQ(Pack(dir / "old.txt", &window), 1);
  const std::string before = ReadFile(archive);
  for (int k = 0; k < 12; ++k) {
    WriteFile(dir / "photos/p" + std::to_string(10 + k) + ".jpg", RandomBytes(64 * 1024, static_cast<unsigned>(k)));
  }
  struct Case {
    const char* when;
    std::string lastProgress;  // Cancel is pressed once the progress window shows this
  } cases[] = {
      {"while packing the third photo", "label:p12.jpg"},
      {"once the engine has finished", "hide"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.when);
    window.Progress.clear();
    window.WithProgressWindow = true;
    bool pressed = false;
    window.OnProcessMessages = [&] {
      if (!pressed && !window.Progress.empty() && window.Progress.back() == c.lastProgress) {
        pressed = true;
        window.ProgressCancel();
      }
    };
    TZip zip(&window);
    Prepare(zip);
    zip.SetZipFileName(archive);
    zip.FileSpecs().push_back(dir.Path() + "\\photos\\*.jpg");
    EXPECT_EQ(zip.AddFiles(), 0);
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(ReadFile(archive) == before);
    ASSERT_EQ(zip.ArchiveDirectory().size(), 1u);
    EXPECT_EQ(zip.ArchiveDirectory()[0].FileName, "old.txt");
    EXPECT_TRUE(zip.FileSpecs().empty());
    EXPECT_TRUE(ListFolder(temp).empty());
    // Nothing left beside the archive either (the engine's work file).
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"feed.zip", "old.txt", "photos", "tmp"}));
  }
}

TEST_F(ZipTest, FailureDuringTheRunIsRaisedAndLeavesTheArchive) {
  WriteFile(dir / "in/a.txt", "a");
  WriteFile(dir / "in/b.txt", "b");
  struct Case {
    const char* what;
    std::function<void()> atFirstFile;
    std::string message;
  } cases[] = {
      {"a file vanishes", [&] { RemoveFile(dir / "in/b.txt"); },
       "Unable to add files to \n\"" + archive + "\"\r\n" + dir / "in/b.txt" + ": "},
      {"an event handler fails", [] { throw std::runtime_error("handler failed"); }, "handler failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(dir / "in/b.txt", "b");
    TZip zip(&window);
    Prepare(zip);
    zip.SetZipFileName(archive);
    bool first = true;
    zip.OnZEDBeginFileEvent = [&](TZip&, const std::string&, std::int32_t, std::int32_t, std::int32_t) {
      if (std::exchange(first, false)) c.atFirstFile();
    };
    zip.FileSpecs().push_back(dir / "in/*.txt");
    try {
      zip.AddFiles();
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message);
    }
    EXPECT_EQ(ReadFile(archive), kEmptyArchive);
    EXPECT_TRUE(zip.FileSpecs().empty());
    EXPECT_TRUE(ListFolder(temp).empty());
  }
}

// The archive is never packed into itself, under its own name or another
// name of the same file (a hard link); a file merely named alike is packed.
TEST_F(ZipTest, TheArchiveItselfIsSkippedUnderAnyOfItsNames) {
  WriteFile(dir / "a.txt", "a");
  WriteFile(dir / "sub/feed.zip", "another file of that name");
  TZip zip(&window);
  Prepare(zip);
  zip.SetZipFileName(archive);
  ASSERT_EQ(link(archive.c_str(), (dir / "same.zip").c_str()), 0);
  zip.FileSpecs().push_back(dir.Path() + "\\*.*");
  zip.FileSpecs().push_back(dir.Path() + "\\sub\\*.*");
  EXPECT_EQ(zip.AddFiles(), 2);
  std::vector<std::string> entries;
  for (const auto& e : zip.ArchiveDirectory()) entries.push_back(e.FileName + " " + std::to_string(e.UncompressedSize));
  EXPECT_EQ(entries, (std::vector<std::string>{"a.txt 1", "feed.zip 25"}));
}

TEST_F(ZipTest, NothingMatchingAddsNothingAndTraceRecordsTheEngine) {
  WriteFile(dir / "in/a.txt", "a");
  const std::string traceFile = platform::ChangeFileExt(platform::ExecutablePath(), ".trace");
  TZip zip(&window);
  Prepare(zip);
  zip.Trace = true;
  zip.SetZipFileName(archive);
  zip.FileSpecs().push_back(dir / "in/*.xml");
  EXPECT_EQ(zip.AddFiles(), 0);
  EXPECT_EQ(ReadFile(archive), kEmptyArchive);
  zip.FileSpecs().push_back(dir / "in/*.txt");
  EXPECT_EQ(zip.AddFiles(), 1);
  EXPECT_EQ(ReadFile(traceFile), "  adding: a.txt\r\n1 file(s) added to " + archive + "\r\n");
  std::remove(traceFile.c_str());
}

TEST_F(ZipTest, OptionsForFoldersRecursionAndPassword) {
  WriteFile(dir / "root/a.txt", "top");
  WriteFile(dir / "root/sub/b.txt", "below");
  WriteFile(dir / "root/sub/c.csv", "not matched");
  const auto cwd = std::filesystem::current_path();
  TZip zip(nullptr);
  Prepare(zip);
  zip.SetZipFileName(archive);
  zip.Password = "s3cret";
  zip.ZipOptions = 2 | 4;  // recurse into sub-folders, keeping their names
  zip.RootDir = dir / "root";
  zip.FileSpecs().push_back("*.txt");
  EXPECT_EQ(zip.AddFiles(), 2);
  std::filesystem::current_path(cwd);
  EXPECT_TRUE(zip.RootDir.empty());

  ExpectUnzipAccepts(archive, "s3cret");
  const auto view = PythonView(archive, dir / "root", "s3cret");
  EXPECT_EQ(view, DirectoryView(zip));
  ASSERT_EQ(zip.ArchiveDirectory().size(), 2u);
  EXPECT_EQ(zip.ArchiveDirectory()[0].FileName, "a.txt");
  EXPECT_EQ(zip.ArchiveDirectory()[1].FileName, "sub\\b.txt");
  EXPECT_TRUE(zip.ArchiveDirectory()[0].Encrypted);
}

// A feed's worth of files: 200 photos of 100 KB (random, so incompressible)
// and a 2 MB CSV. TZip and the engine must cost about what zip -9 -j costs on
// them; each side is timed three times, alternating, and the best run counts.
TEST_F(ZipTest, PacksAFeedAboutAsFastAsZip) {
  const std::string stage = dir / "stage";
  for (int k = 0; k < 200; ++k) {
    WriteFile(stage + "/photo" + std::to_string(k) + ".jpg", RandomBytes(100 * 1024, static_cast<unsigned>(k)));
  }
  WriteFile(stage + "/annonces.csv", CsvText(2 * 1024 * 1024));
  using Clock = std::chrono::steady_clock;
  double best = 1e9, bestZip = 1e9;
  for (int round = 0; round < 3; ++round) {
    RemoveFile(archive);
    auto start = Clock::now();
    ASSERT_EQ(Pack(stage + "\\*.*", nullptr), 201);
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());

    RemoveFile(dir / "zip.zip");
    start = Clock::now();
    const auto r = testsupport::RunProcess("/usr/bin/zip", {"-9", "-j", "-q", "-r", dir / "zip.zip", stage});
    bestZip = std::min(bestZip, std::chrono::duration<double>(Clock::now() - start).count());
    ASSERT_EQ(r.ExitStatus, 0) << r.Err;
  }
  const auto size = std::filesystem::file_size(archive);
  const auto zipSize = std::filesystem::file_size(dir / "zip.zip");
  std::printf("TZip %.3f s, %ju bytes; zip -9 -j %.3f s, %ju bytes\n", best, static_cast<std::uintmax_t>(size),
              bestZip, static_cast<std::uintmax_t>(zipSize));
  EXPECT_LT(best, 2 * bestZip + 0.25);
  EXPECT_LT(size, zipSize + zipSize / 100);
  ExpectUnzipAccepts(archive);
}

// The engine on its own, as any caller of its interface sees it.
struct TEngineCaller {
  int stopAtFile = 0;  // answer -1 to this begin-file message (counted from 1); 0: never
  int files = 0;
  std::vector<std::string> messages;  // "type:number[:text]", progress messages summed per file

  static std::int32_t ZIPDLL_CALL Callback(ZipCallbackRecord* record) {
    auto& self = *static_cast<TEngineCaller*>(record->Caller);
    const std::string text(record->Text);
    if (record->MessageType == ZIPDLL_MSG_PROGRESS && !self.messages.empty() &&
        self.messages.back().rfind("2:", 0) == 0) {
      self.messages.back() = "2:" + std::to_string(std::stoi(self.messages.back().substr(2)) + record->Number);
    } else {
      self.messages.push_back(std::to_string(record->MessageType) + ":" + std::to_string(record->Number) +
                              (text.empty() ? "" : ":" + text));
    }
    if (record->MessageType == ZIPDLL_MSG_BEGIN_FILE && ++self.files == self.stopAtFile) return -1;
    return 0;
  }
};

TEST_F(ZipTest, EngineReportsEveryStepAndStopsWhenAsked) {
  std::string error;
  const auto library = platform::TDynamicLibrary::Load(
      std::string(ANNONCIA_ZIPENGINE_DIR) + "/" + platform::SharedLibraryFileName("ZipDll"), error);
  ASSERT_TRUE(library) << error;
  ZipDllExecFunction exec = nullptr;
  void* address = library->EntryPoint("ZipDllExec");
  std::memcpy(&exec, &address, sizeof exec);
  ASSERT_TRUE(exec);

  WriteFile(dir / "in/a.txt", std::string(20000, 'a'));
  WriteFile(dir / "in/b.jpg", RandomBytes(30000, 7));
  WriteFile(dir / "in/c.txt", "c");
  WriteFile(archive, kEmptyArchive);
  const std::string pattern = dir / "in/*.*";
  auto run = [&](TEngineCaller& caller) {
    ZipSpecEntry entry{};
    entry.Pattern = pattern.c_str();
    entry.RootFolder = "";
    ZipRunParams params{};
    params.Caller = &caller;
    params.Version = ZIPDLL_INTERFACE_VERSION;
    params.Callback = &TEngineCaller::Callback;
    params.Level = 9;
    params.JunkFolders = ZIPDLL_TRUE;
    params.AddRun = ZIPDLL_TRUE;
    params.PatternCount = 1;
    params.ArchiveName = archive.c_str();
    params.TempFolder = temp.c_str();
    params.Patterns = &entry;
    params.Seal = ZIPDLL_SEAL;
    return exec(&params);
  };

  const auto written = std::filesystem::last_write_time(archive);
  TEngineCaller stopping;
  stopping.stopAtFile = 2;
  EXPECT_EQ(run(stopping), 0);
  EXPECT_EQ(stopping.messages, (std::vector<std::string>{"5:3", "6:50001", "1:20000:a.txt", "2:20000",
                                                         "1:30000:b.jpg"}));
  EXPECT_EQ(ReadFile(archive), kEmptyArchive);
  EXPECT_EQ(std::filesystem::last_write_time(archive), written);  // not even rewritten
  EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"feed.zip", "in", "tmp"}));

  TEngineCaller full;
  EXPECT_EQ(run(full), 3);
  EXPECT_EQ(full.messages, (std::vector<std::string>{"5:3", "6:50001", "1:20000:a.txt", "2:20000", "1:30000:b.jpg",
                                                     "2:30000", "1:1:c.txt", "2:1", "3:0"}));
  ExpectUnzipAccepts(archive);
  EXPECT_EQ(PythonView(archive, dir / "in").size(), 4u);
}

// Archives written by hand: stored empty entries (CRC 0), a central
// directory and the end record.
struct TFixtureEntry {
  std::string name;  // bytes as stored
  std::uint16_t madeBy = 0x0314;
  std::uint16_t flag = 0;
};

void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

std::string FixtureArchive(const std::vector<TFixtureEntry>& entries, const std::string& comment = "",
                           const std::string& before = "") {
  std::string local, central;
  for (const auto& e : entries) {
    const auto offset = static_cast<std::uint32_t>(local.size());
    local += "PK\x03\x04";
    Put16(local, 10);
    Put16(local, e.flag);
    for (int k = 0; k < 5; ++k) Put32(local, 0);  // method, time, date, CRC, sizes
    local.resize(local.size() - 2);
    Put16(local, static_cast<std::uint32_t>(e.name.size()));
    Put16(local, 0);
    local += e.name;
    central += "PK\x01\x02";
    Put16(central, e.madeBy);
    Put16(central, 10);
    Put16(central, e.flag);
    for (int k = 0; k < 3; ++k) Put16(central, 0);  // method, time, date
    for (int k = 0; k < 3; ++k) Put32(central, 0);  // CRC, sizes
    Put16(central, static_cast<std::uint32_t>(e.name.size()));
    for (int k = 0; k < 4; ++k) Put16(central, 0);  // extra, comment, disk, internal
    Put32(central, 0);
    Put32(central, offset);
    central += e.name;
  }
  std::string end = "PK\x05\x06";
  Put32(end, 0);
  Put16(end, static_cast<std::uint32_t>(entries.size()));
  Put16(end, static_cast<std::uint32_t>(entries.size()));
  Put32(end, static_cast<std::uint32_t>(central.size()));
  Put32(end, static_cast<std::uint32_t>(before.size() + local.size()));
  Put16(end, static_cast<std::uint32_t>(comment.size()));
  return before + local + central + end + comment;
}

TEST_F(ZipTest, DirectoryOfArchivesMadeElsewhere) {
  const std::string longComment(65513, 'c');
  std::string damaged = FixtureArchive({{"a.txt"}, {"b.txt"}});
  const std::string centralSignature("PK\x01\x02", 4);
  damaged[damaged.find(centralSignature, damaged.find(centralSignature) + 1) + 2] = 'X';  // the second header
  // A comment holding an end record of its own: the record that ends the
  // file is the archive's; when both could be, or neither, it is refused.
  const std::string emptyRecord = FixtureArchive({});
  const std::string recordInComment = FixtureArchive({{"a.txt"}}, "note " + emptyRecord + " end");
  const std::string twoEndingRecords = FixtureArchive({{"a.txt"}}, "note " + emptyRecord);
  std::string noEndingRecord = FixtureArchive({{"a.txt"}}, "note " + emptyRecord + " end");
  noEndingRecord += "trailing bytes";
  std::string farDisks = FixtureArchive({});
  farDisks[farDisks.size() - 18] = static_cast<char>(0xE9);  // disk 1001
  farDisks[farDisks.size() - 17] = 0x03;
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> names;  // when readable
    std::string error;
  } cases[] = {
      {"comment of 65,513 bytes", FixtureArchive({{"a.txt"}}, longComment), {"a.txt"}, ""},
      {"data placed before the archive", FixtureArchive({{"a.txt"}, {"d/b.txt"}}, "", std::string(100, 'x')),
       {"a.txt", "d\\b.txt"}, ""},
      {"OEM names from MS-DOS", FixtureArchive({{"\x82t\x82/caf\x82.txt", 0x0014}, {"\xc3\xa9.txt", 0x0014, 0x800}}),
       {"été\\café.txt", "é.txt"}, ""},
      {"not a ZIP file", "just some text, long enough to hold a record", {}, "\"" + archive + "\"\nis not a valid Zip file."},
      {"shorter than an end record", "PK\x05\x06", {}, "\"" + archive + "\"\nis not a valid Zip file."},
      {"comment too long for the search", FixtureArchive({{"a.txt"}}, longComment + "cc"), {},
       "\"" + archive + "\"\nis not a valid Zip file."},
      {"an end record in the comment", recordInComment, {"a.txt"}, ""},
      {"two records that end the file", twoEndingRecords, {}, "\"" + archive + "\"\nis not a valid Zip file."},
      {"two records, neither ending the file", noEndingRecord, {}, "\"" + archive + "\"\nis not a valid Zip file."},
      {"one record followed by other bytes", FixtureArchive({{"a.txt"}}) + "trailing", {"a.txt"}, ""},
      {"disk numbers above 1000", farDisks, {}, "\"" + archive + "\"\nis not a valid Zip file."},
      {"damaged central directory", damaged, {}, "Error reading CentralFileHeader."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(archive, c.bytes);
    TZip zip(&window);
    EXPECT_EQ(ZipErrorOf([&] { zip.SetZipFileName(archive); }), c.error);
    std::vector<std::string> names;
    for (const auto& e : zip.ArchiveDirectory()) names.push_back(e.FileName);
    EXPECT_EQ(names, c.names);
    EXPECT_TRUE(ReadFile(archive) == c.bytes);
  }
  WriteFile(archive, FixtureArchive({{"a.txt"}}, longComment));
  TZip zip(&window);
  zip.SetZipFileName(archive);
  EXPECT_EQ(zip.ZipComment(), longComment);
}

}  // namespace
