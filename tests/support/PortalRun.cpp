#include "support/PortalRun.h"

namespace testsupport {

TPortalRun::TPortalRun(std::string option, const std::string& program, const std::vector<std::string>& companions,
                       TFtpServerOptions portal, TFtpServerOptions photos)
    : Inst(program, companions),
      Portal(std::move(portal)),
      Photos(std::move(photos)),
      Option(std::move(option)),
      PhotoDir(Inst.Root() + "/photos") {
  MakeDirs(PhotoDir);
}

void TPortalRun::WriteIni(const std::string& extraOptionLines, const std::string& extraSections) const {
  Inst.WriteIni("[Options]\r\nPathImages=" + PhotoDir + "\r\nURLImages=" + kUrlImages +
                "\r\n[Clicheo]\r\nServeurFTP=" + Photos.Address() + "\r\nUser=photos@ftp.example\r\nPassWord=Photos42\r\n"
                "PathFTP=www/clicheo\r\n[" + Option + "]\r\nServeurFTP=" + Portal.Address() +
                "\r\nUser=portail@ftp.example\r\nPassWord=Portail42\r\nPathFTP=in\r\nTestFTPClicheo=1\r\n" +
                extraOptionLines + extraSections);
}

void TPortalRun::WriteExport(const std::string& portal, const std::string& bytes) const {
  WriteFile(Inst.WorkDir() + "/ExpDatas" + portal + ".xml", bytes);
}

void TPortalRun::WritePhoto(const std::string& name, bool withThumbnail) const {
  WriteFile(PhotoDir + "/" + name + ".jpg", "\xFF\xD8photo " + name + "\xFF\xD9");
  if (withThumbnail) WriteFile(PhotoDir + "/" + name + "m.jpg", "\xFF\xD8thumbnail " + name + "\xFF\xD9");
}

TProcessResult TPortalRun::Run(std::map<std::string, std::string> env) const { return Run(Option, std::move(env)); }

TProcessResult TPortalRun::Run(const std::string& argument, std::map<std::string, std::string> env) const {
  return Inst.Run({argument}, std::move(env));
}

}  // namespace testsupport
