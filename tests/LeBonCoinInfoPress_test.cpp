// Whole LeBonCoin and InfoPress runs of the console program against real FTP
// servers; the archive is read back by unzip and by Python's zipfile, the feed
// by Python's XML parser.
#include <gtest/gtest.h>

#include <regex>

#include "support/PortalRun.h"

using testsupport::TPortalRun;

namespace {

// Prints what a LeBonCoin / InfoPress archive holds, one fact a line.
constexpr const char* kFeedReader = R"(
import sys, zipfile, xml.etree.ElementTree as ET
with zipfile.ZipFile(sys.argv[1]) as z:
    print("test", z.testzip())
    names = z.namelist()
    print("entries", names)
    data = z.read(names[0])
print("latin9", data.decode("iso-8859-15").encode("iso-8859-15") == data, "Intérieurs".encode("iso-8859-15") in data)
root = ET.fromstring(data)
print("root", root.tag, len(root))
for a in root:
    print("annonce", a.findtext("idNVO"), "|" + a.findtext("Titre") + "|", a.findtext("Telephone"), "|" + a.findtext("Garantie") + "|")
    print("  photos", [a.findtext("photo%d" % k) for k in range(1, 7)])
    print("  texte", repr(a.findtext("Texte")))
    print("  gone", [t for t in ("EqutInterieur", "EqutSecurite", "InfoComplement") if a.find(t) is not None])
)";

std::vector<std::string> Matches(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> found;
  for (const auto& name : testsupport::ListFolder(folder)) {
    if (std::regex_match(name, std::regex(pattern))) found.push_back(name);
  }
  return found;
}

std::string Export(const std::string& vehicles, const std::string& links) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<document>"
         "<DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">" + vehicles +
         "</DataVOS><LiensImagesS>" + links + "</LiensImagesS><LiensEquipementsS>"
         "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip><LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>"
         "<LiensEquipements><AbbrEquip>GAR</AbbrEquip><LibelleEquipement>Sous Garantie</LibelleEquipement></LiensEquipements>"
         "</LiensEquipementsS><Aliases/></document>\n";
}

std::string Link(const std::string& id, const std::string& name) {
  return "<LiensImages><idNVO>" + id + "</idNVO><NomImage>" + name + "</NomImage></LiensImages>";
}

}  // namespace

