// A whole portal run for tests: the console program installed in a temporary
// folder, a portal FTP server and a photo FTP server (both real, on
// loopback), a local photo folder, and an Annoncia.ini pointing at them.
//
//   TPortalRun r("SITAUTOPRO", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
//   r.WriteIni();                       // photo check on, both servers
//   r.WriteExport("SitAutoPro", xml);   // ExpDatasSitAutoPro.xml
//   r.WritePhoto("123");                // 123.jpg and 123m.jpg
//   auto result = r.Run();
//   ... r.Portal.Root() + "/SA123456.zip", r.Photos.Count("STOR") ...
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/FtpServer.h"
#include "support/Installation.h"

namespace testsupport {

class TPortalRun {
public:
  TPortalRun(std::string option, const std::string& program, const std::vector<std::string>& companions = {},
             TFtpServerOptions portal = {.User = "portail@ftp.example", .Password = "Portail42", .Folder = "in"},
             TFtpServerOptions photos = {.User = "photos@ftp.example", .Password = "Photos42", .Folder = "www/clicheo"});

  TInstallation Inst;
  TFtpServer Portal;
  TFtpServer Photos;
  const std::string Option;
  const std::string PhotoDir;  // PathImages
  static constexpr const char* kUrlImages = "http://photos.example/vo";

  // The settings file: [Options], [Clicheo] and the option's section with
  // both servers' connections and TestFTPClicheo=1; extra lines go to the end
  // of the option's section, extra sections after it.
  void WriteIni(const std::string& extraOptionLines = "", const std::string& extraSections = "") const;
  // Writes ExpDatas + portal + ".xml" into the work folder.
  void WriteExport(const std::string& portal, const std::string& bytes) const;
  // A photo name + ".jpg" and, unless withThumbnail is false, its thumbnail name + "m.jpg".
  void WritePhoto(const std::string& name, bool withThumbnail = true) const;
  std::string WorkFile(const std::string& name) const { return Inst.WorkDir() + "/" + name; }

  TProcessResult Run(std::map<std::string, std::string> env = {}) const;
  // The option as given on the command line (default: the option itself).
  TProcessResult Run(const std::string& argument, std::map<std::string, std::string> env = {}) const;
};

}  // namespace testsupport
