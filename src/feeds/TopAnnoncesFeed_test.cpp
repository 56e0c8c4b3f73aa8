#include <gtest/gtest.h>

#include <cstdlib>

#include "feeds/FeedSteps.h"
#include "feeds/TopAnnoncesFeed.h"
#include "support/RunFixture.h"

using namespace feeds;
using namespace feeds::topannonces;

namespace {
xmldoc::IXMLCursorPtr Vehicle(const std::string& children) {
  auto doc = xmldoc::TXMLCursor::Create();
  doc->LoadXML("<DataVO>" + children + "</DataVO>");
  return doc;
}

std::string ValueOf(const std::vector<TComplement>& entries, const std::string& type) {
  for (const auto& e : entries) {
    if (e.Type == type) return e.Value;
  }
  ADD_FAILURE() << "no entry " << type;
  return {};
}
}  // namespace

TEST(TopAnnoncesAdText, LabelPartsAndTheSEntry) {
  const TEquipmentTexts texts{"Climatisation", "Jantes alu", "", "Garantie : 12 mois"};
  EXPECT_EQ(AdText(texts), "- Equipements Intérieurs : Climatisation - Equipements Extérieurs : Jantes alu"
                           " - Garantie : 12 mois");
  EXPECT_EQ(AllLabels(texts), "Climatisation, Jantes alu");  // the warranty labels stay out

  const TEquipmentTexts noInterior{"", "", "Freins ABS", "Première main"};
  EXPECT_EQ(AdText(noInterior), " - Equipements Sécurité : Freins ABS - Première main");
  EXPECT_EQ(AllLabels(noInterior), "Freins ABS");
  EXPECT_EQ(AdText({}), "");
}

TEST(TopAnnoncesComplements, FiftyTypedEntriesInTheirOrder) {
  const auto vehicle = Vehicle(
      "<marque>Peugeot</marque><modele>308</modele><MODELEVERSION>308 1.6 HDi Active</MODELEVERSION>"
      "<EqutInterieur>;ClimAuto;GPS;</EqutInterieur><EqutExterieur>;Radavant;</EqutExterieur>"
      "<EqutSecurite>;AirbagLat;ABS;</EqutSecurite><BOITE_DE_VITESSE>automatique</BOITE_DE_VITESSE>"
      "<NB_PORTES>5 portes avec hayon</NB_PORTES><Kilometrage>12000</Kilometrage><Couleur>Gris</Couleur>"
      "<Energie>Électrique</Energie><YearMEC>2021</YearMEC><FirstMEC>01/02/2021</FirstMEC>"
      "<Garantie>6 MOIS</Garantie>");
  const auto entries = Complements(*vehicle, {"Climatisation automatique, GPS", "", "", ""});
  const char* const types[] = {"VS", "S",  "O1", "O2", "O3", "O4",  "O5", "O6", "O7", "O8",  "O9", "NP", "K",
                               "E1", "E2", "CO", "E",  "A",  "B1",  "B2", "B3", "B4", "B5",  "B6", "B7", "B8",
                               "B9", "S1", "S2", "S3", "S4", "S5",  "S6", "S7", "S8", "S9",  "S10", "U1", "U2",
                               "U3", "U4", "U5", "U6", "U7", "U8",  "U9", "U10", "G1", "G2", "IM"};
  ASSERT_EQ(entries.size(), std::size(types));
  for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].Type, types[i]) << i;

  const std::pair<const char*, const char*> expected[] = {
      {"VS", "1.6 HDi Active"}, {"S", "Climatisation automatique, GPS"},
      {"O1", "true"},   // Clim missing, ClimAuto present
      {"O2", "false"}, {"O3", "true"},  // AirbagLat
      {"O4", "true"},   // any case
      {"O7", "true"},  {"NP", "5"},  {"K", "12000"}, {"E1", ""}, {"E2", "true"}, {"CO", "Gris"},
      {"E", "ELECTRIQUE"}, {"A", "2021"}, {"B1", "true"}, {"B2", ""}, {"B8", "true"}, {"S4", ""},
      {"U1", "false"}, {"U7", "false"}, {"G1", "true"}, {"G2", "false"}, {"IM", "01/02/2021"},
  };
  for (const auto& [type, value] : expected) EXPECT_EQ(ValueOf(entries, type), value) << type;
}

