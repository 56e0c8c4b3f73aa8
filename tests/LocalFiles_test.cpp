// Whole runs tried as bad luck and an attacker would: hostile staging
// folders, full and read-only file systems, runs killed half-way and two runs
// of one portal at once. Each checks what exists afterwards outside the
// program's own folders, byte for byte, and what the portal server received.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "support/PortalRun.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TPortalRun;
using testsupport::WriteFile;

namespace {

// Every file below a folder with its bytes and mode, links as their target.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& p = it->path();
    struct stat st;
    lstat(p.c_str(), &st);
    std::string& entry = files[fs::relative(p, folder).string()];
    entry = std::to_string(st.st_mode) + ":";
    if (S_ISLNK(st.st_mode)) entry += fs::read_symlink(p).string();
    else if (S_ISREG(st.st_mode)) entry += ReadFile(p);
  }
  return files;
}

// A small tmpfs mounted for the test, when the tests run as root.
class TMount {
public:
  TMount(const std::string& folder, const std::string& options) : folder_(folder) {
    testsupport::MakeDirs(folder);
    mounted_ = geteuid() == 0 && mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~TMount() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  void MakeReadOnly() const {
    ASSERT_EQ(mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
  }

private:
  std::string folder_;
  bool mounted_ = false;
};

// The program started without waiting for it.
class TChild {
public:
  TChild(const testsupport::TInstallation& inst, const std::string& option, const std::string& tmpdir) {
    pid_ = fork();
    if (pid_ == 0) {
      setenv("WINDIR", inst.Windir().c_str(), 1);
      setenv("TMPDIR", tmpdir.c_str(), 1);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(inst.Program().c_str(), inst.Program().c_str(), option.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~TChild() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
  }
  pid_t Pid() const { return pid_; }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void Kill() { kill(pid_, SIGKILL); }

private:
  pid_t pid_ = -1;
};

// Waits (at most 60 s) until a name in folder satisfies found; answers it,
// or empty.
template <typename F>
std::string WaitForName(const std::string& folder, F found) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < until) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
      const std::string name = e.path().filename().string();
      if (found(name)) return name;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return {};
}

bool IsTemporary(const std::string& name) { return name.find(".annoncia-tmp") != std::string::npos; }

// Temporary files left in folder (not below it).
std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& name : testsupport::ListFolder(folder)) {
    if (IsTemporary(name)) found.push_back(name);
  }
  return found;
}

// A ParuVendu export of many vehicles, so that a run lasts long enough to be
// caught half-way.
std::string LargeExport(int vehicles) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<document><DataVOS>";
  for (int k = 1; k <= vehicles; ++k) {
    const std::string id = std::to_string(k);
    xml += "<DataVO><idNVO>" + id + "</idNVO><InfoMarque>RENAULT</InfoMarque><SousRubrique>Renault</SousRubrique>"
           "<ModeleVersion>RENAULT Clio 1.5 dCi " + id + "</ModeleVersion><EqutInterieur>;CLIM;</EqutInterieur>"
           "<Prix>9 900</Prix><NomPhoto1></NomPhoto1></DataVO>";
  }
  return xml + "</DataVOS><LiensImagesS></LiensImagesS><LiensEquipementsS></LiensEquipementsS></document>\n";
}

// The settings of a run without the photo check.
void WriteIniWithoutPhotos(const TPortalRun& r, const std::string& user = "portail@ftp.example") {
  r.Inst.WriteIni("[Options]\r\nPathImages=" + r.PhotoDir + "\r\n[" + r.Option + "]\r\nServeurFTP=" +
                  r.Portal.Address() + "\r\nUser=" + user + "\r\nPassWord=Portail42\r\nPathFTP=in\r\n"
                  "TestFTPClicheo=0\r\n");
}

// Whether Python's parser takes the file as well-formed XML.
bool WellFormed(const std::string& path) {
  return testsupport::RunPython("import sys, xml.dom.minidom\nxml.dom.minidom.parse(sys.argv[1])\n", {path})
             .ExitStatus == 0;
}

}  // namespace

