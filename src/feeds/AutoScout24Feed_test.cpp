#include "feeds/AutoScout24Feed.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/RecordingWindow.h"
#include "support/TestSupport.h"
#include "xmldoc/XMLUtils.h"

using namespace feeds;
using Values = std::vector<std::string>;

namespace {

// The values of one CSV line, checking that every value is followed by ";"
// and the line ends with CR LF.
Values Split(const std::string& line) {
  EXPECT_TRUE(line.ends_with(";\r\n")) << line;
  Values values;
  std::size_t start = 0;
  for (std::size_t end; (end = line.find(';', start)) != std::string::npos; start = end + 1) {
    values.push_back(line.substr(start, end - start));
  }
  EXPECT_EQ(line.substr(start), "\r\n");
  return values;
}

// 92 values, empty but for the columns given (1-based).
Values Expected(std::initializer_list<std::pair<int, const char*>> columns) {
  Values v(92);
  for (const auto& [column, value] : columns) v.at(column - 1) = value;
  return v;
}

std::string Line(const std::string& vehicleXml, bool hasPhotos) {
  auto doc = xmldoc::TXMLCursor::Create();
  doc->LoadXML("<document><DataVOS><DataVO>" + vehicleXml + "</DataVO></DataVOS></document>");
  std::string csv = "previous line\r\n";
  AppendAutoScout24Line(csv, "0123456789", *doc->Select("/document/DataVOS/DataVO"), hasPhotos);
  EXPECT_TRUE(csv.starts_with("previous line\r\n"));  // the buffer grows, nothing is replaced
  return csv.substr(15);
}

}  // namespace

// The two vehicles carry complementary equipment lists, with codes of the
// other lists mixed in, so every flag column reads 1 for one and 0 for the
// other only when it tests the right code in the right list.
TEST(AutoScout24Line, EveryColumnComesFromItsSource) {
  const std::string first =
      "<idNVO>7</idNVO><IMarque>Peugeot</IMarque><IModele>308</IModele><IVersion>308 1.6 HDi Allure</IVersion>"
      "<TypeBoiteVitesse>Manuelle</TypeBoiteVitesse><TypeCarrosserie>Berline</TypeCarrosserie>"
      "<Couleur>Gris Aluminium</Couleur><Energie>Diesel</Energie><MoisMEC>3</MoisMEC><AnneeMEC>2007</AnneeMEC>"
      "<Kilometrage>85000</Kilometrage><PrixDuBien>9990</PrixDuBien><NombreDePortes>05</NombreDePortes>"
      "<NbPlaces>5</NbPlaces><Puissance>110</Puissance><Garantie>12</Garantie><NChassis>VF3ABC</NChassis>"
      "<Immatriculation>AB-123-CD</Immatriculation>"
      "<InfoEquiInterieur>;Clim;SCuir;GPS;ToitOuvr;RadCD;DirAss;RegVit;ABS;ESP;PMat;</InfoEquiInterieur>"
      "<InfoEquiSecurite>;AirbagCond;AirbagLat;VerCent;AntiDem;AntiBrou;Clim;Tuning;</InfoEquiSecurite>"
      "<InfoEquiExterieur>;PMat;JantAll;Radrecul;;ABS;GPS;</InfoEquiExterieur>";
  EXPECT_EQ(Split(Line(first, true)),
            Expected({{1, "0123456789"}, {2, "7"}, {3, "7_1.jpg"}, {4, "Peugeot"}, {5, "308"},
                      {6, "1.6 HDi Allure"}, {7, "Voiture d’occasion"}, {8, "Manuelle"}, {9, "Berline"},
                      {10, "Gris Aluminium"}, {11, "1"}, {13, "Diesel"}, {14, "03.2007"}, {15, "85000"},
                      {16, "9990"}, {17, "5"}, {18, "5"}, {20, "110"}, {29, "12"},
                      {32, "1"}, {33, "0"}, {34, "1"}, {35, "0"}, {36, "1"}, {37, "0"}, {38, "1"}, {39, "0"},
                      {40, "1"}, {41, "0"}, {42, "1"}, {43, "0"}, {44, "1"}, {45, "0"}, {46, "1"}, {47, "0"},
                      {48, "1"}, {49, "0"}, {51, "0"}, {52, "1"}, {53, "0"}, {54, "0"}, {55, "1"}, {56, "1"},
                      {57, "1"}, {58, "0"}, {62, "0"}, {64, "0"}, {65, "0"}, {66, "1"}, {67, "0"}, {73, "1"},
                      {82, "VF3ABC"}, {86, "1"}, {90, "110"}, {91, "AB-123-CD"}}));

  const std::string second =
      "<idNVO>8</idNVO><IMarque>Citroën</IMarque><IModele>C3</IModele><NombreDePortes>5 portes</NombreDePortes>"
      "<Garantie>12 mois</Garantie>"
      "<InfoEquiInterieur>;ClimAuto;VitreElec;SElect;SChauf;OrdiBord;RadCass;EquHandi;</InfoEquiInterieur>"
      "<InfoEquiSecurite>;ABS;AirbagPass;LXen;Alarme;AntiPat;ESP;</InfoEquiSecurite>"
      "<InfoEquiExterieur>;Tuning;PorBag;AttRem;</InfoEquiExterieur>";
  EXPECT_EQ(Split(Line(second, false)),
            Expected({{1, "0123456789"}, {2, "8"}, {4, "Citroën"}, {5, "C3"}, {7, "Voiture d’occasion"},
                      {11, "0"}, {14, "0."}, {17, "0"}, {29, "0"},
                      {32, "0"}, {33, "1"}, {34, "0"}, {35, "1"}, {36, "0"}, {37, "1"}, {38, "0"}, {39, "1"},
                      {40, "0"}, {41, "1"}, {42, "0"}, {43, "1"}, {44, "0"}, {45, "1"}, {46, "0"}, {47, "1"},
                      {48, "0"}, {49, "1"}, {51, "1"}, {52, "0"}, {53, "1"}, {54, "1"}, {55, "0"}, {56, "0"},
                      {57, "0"}, {58, "1"}, {62, "0"}, {64, "1"}, {65, "1"}, {66, "0"}, {67, "1"}, {73, "1"},
                      {86, "0"}}));
}