TEST(LeBonCoin, WholeRunSendsTheArchiveOfTheLatin9Feed) {
  TPortalRun r("LEBONCOIN", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  r.WriteIni();
  for (const char* name : {"a1", "a2", "b1"}) r.WritePhoto(name);
  r.WriteExport("LeBonCoin",
                Export("<DataVO><idNVO>12345</idNVO><InfoMarque>PEUGEOT</InfoMarque>"
                       "<ModeleVersion>308 1.6 HDi 112 Active Business 5 portes</ModeleVersion>"
                       "<Carrosserie>Berline</Carrosserie><Puissance>6</Puissance><Couleur>Gris &#8211; m\xE9tal</Couleur>"
                       "<EqutInterieur>;CLIM;</EqutInterieur><EqutExterieur></EqutExterieur>"
                       "<EqutSecurite></EqutSecurite><InfoComplement></InfoComplement>"
                       "<Garantie> 12 mois </Garantie><Contact>M. Petit</Contact><Telephone>01.23.45.67.89</Telephone>"
                       "</DataVO>"
                       "<DataVO><idNVO>12346</idNVO><InfoMarque>RENAULT</InfoMarque><ModeleVersion>Clio</ModeleVersion>"
                       "<photo1>http://x/keep.jpg</photo1><photo2></photo2></DataVO>",
                       Link("12345", "a1") + Link("12346", "b1") + Link("12345", "a2")));

  const auto res = r.Run("LeBonCoin");
  ASSERT_EQ(res.ExitStatus, 0) << res.Out << res.Err;
  const auto archives = Matches(r.Portal.Root(), R"(LeBonCoin_\d{8}\.zip)");
  ASSERT_EQ(archives.size(), 1u);
  const std::string archive = r.Portal.Root() + "/" + archives[0];
  EXPECT_EQ(testsupport::RunProcess("/usr/bin/unzip", {"-tq", archive}).ExitStatus, 0);
  const std::string date = archives[0].substr(10, 8);
  const std::string url = TPortalRun::kUrlImages;
  EXPECT_EQ(testsupport::PythonOutput(kFeedReader, {archive}),
            "test None\n"
            "entries ['LeBonCoin_" + date + ".xml']\n"
            "latin9 True True\n"
            "root annonces 2\n"
            "annonce 12345 |PEUGEOT 308 1.6 HDi 112 Active Busi... (ref:12345)| 0123456789 |12 mois|\n"
            "  photos ['" + url + "/a1.jpg', '" + url + "/a2.jpg', None, None, None, None]\n"
            "  texte 'PEUGEOT 308 1.6 HDi 112 Active Business 5 portes (ref:12345)\\r\\n\\r\\nCarrosserie : Berline"
            "\\r\\nPuissance : 6 CV\\r\\nCouleur : Gris – métal\\r\\nBoite : \\r\\nMise en Circulation : \\r\\n\\r\\n"
            " - Equipements Intérieurs : Climatisation\\r\\n\\r\\n - Garantie :  12 mois \\r\\n"
            "\\r\\nContactez M. Petit au 01.23.45.67.89\\r\\n\\r\\n'\n"
            "  gone []\n"
            "annonce 12346 |RENAULT Clio (ref:12346)|  ||\n"
            "  photos ['http://x/keep.jpg', '" + url + "/b1.jpg', None, None, None, None]\n"
            "  texte 'RENAULT Clio (ref:12346)\\r\\n\\r\\nCarrosserie : \\r\\nPuissance :  CV\\r\\nCouleur : \\r\\n"
            "Boite : \\r\\nMise en Circulation : \\r\\n\\r\\n\\r\\nContactez  au \\r\\n\\r\\n'\n"
            "  gone []\n");
  EXPECT_EQ(r.Photos.Count("STOR"), 6);
  const std::string log = r.Inst.LogText("LEBONCOIN");
  EXPECT_TRUE(std::regex_match(log, std::regex(
      R"(\S+ \S+ - Nb Images Mises à jour : 6 photos --- \r\n)"
      R"(\S+ \S+ - Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : LeBonCoin_\d{8}\.zip - 2 VO\r\n)")))
      << log;
}

TEST(InfoPress, WithoutPortalUserTheArchiveIsMadeAndNothingSent) {
  TPortalRun r("INFOPRESS", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  // The LEBONCOIN section would send; only the INFOPRESS one counts.
  r.Inst.WriteIni("[Options]\r\nPathImages=" + r.PhotoDir + "\r\nURLImages=" + TPortalRun::kUrlImages +
                  "\r\n[Clicheo]\r\nServeurFTP=" + r.Photos.Address() +
                  "\r\nUser=photos@ftp.example\r\nPassWord=Photos42\r\nPathFTP=www/clicheo\r\n"
                  "[LEBONCOIN]\r\nServeurFTP=" + r.Portal.Address() + "\r\nUser=portail@ftp.example\r\n"
                  "PassWord=Portail42\r\nPathFTP=in\r\n"
                  "[INFOPRESS]\r\nServeurFTP=" + r.Portal.Address() + "\r\nTestFTPClicheo=1\r\n");
  r.WritePhoto("c1");
  r.WriteExport("InfoPress", Export("<DataVO><idNVO>5</idNVO><InfoMarque>FIAT</InfoMarque>"
                                    "<ModeleVersion>500</ModeleVersion></DataVO>",
                                    Link("5", "c1")));
  const auto res = r.Run("infopress");
  ASSERT_EQ(res.ExitStatus, 0) << res.Out << res.Err;
  EXPECT_EQ(Matches(r.Inst.WorkDir(), R"(InfoPress_\d{8}\.(xml|zip))").size(), 2u);
  const auto archives = Matches(r.Inst.WorkDir(), R"(InfoPress_\d{8}\.zip)");
  ASSERT_EQ(archives.size(), 1u);
  EXPECT_EQ(testsupport::RunProcess("/usr/bin/unzip", {"-tq", r.WorkFile(archives[0])}).ExitStatus, 0);
  EXPECT_NE(testsupport::PythonOutput(kFeedReader, {r.WorkFile(archives[0])}).find("annonce 5 |FIAT 500 (ref:5)|"), std::string::npos);
  EXPECT_TRUE(r.Portal.Commands().empty());
  EXPECT_EQ(r.Photos.Count("STOR"), 2);
  EXPECT_TRUE(std::regex_match(r.Inst.LogText("INFOPRESS"),
                               std::regex(R"(\S+ \S+ - Nb Images Mises à jour : 2 photos --- \r\n)")))
      << r.Inst.LogText("INFOPRESS");
}
