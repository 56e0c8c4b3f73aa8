// Whole TopAnnonces runs of the console program against a real portal FTP
// server and a real photo server; the archive is read back by unzip and by
// Python's zipfile, the feed by Python's XML parser.
#include <gtest/gtest.h>

#include <regex>

#include "support/PortalRun.h"

using testsupport::TPortalRun;

namespace {

// Prints what a TopAnnonces archive holds, one fact a line.
constexpr const char* kFeedReader = R"(
import sys, zipfile, xml.etree.ElementTree as ET
with zipfile.ZipFile(sys.argv[1]) as z:
    print("test", z.testzip())
    names = z.namelist()
    print("entries", names)
    data = z.read(names[0])
print("same as work file", data == open(sys.argv[2], "rb").read())
print("latin9", data.decode("iso-8859-15").encode("iso-8859-15") == data, b"\xa4" in data, b"&#8211;" in data)
root = ET.fromstring(data)
print("root", root.tag, len(root))
for a in root:
    print("annonce", a.findtext("reference"), a.findtext("carrosserie"), a.findtext("accroche_url"))
    print("  photos", [p.text for p in a.findall("liste_photos/photo")])
    print("  texte", a.findtext("texte"))
    c = a.findall("complements/complement")
    print("  complements", len(c), " ".join(e.get("type") + "=" + (e.text or "") for e in c[:4]), c[-1].get("type"))
    print("  gone", [t for t in ("MODELEVERSION", "EqutInterieur", "InfoComplement", "NOMPHOTO1") if a.find(t) is not None])
print("lookups", [t for t in ("LiensImagesS", "LiensEquipementsS", "Aliases", "DataVOS") if root.find(".//" + t) is not None])
)";

// The one name in a folder that matches pattern, or "".
std::string OnlyMatch(const std::string& folder, const std::string& pattern) {
  std::string found;
  for (const auto& name : testsupport::ListFolder(folder)) {
    if (std::regex_match(name, std::regex(pattern))) {
      EXPECT_EQ(found, "") << "two matches in " << folder;
      found = name;
    }
  }
  return found;
}

std::string Vehicle(const std::string& reference, const std::string& fields) {
  return "<DataVO><reference>" + reference + "</reference>" + fields + "<complements></complements></DataVO>";
}

}  // namespace

