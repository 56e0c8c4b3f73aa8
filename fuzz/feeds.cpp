// Each portal builder on a fuzzed data export, in process, as `annoncia
// PORTAL` runs it: the first byte picks the portal, the rest is its export.
// The photo check is off and every server is a closed port on the loopback
// address, so nothing leaves the machine; the upload is tried once, without
// the pauses between tries. After the run no file may lie
// outside the Windows folder (work folder, logs, staging folder) and the
// temporary folder, and every feed left in the work folder must be
// well-formed: XML that loads, or for AutoScout24 lines of 92 values.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "feeds/Portals.h"
#include "shell/UnitAnnoncia.h"
#include "support/RecordingWindow.h"
#include "transfer/FtpSession.h"
#include "xmldoc/XMLCursor.h"

namespace {
namespace fs = std::filesystem;

const char* const kPhotos[] = {"1001_1.jpg", "1001_2.jpg", "1002_1.jpg"};

const char* const kSettings =
    "[Options]\r\nPathImages=@ROOT@/photos\r\nURLImages=http://127.0.0.1/clicheo/\r\n"
    "[Clicheo]\r\nServeurFTP=127.0.0.1:1\r\nUser=u\r\nPassWord=p\r\nPathFTP=\r\n";

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void CheckFeed(const fs::path& path, bool csv) {
  const std::string name = path.filename().string();
  if (csv) {
    const std::string text = ReadAll(path);
    fuzz::Check(text.empty() || text.ends_with("\r\n"), name + " does not end with CR LF");
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
      fuzz::Check(line.ends_with(";\r"), name + ": a line not ending with \";\" CR LF: " + line);
      std::size_t values = 0;
      for (const char c : line) values += c == ';' ? 1 : 0;
      fuzz::Check(values == 92, name + ": a line of " + std::to_string(values) + " values: " + line);
    }
    return;
  }
  const xmldoc::IXMLCursorPtr feed = xmldoc::TXMLCursor::Create();
  try {
    feed->Load(path.string());
  } catch (const xmldoc::EXMLCursorError& e) {
    fuzz::Fail(name + " is not well-formed XML: " + e.what());
  }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  transfer::SetFtpTimeLimits({std::chrono::milliseconds(2000), std::chrono::milliseconds(2000),
                              std::chrono::milliseconds(2000), std::chrono::milliseconds(2000)});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const char* const kOptions[] = {"PARUVENDU", "AUTOSCOUT24", "SITAUTOPRO", "TOPANNONCES", "LEBONCOIN", "INFOPRESS"};
  static const char* const kNames[] = {"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces", "LeBonCoin", "InfoPress"};
  const std::size_t portal = data[0] % 6;

  const fs::path root = fuzz::ScratchFolder() + "/run";
  fs::remove_all(root);
  const fs::path windir = root / "windows";
  fs::create_directories(windir / "TEMP/Annoncia");
  // Photos of the sample exports, so that the AutoScout24 staging copies some.
  fs::create_directories(root / "photos");
  for (const char* photo : kPhotos) std::ofstream(root / "photos" / photo, std::ios::binary) << "jpeg";
  fs::create_directories(root / "tmp");
  setenv("WINDIR", windir.c_str(), 1);
  setenv("TMPDIR", (root / "tmp").c_str(), 1);
  std::string settings = kSettings;
  settings.replace(settings.find("@ROOT@"), 6, root.string());
  settings += std::string("[") + kOptions[portal] + "]\r\nServeurFTP=127.0.0.1:1\r\nUser=u\r\nPassWord=p\r\n"
              "TestFTPClicheo=0\r\nEnvoiStockVide=1\r\nTentatives=1\r\n";
  {
    std::ofstream(root / "Annoncia.ini", std::ios::binary) << settings;
    std::ofstream(windir / "TEMP/Annoncia" / (std::string("ExpDatas") + kNames[portal] + ".xml"), std::ios::binary)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  fs::permissions(root / "Annoncia.ini", fs::perms::owner_read | fs::perms::owner_write);

  testsupport::TRecordingWindow window;
  shell::TPortalTable portals;
  feeds::RegisterPortals(portals);
  shell::TRunControl run(window, std::move(portals), (root / "annoncia").string());
  try {
    run.RunExport(kOptions[portal]);
  } catch (const std::exception& error) {
    run.HandleException(error);
  }

  // Of the whole scratch folder, only the Windows and temporary folders may have new files.
  const fs::path scratch = fuzz::ScratchFolder();
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(scratch)) {
    if (entry.is_directory()) continue;
    const fs::path relative = fs::relative(entry.path(), root);
    const std::string top = relative.begin()->string();
    bool given = relative == "Annoncia.ini";
    for (const char* photo : kPhotos) given = given || relative == fs::path("photos") / photo;
    fuzz::Check(top == "windows" || top == "tmp" || given,
                "a file written outside the run's folders: " + entry.path().string());
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(windir / "TEMP/Annoncia")) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("ExpDatas") || !entry.is_regular_file()) continue;
    if (entry.path().extension() == ".xml") CheckFeed(entry.path(), false);
  }
  if (portal == 1) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(windir)) {
      if (entry.path().extension() == ".csv") CheckFeed(entry.path(), true);
    }
  }
  return 0;
}