TEST(AutoScout24Line, EmptyListsGiveEmptyFlagsAndEmptyWarrantyGivesZeros) {
  EXPECT_EQ(Split(Line("<idNVO>9</idNVO><Garantie></Garantie>", false)),
            Expected({{1, "0123456789"}, {2, "9"}, {7, "Voiture d’occasion"}, {14, "0."}, {17, "0"}, {29, "0"},
                      {62, "0"}, {73, "0"}}));
  // A code must stand between two ";".
  EXPECT_EQ(Split(Line("<InfoEquiInterieur>Clim;ABS</InfoEquiInterieur>", false))[31], "0");
}

TEST(AutoScout24Line, ValuesAreWrittenAsTheyStandButNeverBreakTheLineOrShiftColumns) {
  const std::string line = Line(
      "<idNVO>5</idNVO><Couleur>Noir;Métal;</Couleur><IMarque> Audi \r\nA4&#13;</IMarque><PrixDuBien>9990</PrixDuBien>",
      false);
  EXPECT_NE(line.find(";5;; Audi  A4 ;"), std::string::npos) << line;  // nothing trimmed, CR and LF blanked
  EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 2) << line;
  // A ";" inside a value becomes ",": every later value stays in its column.
  const Values values = Split(line);
  ASSERT_EQ(values.size(), 92u);
  EXPECT_EQ(values[9], "Noir,Métal,");
  EXPECT_EQ(values[15], "9990");
}

TEST(AutoScout24Columns, FirstRegistrationAndIntegers) {
  const struct { const char* month; const char* year; const char* column; } dates[] = {
      {"3", "2007", "03.2007"}, {"12", "2007", "12.2007"}, {"03", "2007", "03.2007"},
      {"", "", "0."},           {"3", "07", "03.07"},      {"é", "2007", "0é.2007"},  // counted in characters
  };
  for (const auto& d : dates) EXPECT_EQ(FirstRegistrationColumn(d.month, d.year), d.column) << d.month << d.year;

  const std::pair<const char*, const char*> integers[] = {
      {"05", "5"}, {"5 portes", "0"}, {"12 mois", "0"}, {"", "0"},           {"-3", "-3"},
      {"+4", "4"}, {"+-4", "0"},      {"1.5", "0"},     {" 5", "0"},         {"2147483647", "2147483647"},
      {"2147483648", "0"},
  };
  for (const auto& [text, column] : integers) EXPECT_EQ(IntegerColumn(text), column) << text;
}

