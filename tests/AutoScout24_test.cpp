// Whole AutoScout24 runs of the console program against a real portal server
// and a real photo server: the archive read back by independent readers, the
// CSV checked byte for byte in Windows-1252.
#include <gtest/gtest.h>

#include <regex>

#include "support/PortalRun.h"

using testsupport::ReadFile;
using testsupport::TPortalRun;
using testsupport::WriteFile;
using Lines = std::vector<std::string>;

namespace {

TPortalRun MakeRun(testsupport::TFtpServerOptions portal = {.User = "portail@ftp.example", .Password = "Portail42",
                                                            .Folder = "in"}) {
  return TPortalRun("AUTOSCOUT24", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH}, std::move(portal));
}

// Python's view of an archive: "test <first bad entry or None>", then each
// entry's name and bytes in hex, in archive order.
Lines ArchiveView(const std::string& archive) {
  const auto r = testsupport::RunPython(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1]) as z:\n"
      "    print('test', z.testzip())\n"
      "    for i in z.infolist(): print(i.filename, z.read(i).hex())\n",
      {archive});
  EXPECT_EQ(r.ExitStatus, 0) << r.Err;
  Lines lines;
  std::size_t start = 0;
  for (std::size_t end; (end = r.Out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(r.Out.substr(start, end - start));
  }
  const auto unzip = testsupport::RunProcess("/usr/bin/unzip", {"-t", archive});
  EXPECT_NE(unzip.Out.find("No errors detected"), std::string::npos) << unzip.Out << unzip.Err;
  return lines;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : bytes) hex += {digits[c >> 4], digits[c & 15]};
  return hex;
}

// A CSV line: 92 values, empty but for the columns given (1-based).
std::string CsvLine(std::initializer_list<std::pair<int, std::string>> columns) {
  std::vector<std::string> values(92);
  for (const auto& [column, value] : columns) values.at(column - 1) = value;
  std::string line;
  for (const auto& v : values) line += v + ";";
  return line + "\r\n";
}

// Messages of the log, without their date and time.
Lines LogMessages(const std::string& log) {
  Lines messages;
  std::size_t start = 0;
  for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    messages.push_back(log.substr(start + std::string("dd/mm/yyyy hh:nn:ss - ").size(), end - start - 22));
  }
  return messages;
}

std::string Photo(const std::string& name) { return "\xFF\xD8photo " + name + "\xFF\xD9"; }

}  // namespace

