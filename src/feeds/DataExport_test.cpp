#include <gtest/gtest.h>

#include "feeds/DataExport.h"

using namespace feeds;

TEST(ParseXPathNumber, AcceptsWhatXPathReadsAsANumber) {
  struct Case { const char* text; bool ok; double value; } cases[] = {
      {"123", true, 123}, {" 0123 ", true, 123}, {"123.0", true, 123}, {"-4", true, -4}, {".5", true, 0.5},
      {"", false, 0},     {"abc", false, 0},     {"1e2", false, 0},    {"12a", false, 0}, {"1 or 1=1", false, 0},
      {"-", false, 0},    {".", false, 0},
  };
  for (const auto& c : cases) {
    double v = -1;
    EXPECT_EQ(ParseXPathNumber(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(TVehicleIndex, FindsTheFirstVehicleWithTheSameNumber) {
  auto doc = xmldoc::TXMLCursor::Create();
  doc->LoadXML(
      "<document><DataVOS>"
      "<DataVO><idNVO>0123</idNVO><n>a</n></DataVO>"
      "<DataVO><idNVO>123</idNVO><n>b</n></DataVO>"
      "<DataVO><idNVO> 7 </idNVO><n>c</n></DataVO>"
      "<DataVO><idNVO>x1</idNVO><n>d</n></DataVO>"
      "<DataVO><n>no number</n></DataVO>"
      "</DataVOS></document>");
  const TVehicleIndex index(*doc, "idNVO");
  struct Case { const char* number; const char* found; } cases[] = {
      {"123", "a"}, {"0123", "a"}, {"7", "c"}, {"8", ""}, {"", ""}, {"abc", ""}, {"1 or 1=1", ""},
      {"x1", ""},   {" 7", ""},    {"-7", ""},
  };
  for (const auto& c : cases) {
    const std::int32_t position = index.Find(c.number);
    EXPECT_EQ(position >= 0 ? index.Vehicle(position).GetValue("n") : "", c.found) << c.number;
  }
}

TEST(LoadEquipmentLabels, ReadsEveryRow) {
  auto doc = xmldoc::TXMLCursor::Create();
  doc->LoadXML(
      "<document><LiensEquipementsS>"
      "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip><LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>"
      "<LiensEquipements><AbbrEquip>ABS</AbbrEquip><LibelleEquipement>Freins ABS</LibelleEquipement></LiensEquipements>"
      "</LiensEquipementsS></document>");
  const TEquipmentLabels labels = LoadEquipmentLabels(*doc);
  EXPECT_EQ(ExpandEquipmentCodes(labels, ";clim;ABS;"), "Climatisation, Freins ABS");
}
