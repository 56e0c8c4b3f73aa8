// Whole ParuVendu runs of the console program against a portal and a photo
// FTP server.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "support/PortalRun.h"

using testsupport::ReadFile;
using testsupport::TPortalRun;

namespace {

// A data export as the stock system writes it: ISO-8859-15 bytes, every
// lookup section, three vehicles. 101 has eight photo links, 102 a pre-filled
// second slot and no slots 3 to 6, 103 no links and no make; two links name
// no vehicle ("999" and a number that is no number).
const std::string kExport =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document>"
    "<DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">"
    "<DataVO><idNVO>101</idNVO><SousRubrique>Renault</SousRubrique><ModeleVersion>RENAULT Clio 1.5 dCi</ModeleVersion>"
    "<Couleur>Blanc nacr\xE9</Couleur><EqutInterieur>;CLIM;abs;</EqutInterieur><EqutExterieur>;TO;</EqutExterieur>"
    "<EqutSecurite></EqutSecurite><InfoComplement>;XX;</InfoComplement>"
    "<NomPhoto1></NomPhoto1><NomPhoto2></NomPhoto2><NomPhoto3></NomPhoto3><NomPhoto4></NomPhoto4>"
    "<NomPhoto5></NomPhoto5><NomPhoto6></NomPhoto6></DataVO>"
    "<DataVO><idNVO>102</idNVO><SousRubrique>S\xE9rie</SousRubrique><ModeleVersion>Serie 3 320d</ModeleVersion>"
    "<Prix>21 900 \xA4</Prix><NomPhoto1></NomPhoto1><NomPhoto2>http://old.example/2.jpg</NomPhoto2>"
    "<Garantie>12 mois</Garantie></DataVO>"
    "<DataVO><idNVO>103</idNVO><SousRubrique></SousRubrique><ModeleVersion>Twingo  Life</ModeleVersion>"
    "<NomPhoto1></NomPhoto1><NomPhoto2></NomPhoto2><NomPhoto3></NomPhoto3><NomPhoto4></NomPhoto4>"
    "<NomPhoto5></NomPhoto5><NomPhoto6></NomPhoto6></DataVO>"
    "</DataVOS><LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_1</NomImage></LiensImages>"
    "<LiensImages><idNVO>0102</idNVO><NomImage>102_1</NomImage></LiensImages>"
    "<LiensImages><idNVO>999</idNVO><NomImage>lost_1</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_2</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_3</NomImage></LiensImages>"
    "<LiensImages><idNVO>1 or 1=1</idNVO><NomImage>odd_1</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_4</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_5</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_6</NomImage></LiensImages>"
    "<LiensImages><idNVO>102</idNVO><NomImage>102_2</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_7</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_8</NomImage></LiensImages>"
    "</LiensImagesS><LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">"
    "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip><LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>"
    "<LiensEquipements><AbbrEquip>ABS</AbbrEquip><LibelleEquipement>Freins ABS</LibelleEquipement></LiensEquipements>"
    "<LiensEquipements><AbbrEquip>TO</AbbrEquip><LibelleEquipement>Toit ouvrant \xE9lectrique</LibelleEquipement></LiensEquipements>"
    "</LiensEquipementsS><Aliases><Alias Nom=\"VO\">V\xE9hicules</Alias></Aliases></document>\r\n";

std::string Photo(int slot, const std::string& name) {
  return "<Photo Num=\"" + std::to_string(slot) + "\">" + std::string(TPortalRun::kUrlImages) + "/" + name +
         ".jpg</Photo>";
}

// The feed of kExport with FlgInfoEquip on, as UTF-8 bytes.
std::string ExpectedFeed() {
  std::string v101;
  for (int k = 1; k <= 6; ++k) v101 += Photo(k, "101_" + std::to_string(k));
  // The switch on, a vehicle without equipment fields gets them, empty, at its end.
  const std::string noEquipment =
      "<EqutInterieur></EqutInterieur><EqutExterieur></EqutExterieur><EqutSecurite></EqutSecurite>"
      "<InfoComplement></InfoComplement>";
  std::string empty103;
  for (int k = 1; k <= 6; ++k) empty103 += "<Photo Num=\"" + std::to_string(k) + "\"></Photo>";
  return "<?xml version=\"1.0\"?>\n<document>"
         "<DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">"
         "<DataVO><id-VO>101</id-VO><SousRubrique>Renault</SousRubrique><ModeleVersion>Clio 1.5 dCi</ModeleVersion>"
         "<Couleur>Blanc nacr\xC3\xA9</Couleur><EqutInterieur>Climatisation, Freins ABS</EqutInterieur>"
         "<EqutExterieur>Toit ouvrant \xC3\xA9lectrique</EqutExterieur><EqutSecurite></EqutSecurite>"
         "<InfoComplement></InfoComplement>" + v101 + "</DataVO>"
         "<DataVO><id-VO>102</id-VO><SousRubrique>S\xC3\xA9rie</SousRubrique><ModeleVersion>3 320d</ModeleVersion>"
         "<Prix>21 900 \xE2\x82\xAC</Prix>" + Photo(1, "102_1") + "<Photo Num=\"2\">http://old.example/2.jpg</Photo>"
         "<Garantie>12 mois</Garantie>" + noEquipment + Photo(3, "102_2") + "</DataVO>"
         "<DataVO><id-VO>103</id-VO><SousRubrique></SousRubrique><ModeleVersion>Twingo  Life</ModeleVersion>" +
         empty103 + noEquipment + "</DataVO></DataVOS></document>\n";
}

std::string Today() {
  const std::time_t t = std::time(nullptr);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y%m%d", std::localtime(&t));
  return buf;
}

// The messages of an activity log, without their date and time.
std::vector<std::string> LogMessages(const std::string& log) {
  std::vector<std::string> messages;
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t end = log.find("\r\n", start);
    const std::string line = log.substr(start, end - start);
    EXPECT_EQ(line.substr(19, 3), " - ") << line;  // "dd/mm/yyyy hh:nn:ss - "
    messages.push_back(line.substr(22));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return messages;
}

std::string FeedPath(const TPortalRun& r, const std::string& date) {
  return r.Inst.Windir() + "\\TEMP\\Annoncia\\RovelleDatasVO-" + date + ".xml";
}

}  // namespace