TEST(TPhotoLinks, LinksOfAVehicleByNumericValueInDocumentOrder) {
  auto doc = xmldoc::TXMLCursor::Create();
  std::string xml = "<document><LiensImagesS>";
  for (const auto& [id, name] : std::vector<std::pair<const char*, const char*>>{
           {"7", "a"}, {"12", "x"}, {" 07 ", "b"}, {"7.0", "c"}, {"abc", "d"}, {"", "e"}, {"1", "f"}}) {
    xml += std::string("<LiensImages><idNVO>") + id + "</idNVO><NomImage>" + name + "</NomImage></LiensImages>";
  }
  doc->LoadXML(xml + "</LiensImagesS></document>");
  const TPhotoLinks links(*doc);
  const std::pair<const char*, Values> cases[] = {
      {"7", {"a", "b", "c"}}, {"0007", {"a", "b", "c"}}, {"12", {"x"}}, {"13", {}}, {"abc", {}},
      {"", {}},               {"1 or 1=1", {}},          {"7.0", {}},   {" 7", {}}, {"-1", {}},
  };
  for (const auto& [idNVO, names] : cases) EXPECT_EQ(links.Of(idNVO), names) << idNVO;
}

TEST(CheckStagingFolder, ComparesRealFoldersNotPathText) {
  testsupport::TTempDir top;
  const std::string windir = top / "win";
  testsupport::MakeDirs(windir + "/TEMP/Annoncia");
  testsupport::MakeDirs(windir + "/TEMP/AS24");
  testsupport::MakeDirs(windir + "/TEMP/other");
  testsupport::MakeDirs(windir + "/images/sub");
  testsupport::MakeDirs(top / "outside");
  testsupport::WriteFile(windir + "/afile", "x");
  std::filesystem::create_symlink(windir + "/TEMP/Annoncia", windir + "/linkToWork");
  std::filesystem::create_symlink(windir + "/TEMP/other", windir + "/TEMP/AS24/lnk");
  std::filesystem::create_symlink(top / "outside", windir + "/TEMP/out");
  const std::vector<std::string> kept = {windir + "\\TEMP\\Annoncia", windir + "/images"};
  struct Case { const char* pathTemp; std::string why; } const cases[] = {  // no why: accepted
      {"\\Temp\\AS24", ""},
      {"\\Temp\\New\\AS24", ""},  // made by the run
      {"\\Temp\\AS24\\lnk", ""},  // a link to a folder of its own
      {"", "il n'est pas dans le dossier Windows"},
      {"\\..\\outside", "il n'est pas dans le dossier Windows"},
      {"\\..\\..\\..\\..\\..\\..\\..\\tmp\\x", "il n'est pas dans le dossier Windows"},
      {"\\Temp\\out", "il n'est pas dans le dossier Windows"},
      {"\\Temp", "il contient " + kept[0]},
      {"\\TEMP\\ANNONCIA", "il contient " + kept[0]},
      {"\\linkToWork", "il contient " + kept[0]},
      {"\\Temp\\AS24\\lnk\\..\\Annoncia", "il contient " + kept[0]},
      {"\\TEMP\\Annoncia\\AS24", "il est dans " + kept[0]},
      {"\\images\\sub", "il est dans " + kept[1]},
      {"\\afile", "c'est un fichier"},
  };
  for (const auto& [pathTemp, why] : cases) {
    const std::string staging = windir + pathTemp;
    if (why.empty()) {
      EXPECT_NO_THROW(CheckStagingFolder(staging, windir, kept)) << pathTemp;
      continue;
    }
    try {
      CheckStagingFolder(staging, windir, kept);
      ADD_FAILURE() << pathTemp;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).find("Dossier PathTemp refusé, " + why), 0u) << e.what();
      EXPECT_TRUE(std::string(e.what()).ends_with(" : " + staging)) << e.what();
    }
  }
}