TEST(TopAnnonces, WholeRunSendsTheArchiveOfTheLatin9Feed) {
  TPortalRun r("TOPANNONCES", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  r.WriteIni();
  std::string slots;
  for (int k = 1; k <= 6; ++k) slots += "<NOMPHOTO" + std::to_string(k) + "></NOMPHOTO" + std::to_string(k) + ">";
  std::string links;
  for (const char* link : {"501:501_1", "501:501_2", "501:501_3", "501:501_4", "502:502_1", "501:501_5", "501:501_6",
                           "501:501_7", "999:999_1", "abc:abc_1"}) {
    const std::string s = link;
    const std::string id = s.substr(0, s.find(':')), name = s.substr(s.find(':') + 1);
    links += "<LiensImages><idNVO>" + id + "</idNVO><NomImage>" + name + "</NomImage></LiensImages>";
    r.WritePhoto(name);
  }
  r.WriteExport("TopAnnonces",
                "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<document>"
                "<DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">" +
                    Vehicle("501", "<marque>Citro\xEBn</marque><modele>C4</modele>"
                                   "<MODELEVERSION>C4 Picasso &#8211; Exclusive</MODELEVERSION>"
                                   "<EqutInterieur>;Clim;</EqutInterieur><EqutExterieur>;JantAll;</EqutExterieur>"
                                   "<EqutSecurite></EqutSecurite><InfoComplement></InfoComplement>"
                                   "<Garantie>12 mois</Garantie><Carrosserie>Monospace</Carrosserie>" + slots) +
                    // no photo slots at all, no MODELEVERSION..InfoComplement stretch
                    Vehicle("502", "<marque>Fiat</marque><Couleur>Bleu \xA4</Couleur>") +
                    "</DataVOS><LiensImagesS>" + links +
                    "</LiensImagesS><LiensEquipementsS>"
                    "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip><LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>"
                    "<LiensEquipements><AbbrEquip>JANTALL</AbbrEquip><LibelleEquipement>Jantes alu</LibelleEquipement></LiensEquipements>"
                    "<LiensEquipements><AbbrEquip>GAR</AbbrEquip><LibelleEquipement>Sous Garantie</LibelleEquipement></LiensEquipements>"
                    "</LiensEquipementsS><Aliases><Alias>x</Alias></Aliases></document>\n");

  const auto res = r.Run();
  ASSERT_EQ(res.ExitStatus, 0) << res.Out << res.Err;

  const std::string archive = OnlyMatch(r.Portal.Root(), R"(XXXXXX\d{14}\.zip)");
  ASSERT_NE(archive, "");
  const std::string feed = OnlyMatch(r.Inst.WorkDir(), R"(XXXXXX\d{14}\.xml)");
  const std::string workingCopy = OnlyMatch(r.Inst.WorkDir(), R"(TopAnnonces-\d{8}\.xml)");
  ASSERT_NE(workingCopy, "");
  EXPECT_EQ(testsupport::RunProcess("/usr/bin/unzip", {"-tq", r.Portal.Root() + "/" + archive}).ExitStatus, 0);

  const std::string url = TPortalRun::kUrlImages;
  std::string photos;
  for (int k = 1; k <= 6; ++k) photos += std::string(k > 1 ? ", " : "") + "'" + url + "/501_" + std::to_string(k) + ".jpg'";
  EXPECT_EQ(testsupport::PythonOutput(kFeedReader, {r.Portal.Root() + "/" + archive, r.WorkFile(workingCopy)}),
            "test None\n"
            "entries ['" + feed + "']\n"
            "same as work file True\n"
            "latin9 True True True\n"
            "root listepa 2\n"
            "annonce 501 Monospace Citroën C4 Picasso – Exclusive\n"
            "  photos [" + photos + "]\n"
            "  texte - Equipements Intérieurs : Climatisation - Equipements Extérieurs : Jantes alu"
            " - Garantie : 12 mois\n"
            "  complements 50 VS=Picasso – Exclusive S=Climatisation, Jantes alu O1=true O2=false IM\n"
            "  gone []\n"
            "annonce 502 None Fiat \n"
            "  photos ['" + url + "/502_1.jpg']\n"
            "  texte \n"
            "  complements 50 VS= S= O1= O2= IM\n"
            "  gone []\n"
            "lookups []\n");

  EXPECT_EQ(r.Photos.Count("STOR"), 20);  // every link, the seventh and the unmatched ones too
  EXPECT_NE(res.Out.find("Fichier " + r.Inst.Windir() + "\\TEMP\\Annoncia\\" + archive + " créé\n"), std::string::npos);
  const std::string log = r.Inst.LogText("TOPANNONCES");
  EXPECT_TRUE(std::regex_match(log, std::regex(
      R"(\S+ \S+ - Nb Images Mises à jour : 20 photos --- \r\n)"
      R"(\S+ \S+ - Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : )" + archive + R"( - 2 VO\r\n)")))
      << log;
}

TEST(TopAnnonces, FailedUploadStillFinishesTheRun) {
  // No photo links and none of the lookup sections; the portal's folder is missing.
  TPortalRun r("TOPANNONCES", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH},
               {.User = "portail@ftp.example", .Password = "Portail42", .Folder = "in", .CreateFolder = false});
  r.WriteIni();
  r.WriteExport("TopAnnonces", "<?xml version=\"1.0\"?><document><DataVOS EOF=\"False\" RecordName=\"DataVO\">" +
                                   Vehicle("7", "") + "</DataVOS></document>");
  const auto res = r.Run();
  EXPECT_EQ(res.ExitStatus, 3) << res.Out << res.Err;
  const std::string archive = OnlyMatch(r.Inst.WorkDir(), R"(XXXXXX\d{14}\.zip)");
  ASSERT_NE(archive, "");
  EXPECT_EQ(testsupport::RunProcess("/usr/bin/unzip", {"-tq", r.WorkFile(archive)}).ExitStatus, 0);
  const std::string log = r.Inst.LogText("TOPANNONCES");
  EXPECT_TRUE(std::regex_match(log, std::regex(R"(\S+ \S+ - Transfert FTP : [^\r\n]+\. Fichier VO actualisé )"
                                               R"(transmis sur site FTP : )" + archive + R"( - 1 VO\r\n)")))
      << log;
  for (const char* line : {"Avant Suppression LiensImages", "Avant Suppression LiensEquipements",
                           "Après Suppression LiensImages & LiensEquipements & Aliases", "Après Aliases"}) {
    EXPECT_NE(res.Out.find(line), std::string::npos) << line;
  }
}
