#include <gtest/gtest.h>

#include "feeds/LeBonCoinInfoPressFeed.h"
#include "platform/Ansi.h"

using namespace feeds;
using namespace feeds::leboncoin;

TEST(LeBonCoinTitle, AtMostFiftyCharactersWithTheWholeReference) {
  struct Case { const char* make; const char* model; const char* id; const char* title; } cases[] = {
      {"RENAULT", "Clio 1.5 dCi 90", "12345", "RENAULT Clio 1.5 dCi 90 (ref:12345)"},  // 35
      {"PEUGEOT", "308 1.6 HDi 112 Active Business 5 portes", "12345",
       "PEUGEOT 308 1.6 HDi 112 Active Busi... (ref:12345)"},                             // 60 -> 50
      {"PEUGEOT", "308 1.6 HDi 112 Active Busines", "12345",
       "PEUGEOT 308 1.6 HDi 112 Active Busines (ref:12345)"},                             // exactly 50
      {"PEUGEOT", "308 1.6 HDi 112 Active Business", "12345",
       "PEUGEOT 308 1.6 HDi 112 Active Busi... (ref:12345)"},                             // 51 -> 50
      {"CITROËN", "C4 Grand Picasso Édition Élégance Exclusive", "9",
       "CITROËN C4 Grand Picasso Édition Élégan... (ref:9)"},                             // cut by characters
      {"FIAT", "500", "0123456789012345678901234567890123456789012",
       "... (ref:0123456789012345678901234567890123456789012)"},                          // reference part of 48
  };
  for (const auto& c : cases) {
    const std::string title = Title(c.make, c.model, c.id);
    EXPECT_EQ(title, c.title);
    EXPECT_TRUE(platform::IsValidUtf8(title));
  }
  EXPECT_EQ(platform::CharLength(Title("CITROËN", "C4 Grand Picasso Édition Élégance Exclusive", "9")), 50u);
}

namespace {
xmldoc::IXMLCursorPtr Vehicle(const std::string& children) {
  auto doc = xmldoc::TXMLCursor::Create();
  doc->LoadXML("<DataVO>" + children + "</DataVO>");
  return doc;
}
}  // namespace

TEST(LeBonCoinAdText, EveryPartInItsOrder) {
  const auto vehicle = Vehicle(
      "<idNVO>12345</idNVO><InfoMarque>PEUGEOT</InfoMarque><ModeleVersion>308 1.6 HDi 112 Active Business 5 portes"
      "</ModeleVersion><Carrosserie>Berline</Carrosserie><Puissance>6</Puissance><Couleur>Gris</Couleur>"
      "<BoiteVitesse>Manuelle</BoiteVitesse><MEC>01/02/2020</MEC><Contact>M. Petit</Contact>"
      "<Telephone>01.23.45.67.89</Telephone>");
  EXPECT_EQ(AdText(*vehicle, {"Climatisation", "Jantes alu", "Freins ABS", "Garantie :  12 mois "}),
            "PEUGEOT 308 1.6 HDi 112 Active Business 5 portes (ref:12345)\r\n\r\n"
            "Carrosserie : Berline\r\n"
            "Puissance : 6 CV\r\n"
            "Couleur : Gris\r\n"
            "Boite : Manuelle\r\n"
            "Mise en Circulation : 01/02/2020\r\n\r\n"
            " - Equipements Intérieurs : Climatisation\r\n\r\n"
            " - Equipements Extérieurs : Jantes alu\r\n\r\n"
            " - Equipements Sécurité : Freins ABS\r\n\r\n"
            " - Garantie :  12 mois \r\n"
            "\r\nContactez M. Petit au 01.23.45.67.89\r\n\r\n");
}

TEST(LeBonCoinAdText, EmptyListsGiveTheFixedPartsOnly) {
  EXPECT_EQ(AdText(*Vehicle("<idNVO>7</idNVO>"), {}),
            "  (ref:7)\r\n\r\nCarrosserie : \r\nPuissance :  CV\r\nCouleur : \r\nBoite : \r\n"
            "Mise en Circulation : \r\n\r\n\r\nContactez  au \r\n\r\n");
}

TEST(LeBonCoinReplacements, CutsTheEquipmentFieldsOfEachVehicleOnly) {
  const std::string text =
      "<?xml version=\"1.0\"?>\n<document><DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">"
      "<DataVO><idNVO>1</idNVO><EqutInterieur>;a;</EqutInterieur><EqutSecurite></EqutSecurite>"
      "<InfoComplement>;b;</InfoComplement><Garantie>6 mois</Garantie></DataVO>"
      "<DataVO><idNVO>2</idNVO><InfoComplement>;c;</InfoComplement><Garantie>12 mois</Garantie></DataVO>"
      "<DataVO><idNVO>3</idNVO><EqutInterieur>;d;</EqutInterieur><InfoComplement></InfoComplement></DataVO>"
      "</DataVOS></document>\n";
  EXPECT_EQ(ApplyReplacements(text),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<annonces>"
            "<annonce><idNVO>1</idNVO><Garantie>6 mois</Garantie></annonce>"
            "<annonce><idNVO>2</idNVO><InfoComplement>;c;</InfoComplement><Garantie>12 mois</Garantie></annonce>"
            "<annonce><idNVO>3</idNVO></annonce>"
            "</annonces>\n");
}

TEST(LeBonCoinReplacements, LineBreaksOfTheTextSurviveTheFeed) {
  auto doc = xmldoc::TXMLCursor::Create();
  doc->LoadXML("<?xml version=\"1.0\"?>\n<document><DataVOS EOF=\"False\" RecordName=\"DataVO\"><DataVO>"
               "<idNVO>1</idNVO></DataVO></DataVOS></document>");
  doc->Select("/document/DataVOS/DataVO")->SetValue("Texte", "Clio\r\n\r\nCouleur : Gris\r\n");
  const std::string text = ApplyReplacements(doc->XML());
  EXPECT_NE(text.find("Clio&#13;\n&#13;\nCouleur : Gris&#13;\n</Texte>"), std::string::npos) << text;
  doc->LoadXML(text);
  EXPECT_EQ(doc->Select("/annonces/annonce")->GetValue("Texte"), "Clio\r\n\r\nCouleur : Gris\r\n");
}