TEST(BuildAutoScout24Feed, RefusesAStagingFolderHoldingTheWorkOrPhotoFolder) {
  testsupport::TTempDir windir;
  setenv("WINDIR", windir.Path().c_str(), 1);
  const std::string exportPath = windir / "TEMP/Annoncia/ExpDatasAutoScout24.xml";
  testsupport::WriteFile(exportPath, "<document><DataVOS></DataVOS></document>");
  testsupport::WriteFile(windir / "images/1.jpg", "photo");
  std::filesystem::create_symlink(windir / "TEMP/Annoncia", windir / "linkToWork");
  for (const char* pathTemp : {"", "\\Temp", "\\TEMP\\Annoncia", "\\images\\..", "\\linkToWork"}) {
    SCOPED_TRACE(pathTemp);
    testsupport::WriteFile(windir / "annoncia.ini", std::string("[AUTOSCOUT24]\r\nPathTemp=") + pathTemp + "\r\n");
    testsupport::TRecordingWindow window;
    shell::TRunControl run{window, {}, windir / "annoncia"};
    run.BeginRun({.Option = "AUTOSCOUT24", .SettingsFile = windir / "annoncia.ini", .PathImages = windir / "images"});
    transfer::TTransfers transfers(run);
    feeds::TFeedRun feed{run, transfers};
    EXPECT_THROW(BuildAutoScout24Feed(feed), std::runtime_error);
    EXPECT_TRUE(testsupport::PathExists(exportPath));
    EXPECT_TRUE(testsupport::PathExists(windir / "images/1.jpg"));
  }
}

// The previous staging goes aside whole, with nothing of it left where the
// new one is made, and a leftover of a stopped run is cleared first; what is
// not a folder of ours is never deleted, nor anything a link points to.
TEST(SetStagingAside, MovesThePreviousStagingAwayAndNeverFollowsOrDeletesForeignFiles) {
  testsupport::TTempDir top;
  const std::string windir = top / "win";
  const std::string staging = windir + "/TEMP/AS24";
  const std::string aside = windir + "/TEMP/AS24.precedent";
  const std::vector<std::string> kept = {windir + "/TEMP/Annoncia", windir + "/images"};
  testsupport::MakeDirs(windir + "/TEMP/Annoncia");
  testsupport::WriteFile(windir + "/images/1.jpg", "photo");
  EXPECT_EQ(StagingAsideFolder(windir + "\\TEMP\\AS24\\"), windir + "\\TEMP\\AS24.precedent");

  // No staging folder yet.
  EXPECT_EQ(SetStagingAside(staging, windir, kept), "");
  EXPECT_FALSE(testsupport::PathExists(aside));

  // A staging folder, and the aside folder of a run stopped before its end.
  testsupport::WriteFile(staging + "/1_1.jpg", "staged");
  testsupport::WriteFile(staging + "/sub/x.csv", "csv");
  testsupport::WriteFile(aside + "/old_1.jpg", "older");
  EXPECT_EQ(SetStagingAside(staging, windir, kept), aside);
  EXPECT_FALSE(testsupport::PathExists(staging));
  EXPECT_EQ(testsupport::ListFolder(aside), (std::vector<std::string>{"1_1.jpg", "sub"}));

  // A staging folder that is a link: the link goes aside, its folder stays whole.
  std::filesystem::remove_all(aside);
  testsupport::WriteFile(windir + "/TEMP/real/1_1.jpg", "staged");
  std::filesystem::create_symlink(windir + "/TEMP/real", staging);
  EXPECT_EQ(SetStagingAside(staging, windir, kept), aside);
  EXPECT_TRUE(std::filesystem::is_symlink(aside));
  xmldoc::PurgeFolder(aside);
  EXPECT_EQ(testsupport::ReadFile(windir + "/TEMP/real/1_1.jpg"), "staged");

  // A file at the aside name is kept; the staging folder is purged in place.
  testsupport::WriteFile(aside, "not ours");
  testsupport::WriteFile(staging + "/1_1.jpg", "staged");
  EXPECT_EQ(SetStagingAside(staging, windir, kept), "");
  EXPECT_FALSE(testsupport::PathExists(staging));
  EXPECT_EQ(testsupport::ReadFile(aside), "not ours");

  // An aside folder that would hold a kept folder is refused before anything is deleted.
  std::filesystem::remove(aside);
  testsupport::WriteFile(staging + "/1_1.jpg", "staged");
  EXPECT_THROW(SetStagingAside(staging, windir, {aside + "/images"}), std::runtime_error);
  EXPECT_TRUE(testsupport::PathExists(staging + "/1_1.jpg"));
}
