#include <gtest/gtest.h>

#include "feeds/EquipmentTexts.h"

using namespace feeds;

namespace {
TEquipmentLabels Labels() {
  TEquipmentLabels labels;
  labels.Add("CLIM", "Climatisation");
  labels.Add("JANTALL", "Jantes alu");
  labels.Add("1MAIN", "Première main");
  labels.Add("GAR", "Sous Garantie");
  return labels;
}
}  // namespace

TEST(WarrantyLabels, AddsTheWarrantyCodeAndSpellsTheWarrantyOut) {
  const TEquipmentLabels labels = Labels();
  struct Case { const char* list; const char* garantie; const char* result; } cases[] = {
      {"", "12 mois", "Garantie : 12 mois"},
      {";1Main;", "12 mois", "Première main, Garantie : 12 mois"},  // no empty label between the two
      {";1Main", "6 mois", "Première main, Garantie : 6 mois"},
      {";Gar;1Main;", "6 mois", "Garantie : 6 mois, Première main"},  // already there: not added again
      {";GAR;", "6 mois", "Garantie : 6 mois, Garantie : 6 mois"},  // the code test is exact case
      {";1Main;", "", "Première main"},
      {";Gar;", "", "Garantie : "},
      {"", "", ""},
      {"", " 12 mois ", "Garantie :  12 mois "},  // the warranty as it stands
  };
  for (const auto& c : cases) EXPECT_EQ(WarrantyLabels(labels, c.list, c.garantie), c.result) << c.list;

  TEquipmentLabels shouting;
  shouting.Add("GAR", "SOUS GARANTIE constructeur");
  EXPECT_EQ(WarrantyLabels(shouting, "", "24 mois"), "Garantie : 24 mois constructeur");
}

TEST(ComposeEquipmentTexts, ReadsTheFiveFieldsOfTheVehicle) {
  auto doc = xmldoc::TXMLCursor::Create();
  doc->LoadXML("<DataVO><EqutInterieur>;Clim;</EqutInterieur><EqutExterieur>;JantAll;</EqutExterieur>"
               "<EqutSecurite></EqutSecurite><Garantie>12 mois</Garantie></DataVO>");
  const TEquipmentTexts texts = ComposeEquipmentTexts(Labels(), *doc);
  EXPECT_EQ(texts.Interior, "Climatisation");
  EXPECT_EQ(texts.Exterior, "Jantes alu");
  EXPECT_EQ(texts.Safety, "");
  EXPECT_EQ(texts.Warranty, "Garantie : 12 mois");  // InfoComplement absent reads as empty
}
