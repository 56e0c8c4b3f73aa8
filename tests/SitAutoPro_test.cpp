// Whole SitAutoPro runs of the console program against real FTP servers; the
// archive and the feed are read back with Python's own zip and XML readers.
#include <gtest/gtest.h>

#include <regex>

#include "support/PortalRun.h"

using testsupport::ReadFile;
using testsupport::TPortalRun;

namespace {

// Python's view of an archive holding one feed: the names in the archive,
// the CRC check, whether the entry equals the local feed file, and the
// feed's tree (root and code, then per ANNONCE its REFERENCE and PHOTO texts).
testsupport::TProcessResult InspectArchive(const std::string& archive, const std::string& feed) {
  static const char* kScript = R"(
import sys, zipfile, xml.etree.ElementTree as ET
z = zipfile.ZipFile(sys.argv[1])
print(z.namelist(), z.testzip(), z.read(z.namelist()[0]) == open(sys.argv[2], 'rb').read())
root = ET.parse(sys.argv[2]).getroot()
print(root.tag, root.get('CODE'), len(root.findall('COORDONNEES')), root.findtext('COORDONNEES/VILLE'))
for a in root.findall('ANNONCE'):
    print(a.findtext('REFERENCE'), len(a.findall('PHOTOS')), [p.text for p in a.findall('PHOTOS/PHOTO')])
print(root.find('ANNONCE').findtext('COMMENTAIRE'))
)";
  return testsupport::RunPython(kScript, {archive, feed});
}

// The log's messages, without their date and time.
std::vector<std::string> LogMessages(const std::string& log) {
  static const std::regex kLine(R"((\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - )([^\r]*)\r\n)");
  std::vector<std::string> messages;
  for (std::sregex_iterator it(log.begin(), log.end(), kLine), end; it != end; ++it) messages.push_back((*it)[2]);
  return messages;
}

const char* const kVehicleTail =
    "<EQUTINTERIEUR>;RadCD;Clim;</EQUTINTERIEUR><EQUTEXTERIEUR>;JantAll;</EQUTEXTERIEUR>"
    "<EQUTSECURITE>;ABS;</EQUTSECURITE><INFOCOMPLEMENT>;VNF;</INFOCOMPLEMENT>";

}  // namespace

TEST(SitAutoProRun, FeedPackedAloneAndSentUnderItsConfiguredName) {
  TPortalRun r("SITAUTOPRO", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  r.WriteIni("FileResult=XY000001.xml\r\nFileResultZip=XY000001.zip\r\n");
  r.WriteExport("SitAutoPro",
                "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document>\r\n"
                "<COORDONNEESS EOF=\"False\" BOF=\"False\" RecordName=\"COORDONNEES\"><COORDONNEES>"
                "<CODECLIENT>XY000001</CODECLIENT><VILLE>Besan\xE7on</VILLE></COORDONNEES></COORDONNEESS>\r\n"
                "<DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">\r\n"
                "<DataVO><REFERENCE>10</REFERENCE><MODELE>Clio</MODELE><VERSION>Clio dCi</VERSION>"
                "<COMMENTAIRE>&#233;t&#233; &#8364; &#338;uvre &#10003;</COMMENTAIRE>" +
                    std::string(kVehicleTail) +
                    "<NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3><NOMPHOTO4></NOMPHOTO4>"
                    "<NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6></DataVO>\r\n"
                    // an older export template: two slots only
                    "<DataVO><REFERENCE>20</REFERENCE><NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2>" +
                    kVehicleTail +
                    "</DataVO>\r\n</DataVOS>\r\n"
                    "<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">"
                    "<LiensImages><idNVO>10</idNVO><NomImage>10_1</NomImage></LiensImages>"
                    "<LiensImages><idNVO>20</idNVO><NomImage>20_1</NomImage></LiensImages>"
                    "<LiensImages><idNVO>99</idNVO><NomImage>99_1</NomImage></LiensImages>"
                    "<LiensImages><idNVO>10</idNVO><NomImage>10_2</NomImage></LiensImages>"
                    "</LiensImagesS>\r\n<LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">"
                    "</LiensEquipementsS><Aliases></Aliases>\r\n</document>\r\n");
  for (const char* photo : {"10_1", "10_2", "20_1", "99_1"}) r.WritePhoto(photo);
  testsupport::WriteFile(r.Photos.Root() + "/20_1.jpg", "already there");
  testsupport::WriteFile(r.Photos.Root() + "/20_1m.jpg", "already there");

  const auto result = r.Run();
  ASSERT_EQ(result.ExitStatus, 0) << result.Out << result.Err;

  const std::string feed = r.WorkFile("XY000001.xml");
  const std::string archive = r.WorkFile("XY000001.zip");
  EXPECT_EQ(ReadFile(r.Portal.Root() + "/XY000001.zip"), ReadFile(archive));
  EXPECT_EQ(r.Portal.Arguments("STOR"), std::vector<std::string>{"XY000001.zip.part"});
  EXPECT_EQ(r.Portal.Arguments("RNTO"), std::vector<std::string>{"XY000001.zip"});
  // 10_1, 10_2 and 99_1 (no vehicle, still synchronised), each with its thumbnail.
  EXPECT_EQ(r.Photos.Count("STOR"), 6);

  const auto inspected = InspectArchive(archive, feed);
  EXPECT_EQ(inspected.Out,
            "['XY000001.xml'] None True\n"
            "CLIENT XY000001 1 Besan\xC3\xA7on\n"
            "10 1 ['http://photos.example/vo/10_1.jpg', 'http://photos.example/vo/10_2.jpg']\n"
            "20 1 ['http://photos.example/vo/20_1.jpg']\n"
            "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xC5\x92uvre \xE2\x9C\x93\n")
      << inspected.Err;

  // Latin-9 bytes: é, €, Œ as single bytes, a character outside as a reference.
  const std::string bytes = ReadFile(feed);
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>", 0), 0u);
  EXPECT_NE(bytes.find("<COMMENTAIRE>\xE9t\xE9 \xA4 \xBCuvre &#10003;</COMMENTAIRE>"), std::string::npos);
  EXPECT_NE(bytes.find("<VERSION>dCi</VERSION>"), std::string::npos);
  // The day's working copy ends equal to the feed.
  std::vector<std::string> copies;
  for (const std::string& name : testsupport::ListFolder(r.Inst.WorkDir())) {
    if (std::regex_match(name, std::regex(R"(SitAutoPro-\d{8}\.xml)"))) copies.push_back(name);
  }
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadFile(r.WorkFile(copies[0])), bytes);

  // The log was restarted once after packing: what it holds is the end of the run.
  EXPECT_EQ(LogMessages(r.Inst.LogText("SITAUTOPRO")),
            (std::vector<std::string>{"Nb Images Mises à jour : 6 photos --- ",
                                      "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : XY000001.zip - 2 VO"}));
  EXPECT_NE(result.Out.find("\nFichier " + r.Inst.Windir() + "\\TEMP\\Annoncia\\XY000001.zip créé\n"),
            std::string::npos)
      << result.Out;
}