TEST(AutoScout24, RunStagesPhotosWritesTheCsvIn1252AndSendsOneArchive) {
  TPortalRun r = MakeRun();
  r.WriteIni("idClient=4455667788\r\n");
  // The export in its declared Latin-9 (œ is 0xBD there, € 0xA4).
  r.WriteExport("AutoScout24",
                "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document>"
                "<DataVOS EOF=\"False\" RecordName=\"DataVO\">"
                "<DataVO><idNVO>101</idNVO><IMarque>Citro\xEBn</IMarque><IModele>C4 Picasso</IModele>"
                "<IVersion>C4 Picasso 1.6 HDi</IVersion><Couleur>R\xE9" "cif \xBD \xA4 &#8594;</Couleur>"
                "<MoisMEC>11</MoisMEC><AnneeMEC>2015</AnneeMEC><Garantie>6 mois</Garantie>"
                "<InfoEquiInterieur>;Clim;GPS;</InfoEquiInterieur><InfoEquiExterieur></InfoEquiExterieur></DataVO>"
                "<DataVO><idNVO>102</idNVO></DataVO>"
                "<DataVO><idNVO>x</idNVO></DataVO>"
                "</DataVOS><LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">"
                "<LiensImages><idNVO>101</idNVO><NomImage>p1</NomImage></LiensImages>"
                "<LiensImages><idNVO>x</idNVO><NomImage>p1</NomImage></LiensImages>"
                "<LiensImages><idNVO>101</idNVO><NomImage>p2</NomImage></LiensImages>"
                "<LiensImages><idNVO>101</idNVO><NomImage>p3</NomImage></LiensImages>"
                "</LiensImagesS><LiensEquipementsS></LiensEquipementsS><Aliases></Aliases></document>\r\n");
  r.WritePhoto("p1");
  r.WritePhoto("p2");
  r.WritePhoto("p3", false);
  WriteFile(r.Photos.Root() + "/p2.jpg", "on the server");
  WriteFile(r.Photos.Root() + "/p2m.jpg", "on the server");
  // What a previous run left in the staging folder never reaches the archive.
  const std::string staging = r.Inst.TempDir() + "/AS24";
  WriteFile(staging + "/999_1.jpg", "old");
  WriteFile(staging + "/old/4455667788.csv", "old");

  const auto result = r.Run();
  ASSERT_EQ(result.ExitStatus, 0) << result.Out << result.Err;

  const std::string csv =
      CsvLine({{1, "4455667788"}, {2, "101"}, {3, "101_1.jpg"}, {4, "Citro\xEBn"}, {5, "C4 Picasso"}, {6, "1.6 HDi"},
               {7, "Voiture d\x92occasion"}, {10, "R\xE9" "cif \x9C \x80 ?"}, {14, "11.2015"}, {17, "0"}, {29, "0"},
               {32, "1"}, {33, "0"}, {34, "0"}, {35, "0"}, {36, "1"}, {37, "0"}, {38, "0"}, {39, "0"}, {40, "0"},
               {54, "0"}, {57, "0"}, {58, "0"}, {62, "0"}, {66, "0"}, {67, "0"}, {73, "1"}}) +
      CsvLine({{1, "4455667788"}, {2, "102"}, {7, "Voiture d\x92occasion"}, {14, "0."}, {17, "0"}, {29, "0"},
               {62, "0"}, {73, "0"}}) +
      CsvLine({{1, "4455667788"}, {2, "x"}, {7, "Voiture d\x92occasion"}, {14, "0."}, {17, "0"}, {29, "0"},
               {62, "0"}, {73, "0"}});
  EXPECT_EQ(ReadFile(staging + "/4455667788.csv"), csv);
  EXPECT_EQ(testsupport::ListFolder(staging), (Lines{"101_1.jpg", "101_2.jpg", "101_3.jpg", "4455667788.csv"}));
  // The previous staging, set aside during the run, is gone at its end.
  EXPECT_FALSE(testsupport::PathExists(staging + ".precedent"));

  const std::string sent = r.Portal.Root() + "/4455667788.zip";
  EXPECT_EQ(ReadFile(sent), ReadFile(r.WorkFile("4455667788.zip")));
  EXPECT_EQ(ArchiveView(sent), (Lines{"test None", "101_1.jpg " + Hex(Photo("p1")), "101_2.jpg " + Hex(Photo("p2")),
                                      "101_3.jpg " + Hex(Photo("p3")), "4455667788.csv " + Hex(csv)}));
  EXPECT_EQ(r.Portal.Count("STOR"), 1);
  // The photos travel in the archive: the photo server is only listed.
  EXPECT_EQ(r.Photos.Count("STOR"), 0);
  EXPECT_EQ(r.Photos.Count("NLST"), 1);

  const std::string archive = r.Inst.Windir() + "\\TEMP\\Annoncia\\4455667788.zip";
  const Lines memo = {" - Lecture du répertoire FTP Clicheo\n", " - Update 1 : p1.jpg\n", " - Update 2 : p1m.jpg\n",
                      " - Update 3 : p3.jpg\n", " - Pb Existence : p3m.jpg\n", " - Zip File : " + archive + "\n",
                      "Fichier " + archive + " créé\n", " - Début Transfert : " + archive + "\n", "-> \n",
                      " - Nb Images Mises à jour : 3 photos --- \n"};
  std::size_t at = 0;
  for (const std::string& line : memo) {
    const std::size_t found = result.Out.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << "\n" << result.Out;
    at = found + line.size();
  }
  EXPECT_EQ(LogMessages(r.Inst.LogText("AUTOSCOUT24")),
            (Lines{"Nb Images Mises à jour : 3 photos --- ",
                   "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : 4455667788.zip - 3 VO"}));

  // The export itself is kept, and saved unchanged under a time stamp.
  std::vector<std::string> copies;
  for (const auto& name : testsupport::ListFolder(r.Inst.WorkDir())) {
    if (std::regex_match(name, std::regex("20[0-9]{10}\\.xml"))) copies.push_back(name);
  }
  ASSERT_EQ(copies.size(), 1u);
  const std::string copy = ReadFile(r.WorkFile(copies[0]));
  EXPECT_NE(copy.find("<Couleur>R\xE9" "cif \xBD \xA4 &#8594;</Couleur>"), std::string::npos) << copy;
  EXPECT_NE(copy.find("<LiensImages><idNVO>101</idNVO><NomImage>p3</NomImage></LiensImages>"), std::string::npos);
  EXPECT_TRUE(testsupport::PathExists(r.WorkFile("ExpDatasAutoScout24.xml")));
}