TEST(ParuVenduRun, BuildsSavesAndSendsTheFeed) {
  TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  r.WriteIni("FlgInfoEquip=1\r\n");
  r.WriteExport("ParuVendu", kExport);
  for (int k = 1; k <= 8; ++k) r.WritePhoto("101_" + std::to_string(k));
  r.WritePhoto("102_1");
  r.WritePhoto("lost_1");
  r.WritePhoto("odd_1", false);
  testsupport::WriteFile(r.Inst.TempDir() + "/VovazePARUVENDU.log", "stock system");
  const std::string before = Today();
  const auto res = r.Run();
  const std::string after = Today();
  ASSERT_EQ(res.ExitStatus, 0) << res.Out << res.Err;
  EXPECT_EQ(res.Err, "");

  // The two saved files: the feed under the day's name, its copy under the minute's;
  // beside them the data export, the portal's run lock and the count of the feed sent.
  auto files = r.Inst.WorkFiles();
  ASSERT_EQ(files.size(), 5u);
  EXPECT_EQ(files[1], "AnnonciaPARUVENDU.lock");
  EXPECT_EQ(files[2], "DernierEnvoiPARUVENDU.txt");
  EXPECT_EQ(ReadFile(r.WorkFile(files[2])), "3\n");
  files.erase(files.begin() + 1, files.begin() + 3);
  EXPECT_EQ(files[2], "RovelleDatasVO-" + files[0].substr(0, 8) + ".xml");
  EXPECT_EQ(files[0].size(), 16u);
  EXPECT_EQ(files[0].find_first_not_of("0123456789"), 12u);
  const std::string date = files[0].substr(0, 8);
  EXPECT_TRUE(date == before || date == after) << date;
  const std::string feed = ReadFile(r.WorkFile(files[2]));
  EXPECT_EQ(feed, ExpectedFeed());
  EXPECT_EQ(ReadFile(r.WorkFile(files[0])), feed);

  // The portal got the same bytes under the bare name, in its folder, sent
  // under a temporary name first.
  EXPECT_EQ(r.Portal.Arguments("STOR"), std::vector<std::string>{files[2] + ".part"});
  EXPECT_EQ(r.Portal.Arguments("RNTO"), std::vector<std::string>{files[2]});
  EXPECT_EQ(testsupport::ListFolder(r.Portal.Root()), std::vector<std::string>{files[2]});
  EXPECT_EQ(ReadFile(r.Portal.Root() + "/" + files[2]), feed);
  // Every link's photo and thumbnail was synchronised, whether it filled a
  // slot or not: 8 + 1 + 1 photos with thumbnails, one without.
  EXPECT_EQ(r.Photos.Count("STOR"), 21);
  EXPECT_EQ(ReadFile(r.Photos.Root() + "/101_8m.jpg"), "\xFF\xD8thumbnail 101_8\xFF\xD9");
  EXPECT_TRUE(testsupport::PathExists(r.Photos.Root() + "/lost_1.jpg"));
  EXPECT_TRUE(testsupport::PathExists(r.Photos.Root() + "/odd_1.jpg"));

  EXPECT_FALSE(testsupport::PathExists(r.Inst.TempDir() + "/VovazePARUVENDU.log"));
  EXPECT_EQ(LogMessages(r.Inst.LogText("PARUVENDU")),
            (std::vector<std::string>{
                "Nb Images Mises à jour : 21 photos --- ",
                "Début Transfert : " + FeedPath(r, date) + " - 3 VO - 12 photos",
                "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : PARUVENDU - " + FeedPath(r, date)}));

  // The memo shows every step, in order.
  std::size_t at = 0;
  for (const char* step :
       {"Après premier Select DataVO\n", "Après premier Select LiensImages\n", "Update 1 : 101_1.jpg\n",
        "Avant Suppression LiensImages\n", "Avant Suppression LiensEquipements\n",
        "Après Suppression LiensImages & LiensEquipements & Aliases\n", "Après Aliases\n",
        "Result : <?xml version=\"1.0\"?>\n<document><DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">"
        "<DataVO><id-VO>101</id-VO>",
        "Après Replacements\n", "Avant Enregistrement\n", "\n-> \n", "Nb Images Mises à jour : 21 photos",
        "Début Transfert : ", "Transfert FTP OK : Fichier VO actualisé"}) {
    const std::size_t found = res.Out.find(step, at);
    ASSERT_NE(found, std::string::npos) << step << "\n" << res.Out;
    at = found + 1;
  }
}