// No photo sent: a second log restart before packing and no photo count; a
// portal folder that is missing makes a failed upload, which still finishes
// the run; no COORDONNEES section gives the code XXXXXX.
TEST(SitAutoProRun, NoPhotoSentAndUploadRefused) {
  TPortalRun r("SITAUTOPRO", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH},
               {.User = "portail@ftp.example", .Password = "Portail42", .Folder = "in", .CreateFolder = false});
  r.WriteIni();
  r.WriteExport("SitAutoPro",
                "<?xml version=\"1.0\"?><document><DataVOS EOF=\"False\" RecordName=\"DataVO\">"
                "<DataVO><REFERENCE>1</REFERENCE>" + std::string(kVehicleTail) + "</DataVO></DataVOS>"
                "<LiensImagesS><LiensImages><idNVO>1</idNVO><NomImage>absent</NomImage></LiensImages></LiensImagesS>"
                "</document>");
  const auto result = r.Run();
  EXPECT_EQ(result.ExitStatus, 3) << result.Out << result.Err;
  EXPECT_EQ(r.Photos.Count("STOR"), 0);
  EXPECT_EQ(r.Portal.Count("STOR"), 0);

  const auto messages = LogMessages(r.Inst.LogText("SITAUTOPRO"));
  ASSERT_EQ(messages.size(), 1u) << r.Inst.LogText("SITAUTOPRO");
  EXPECT_EQ(messages[0].rfind("Transfert FTP : Erreur", 0), 0u) << messages[0];
  EXPECT_NE(messages[0].find(". Fichier VO actualisé transmis sur site FTP : SA123456.zip - 1 VO"), std::string::npos);
  // Console: a restart, the packing line, a restart, the outcome.
  const std::size_t saved = result.Out.find("Avant Enregistrement\n");
  ASSERT_NE(saved, std::string::npos);
  EXPECT_NE(result.Out.find("\n-> \nFichier " + r.Inst.Windir() + "\\TEMP\\Annoncia\\SA123456.zip créé\n-> \n", saved),
            std::string::npos)
      << result.Out;

  const auto inspected = InspectArchive(r.WorkFile("SA123456.zip"), r.WorkFile("SA123456.xml"));
  EXPECT_EQ(inspected.Out,
            "['SA123456.xml'] None True\nCLIENT XXXXXX 0 None\n1 1 ['http://photos.example/vo/absent.jpg']\nNone\n")
      << inspected.Err;
}