TEST(LocalFiles, HostileStagingFoldersNeverReachOutside) {
  struct Case {
    const char* name;
    const char* pathTemp;
    // Makes the layout: r, the Windows folder, the victim folder outside it.
    std::function<void(const TPortalRun&, const std::string&, const std::string&)> layout;
    int status;
  };
  const Case cases[] = {
      {"a link to a folder inside staging", "\\Temp\\AS24",
       [](const TPortalRun& r, const std::string& win, const std::string& victim) {
         testsupport::MakeDirs(win + "/Temp/AS24");
         fs::create_symlink(victim, win + "/Temp/AS24/lnk");
         fs::create_symlink(r.PhotoDir, win + "/Temp/AS24/photos");
       },
       0},
      {"a link to a read-only file inside staging", "\\Temp\\AS24",
       [](const TPortalRun&, const std::string& win, const std::string& victim) {
         testsupport::MakeDirs(win + "/Temp/AS24");
         fs::create_symlink(victim + "/readonly.txt", win + "/Temp/AS24/ro");
       },
       0},
      {"staging is a link to the work folder", "\\Temp\\AS24",
       [](const TPortalRun& r, const std::string& win, const std::string&) {
         testsupport::MakeDirs(win + "/Temp");
         fs::create_symlink(r.Inst.WorkDir(), win + "/Temp/AS24");
       },
       1},
      {"staging is a link outside the Windows folder", "\\Temp\\AS24",
       [](const TPortalRun&, const std::string& win, const std::string& victim) {
         testsupport::MakeDirs(win + "/Temp");
         fs::create_symlink(victim, win + "/Temp/AS24");
       },
       1},
      {"'..' through a link", "\\Temp\\AS24\\lnk\\..\\Annoncia",
       [](const TPortalRun&, const std::string& win, const std::string&) {
         testsupport::MakeDirs(win + "/Temp/AS24");
         testsupport::MakeDirs(win + "/TEMP/sub");
         fs::create_symlink(win + "/TEMP/sub", win + "/Temp/AS24/lnk");
       },
       1},
      {"'..' out of the Windows folder", "\\..\\..\\..\\..\\..\\..\\..\\..\\victim", nullptr, 1},
      {"staging is a file", "\\Temp\\AS24",
       [](const TPortalRun&, const std::string& win, const std::string&) { WriteFile(win + "/Temp/AS24", "x"); },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPortalRun r("AUTOSCOUT24", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
    const std::string win = r.Inst.Windir();
    const std::string victim = r.Inst.Root() + "/victim";
    WriteFile(victim + "/data.xml", "<dealer/>");
    WriteFile(victim + "/readonly.txt", "read only");
    fs::permissions(victim + "/readonly.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    r.WritePhoto("1_1");
    r.WriteIni("PathTemp=" + std::string(c.pathTemp) + "\r\n");
    r.WriteExport("AutoScout24",
                  "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS><LiensImagesS><LiensImages>"
                  "<idNVO>1</idNVO><NomImage>1_1</NomImage></LiensImages></LiensImagesS></document>");
    std::string pathTemp = c.pathTemp;
    if (pathTemp.find("victim") != std::string::npos) {
      // As many ".." as it takes from the Windows folder to the root.
      pathTemp.clear();
      for (const auto& part : fs::path(win)) {
        if (part != "/") pathTemp += "\\..";
      }
      pathTemp += '\\';
      pathTemp += fs::relative(victim, "/").string();
      r.WriteIni("PathTemp=" + pathTemp + "\r\n");
    }
    if (c.layout) c.layout(r, win, victim);
    const auto outside = Snapshot(victim);
    const auto photos = Snapshot(r.PhotoDir);
    const std::string exportBytes = ReadFile(r.WorkFile("ExpDatasAutoScout24.xml"));

    const auto result = r.Run();
    EXPECT_EQ(result.ExitStatus, c.status) << result.Out << result.Err;
    EXPECT_EQ(Snapshot(victim), outside);
    EXPECT_EQ(Snapshot(r.PhotoDir), photos);
    EXPECT_EQ(ReadFile(r.WorkFile("ExpDatasAutoScout24.xml")), exportBytes);
    if (c.status == 0) {
      EXPECT_EQ(r.Portal.Count("STOR"), 1);
    } else {
      EXPECT_EQ(r.Portal.Count("STOR"), 0);
      EXPECT_NE(result.Err.find("Dossier PathTemp refusé"), std::string::npos) << result.Err;
    }
  }
}

TEST(LocalFiles, AStagingFolderThatCannotBeEmptiedOrFilledSendsNothing) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  struct Case {
    const char* name;
    bool readOnly;
    std::size_t photoBytes;
  } const cases[] = {{"read-only file system", true, 100}, {"full file system", false, 256 * 1024}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPortalRun r("AUTOSCOUT24", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
    TMount staging(r.Inst.Windir() + "/Temp/AS24", "size=64k");
    if (!staging.Mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here";
    WriteFile(r.Inst.Windir() + "/Temp/AS24/0123456789.csv", "yesterday's feed\r\n");
    if (c.readOnly) staging.MakeReadOnly();
    WriteFile(r.PhotoDir + "/1_1.jpg", std::string(c.photoBytes, 'p'));
    r.WriteIni();
    r.WriteExport("AutoScout24",
                  "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS><LiensImagesS><LiensImages>"
                  "<idNVO>1</idNVO><NomImage>1_1</NomImage></LiensImages></LiensImagesS></document>");
    const auto result = r.Run();
    EXPECT_EQ(result.ExitStatus, 1) << result.Out << result.Err;
    EXPECT_NE(result.Err.find(r.Inst.Windir()), std::string::npos) << result.Err;  // the error names its file
    EXPECT_EQ(r.Portal.Count("STOR"), 0);
    EXPECT_FALSE(testsupport::PathExists(r.WorkFile("0123456789.zip")));
  }
}

TEST(LocalFiles, AKilledRunLeavesThePreviousCompleteFiles) {
  struct Case {
    const char* option;
    const char* portal;
    std::string user;     // empty: the archive is made and not sent
    std::string caught;   // the run is killed when a temporary file of this kind appears
  } const cases[] = {
      {"PARUVENDU", "ParuVendu", "portail@ftp.example", "RovelleDatasVO-"},  // while saving the feed
      {"INFOPRESS", "InfoPress", "", ".zip."},                                // while packing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    TPortalRun r(c.option, ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
    const std::string tmpdir = r.Inst.Root() + "/tmp";
    testsupport::MakeDirs(tmpdir);
    WriteIniWithoutPhotos(r, c.user);
    r.WriteExport(c.portal, LargeExport(3));
    ASSERT_EQ(r.Run({{"TMPDIR", tmpdir}}).ExitStatus, 0);
    const auto before = Snapshot(r.Inst.WorkDir());

    r.WriteExport(c.portal, LargeExport(20000));
    TChild run(r.Inst, c.option, tmpdir);
    const pid_t pid = run.Pid();
    const std::string temporary = WaitForName(r.Inst.WorkDir(), [&](const std::string& name) {
      return IsTemporary(name) && name.find(c.caught) != std::string::npos;
    });
    run.Kill();
    ASSERT_FALSE(temporary.empty());
    EXPECT_EQ(run.Wait(), 128 + SIGKILL);
    // The file being written still holds yesterday's bytes under its final name ...
    const std::string finalName = temporary.substr(0, temporary.find('.' + std::to_string(pid)));
    const auto after = Snapshot(r.Inst.WorkDir());
    ASSERT_TRUE(before.count(finalName)) << finalName;
    EXPECT_EQ(after.at(finalName), before.at(finalName));
    // ... and every other file under a final name is complete.
    for (const auto& name : testsupport::ListFolder(r.Inst.WorkDir())) {
      if (IsTemporary(name) || name.starts_with("ExpDatas") || name.ends_with(".lock")) continue;
      const std::string path = r.WorkFile(name);
      if (name.ends_with(".zip")) {
        EXPECT_EQ(testsupport::RunProcess("/usr/bin/unzip", {"-tq", path}).ExitStatus, 0) << name;
      } else if (name.ends_with(".xml")) {
        EXPECT_TRUE(WellFormed(path)) << name;
      }
    }

    // The next run finishes the work and clears what the killed one left.
    const auto next = r.Run({{"TMPDIR", tmpdir}});
    EXPECT_EQ(next.ExitStatus, 0) << next.Out << next.Err;
    EXPECT_EQ(Leftovers(r.Inst.WorkDir()), std::vector<std::string>{});
    EXPECT_EQ(Leftovers(tmpdir), std::vector<std::string>{});
  }
}

TEST(LocalFiles, ASecondRunOfAPortalIsRefusedWhileTheFirstRuns) {
  TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  WriteIniWithoutPhotos(r);
  r.WriteExport("ParuVendu", LargeExport(20000));
  TChild first(r.Inst, "ParuVendu", r.Inst.Root());
  const std::string pid = std::to_string(first.Pid());
  ASSERT_FALSE(WaitForName(r.Inst.WorkDir(), [&](const std::string& name) {
    return name == "AnnonciaPARUVENDU.lock" && ReadFile(r.WorkFile(name)) == pid + "\n";
  }).empty());
  const auto second = r.Run("paruvendu");
  EXPECT_EQ(second.ExitStatus, 1) << second.Out << second.Err;
  EXPECT_NE(second.Err.find("PARUVENDU"), std::string::npos) << second.Err;
  EXPECT_NE(second.Err.find("processus " + pid), std::string::npos) << second.Err;
  // Another portal is not held back by the lock (it ends on its missing export).
  const auto other = r.Run("InfoPress");
  EXPECT_EQ(other.ExitStatus, 1);
  EXPECT_EQ(other.Err.find("Une autre exécution"), std::string::npos) << other.Err;

  EXPECT_EQ(first.Wait(), 0);
  // The refused run wrote nothing into the first run's log.
  EXPECT_EQ(r.Inst.LogText("PARUVENDU").find("Une autre exécution"), std::string::npos);
  EXPECT_EQ(r.Portal.Count("STOR"), 1);
  const auto sent = testsupport::ListFolder(r.Portal.Root());
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(WellFormed(r.Portal.Root() + "/" + sent[0]));
}