TEST(ParuVenduRun, AFailedUploadIsReportedAndEndsWithStatus3) {
  // The portal's folder is missing; the equipment switch is off and no photo
  // is on disk, so nothing is sent to the photo server.
  TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH},
               {.User = "portail@ftp.example", .Password = "Portail42", .Folder = "in", .CreateFolder = false});
  r.WriteIni("FlgInfoEquip=0\r\n");
  r.WriteExport("ParuVendu", kExport);
  const auto res = r.Run();
  EXPECT_EQ(res.ExitStatus, 3) << res.Out << res.Err;

  const std::string feed = ReadFile(r.WorkFile("RovelleDatasVO-" + Today() + ".xml"));
  EXPECT_NE(feed.find("<EqutInterieur>;CLIM;abs;</EqutInterieur><EqutExterieur>;TO;</EqutExterieur>"
                      "<EqutSecurite></EqutSecurite><InfoComplement>;XX;</InfoComplement>"),
            std::string::npos);
  EXPECT_EQ(r.Portal.Count("STOR"), 0);
  EXPECT_EQ(r.Photos.Count("STOR"), 0);
  const auto messages = LogMessages(r.Inst.LogText("PARUVENDU"));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Début Transfert : " + FeedPath(r, Today()) + " - 3 VO - 12 photos");
  EXPECT_EQ(messages[1], "Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé transmis sur site FTP : "
                         "PARUVENDU - " + FeedPath(r, Today()));
}

TEST(ParuVenduRun, AMissingDataExportEndsTheRunWithTheCursorsError) {
  TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  r.WriteIni();
  std::filesystem::remove_all(r.Inst.WorkDir());
  const auto res = r.Run();
  EXPECT_EQ(res.ExitStatus, 1);
  const std::string path = r.Inst.Windir() + "\\TEMP\\Annoncia\\ExpDatasParuVendu.xml";
  EXPECT_EQ(res.Err.rfind("TXMLCursor.Load FileName[" + path + "] does not exists\n", 0), 0u) << res.Err;
  // The work folder is made, nothing but the run lock is written into it, nothing is sent.
  EXPECT_TRUE(testsupport::PathExists(r.Inst.WorkDir()));
  EXPECT_EQ(r.Inst.WorkFiles(), std::vector<std::string>{"AnnonciaPARUVENDU.lock"});
  EXPECT_EQ(r.Portal.Count("USER"), 0);
  EXPECT_EQ(res.Out.find("Début Transfert"), std::string::npos);
}