TEST(AutoScout24, AnEmptyStockIsHeldBackUnlessEnvoiStockVideSaysSend) {
  TPortalRun r = MakeRun();
  r.WriteIni();
  r.WriteExport("AutoScout24", "<document><DataVOS></DataVOS><LiensImagesS></LiensImagesS></document>");
  const auto held = r.Run();
  EXPECT_EQ(held.ExitStatus, 3) << held.Out << held.Err;
  EXPECT_EQ(r.Portal.Count("STOR"), 0);
  EXPECT_TRUE(testsupport::PathExists(r.WorkFile("0123456789.zip")));  // built for the operator to look at
  EXPECT_EQ(LogMessages(r.Inst.LogText("AUTOSCOUT24")),
            Lines{"Flux retenu, non transmis : il ne contient aucun véhicule (EnvoiStockVide=1 dans la section "
                  "[AUTOSCOUT24] pour envoyer un stock vide)"});

  r.WriteIni("EnvoiStockVide=1\r\n");
  const auto result = r.Run();
  ASSERT_EQ(result.ExitStatus, 0) << result.Out << result.Err;
  EXPECT_EQ(ReadFile(r.Inst.TempDir() + "/AS24/0123456789.csv"), "");
  EXPECT_EQ(ArchiveView(r.Portal.Root() + "/0123456789.zip"), (Lines{"test None", "0123456789.csv "}));
  EXPECT_EQ(LogMessages(r.Inst.LogText("AUTOSCOUT24")),
            Lines{"Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : 0123456789.zip - 0 VO"});
}

TEST(AutoScout24, FailedUploadEndsTheRunWithTheFailureInTheLastLine) {
  TPortalRun r = MakeRun({.User = "portail@ftp.example", .Password = "Portail42", .Folder = "in", .CreateFolder = false});
  r.WriteIni("PathTemp=\\Temp\\Staging\r\n");
  r.WriteExport("AutoScout24", "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS></document>");
  const auto result = r.Run();
  EXPECT_EQ(result.ExitStatus, 3) << result.Out << result.Err;
  const Lines log = LogMessages(r.Inst.LogText("AUTOSCOUT24"));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(log[0].starts_with("Transfert FTP : Erreur ")) << log[0];
  EXPECT_TRUE(log[0].ends_with("Fichier VO actualisé transmis sur site FTP : 0123456789.zip - 1 VO")) << log[0];
  // The staging folder is PathTemp's: the archive holds only the staged files.
  EXPECT_EQ(ArchiveView(r.WorkFile("0123456789.zip")), (Lines{"test None", "0123456789.csv " + Hex(CsvLine(
      {{1, "0123456789"}, {2, "1"}, {7, "Voiture d\x92occasion"}, {14, "0."}, {17, "0"}, {29, "0"}, {62, "0"},
       {73, "0"}}))}));
}