TEST(TopAnnoncesComplements, EmptyListsGiveEmptyFlagsButTheDerivedOnesStillAnswer) {
  const auto entries = Complements(*Vehicle("<BOITE_DE_VITESSE>Automatique 6 rapports</BOITE_DE_VITESSE>"
                                            "<Garantie>12 mois</Garantie><NB_PORTES>3p</NB_PORTES>"
                                            "<Energie>Diesel</Energie>"),
                                   {});
  for (const char* flag : {"S",  "O1", "O2", "O3", "O5", "O6", "O7", "O8", "O9", "B1", "B4", "B5", "B6", "B7",
                           "B8", "B9", "S1", "S2", "S3", "S8", "S9", "U1", "U5", "U7", "U8", "U9", "U10"}) {
    EXPECT_EQ(ValueOf(entries, flag), "") << flag;
  }
  EXPECT_EQ(ValueOf(entries, "O4"), "false");
  EXPECT_EQ(ValueOf(entries, "G1"), "false");
  EXPECT_EQ(ValueOf(entries, "G2"), "true");
  EXPECT_EQ(ValueOf(entries, "NP"), "3");
  EXPECT_EQ(ValueOf(entries, "E"), "DIESEL");
}

TEST(TopAnnoncesComplements, WarrantyMonthCount) {
  struct Case { const char* garantie; int months; } cases[] = {
      {"6 MOIS", 6}, {"12 mois", 12}, {" 012 Mois ", 12}, {"douze mois", 0}, {"", 0},
      {"-6 mois", 0}, {"12 mois.", 0}, {"99999999999999999999", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(WarrantyMonths(c.garantie), c.months) << c.garantie;
}

TEST(TopAnnoncesReplacements, PhotoSlotsBecomeAClosedListEvenWhenSlotsWereMissing) {
  auto doc = xmldoc::TXMLCursor::Create();
  doc->LoadXML("<?xml version=\"1.0\"?><document><DataVOS EOF=\"False\" RecordName=\"DataVO\">"
               "<DataVO><Carrosserie>Break</Carrosserie><NOMPHOTO1>a.jpg</NOMPHOTO1><NOMPHOTO2>b.jpg</NOMPHOTO2>"
               "<NOMPHOTO3></NOMPHOTO3></DataVO>"
               "<DataVO><CARROSSERIE>x</CARROSSERIE></DataVO></DataVOS></document>");
  for (auto vehicle = doc->Select("/document/DataVOS/DataVO"); !vehicle->Eof(); vehicle->Next()) {
    GroupPhotoSlots(*vehicle, "NOMPHOTO");
  }
  const std::string text = ApplyFirstReplacements(doc->XML());
  EXPECT_NE(text.find("<DataVO><carrosserie>Break</carrosserie>"
                      "<liste_photos><photo>a.jpg</photo><photo>b.jpg</photo></liste_photos></DataVO>"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<DataVO><CARROSSERIE>x</CARROSSERIE><liste_photos></liste_photos></DataVO>"),
            std::string::npos)
      << text;
  EXPECT_NO_THROW(doc->LoadXML(text));
}

TEST(TopAnnoncesReplacements, AVehicleWithoutModelVersionKeepsItsOwnFieldsOnly) {
  const std::string text =
      "<?xml version=\"1.0\"?>\n<document><DataVOS EOF=\"False\" RecordName=\"DataVO\">"
      "<DataVO><reference>1</reference><EqutInterieur>;x;</EqutInterieur><InfoComplement></InfoComplement>"
      "<Prix>100</Prix></DataVO>"
      "<DataVO><reference>2</reference><MODELEVERSION>m</MODELEVERSION><InfoComplement></InfoComplement>"
      "<Prix>200</Prix></DataVO></DataVOS></document>\n";
  EXPECT_EQ(ApplySecondReplacements(text),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<listepa>"
            "<annonce><reference>1</reference><EqutInterieur>;x;</EqutInterieur><InfoComplement></InfoComplement>"
            "<Prix>100</Prix></annonce>"
            "<annonce><reference>2</reference><Prix>200</Prix></annonce></listepa>\n");
}

namespace {
struct TopAnnoncesRun : testsupport::TRunFixture {
  void SetUp() override {
    StartRun("TOPANNONCES", {.SettingsFile = windir / "none.ini"});
  }
};
}  // namespace

TEST_F(TopAnnoncesRun, AVehicleWithoutComplementsStopsTheRunNamingIt) {
  testsupport::WriteFile(windir / "TEMP/Annoncia/ExpDatasTopAnnonces.xml",
                         "<document><DataVOS><DataVO><reference>11</reference><complements/></DataVO>"
                         "<DataVO><reference>12</reference></DataVO></DataVOS></document>");
  try {
    BuildTopAnnoncesFeed(feed);
    FAIL() << "no error";
  } catch (const xmldoc::EXMLCursorError& e) {
    EXPECT_STREQ(e.what(), "Véhicule n° 2, reference 12 : élément complements absent\r\n"
                           "TXMLCursor.AppendChild - EOF");
  }
  EXPECT_EQ(testsupport::ListFolder(windir / "TEMP/Annoncia"), std::vector<std::string>{"ExpDatasTopAnnonces.xml"});
}
