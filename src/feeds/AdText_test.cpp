#include <gtest/gtest.h>

#include "feeds/AdText.h"

using namespace feeds;

TEST(StripMakeFromModel, RemovesTheMakeFollowedByABlank) {
  struct Case { const char* model; const char* make; const char* result; } cases[] = {
      {"RENAULT Clio 1.5 dCi", "Renault", "Clio 1.5 dCi"},
      {"Peugeot 207 Peugeot Sport", "Peugeot", "207 Sport"},
      {"207 Peugeot", "Peugeot", "207 Peugeot"},
      {"Peugeot-207", "Peugeot", "Peugeot-207"},
      {"Citroen C3", "Citroën", "Citroen C3"},
      {"Série 3 320d", "Série", "3 320d"},
      {"SÉRIE 3 320d", "Série", "3 320d"},
      {"Serie 3 320d", "Série", "3 320d"},
      {"Serie 3 320d", "SÉRIE", "3 320d"},  // É loses its accent as well
      {"Clio 1.5 dCi", "", "Clio 1.5 dCi"},  // an empty make keeps every blank
  };
  for (const auto& c : cases) EXPECT_EQ(StripMakeFromModel(c.model, c.make), c.result) << c.model;
}

TEST(ExpandEquipmentCodes, ReplacesCodesBetweenSemicolonsByLabels) {
  TEquipmentLabels labels;
  labels.Add("CLIM", "Climatisation");
  labels.Add("ABS", "Freins ABS");
  labels.Add("ABS", "second row of a code is ignored");
  labels.Add("D'ORIGINE", "Pneus d'origine");
  struct Case { const char* list; const char* result; } cases[] = {
      {";CLIM;ABS;", "Climatisation, Freins ABS"},
      {";CLIM;XX;ABS;", "Climatisation, , Freins ABS"},
      {"CLIM;ABS;", "CLIM, Freins ABS"},
      {";CLIM;ABS", "Climatisation, ABS"},
      {";clim;", "Climatisation"},
      {";CLIM;CLIM;", "Climatisation, Climatisation"},
      {";it's;", ""},  // an apostrophe is no query syntax: unknown code, empty label
      {";d'origine;CLIM;", "Pneus d'origine, Climatisation"},
      {"", ""},
      {";", ""},
      {";;", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandEquipmentCodes(labels, c.list), c.result) << c.list;

  // A label is not searched for codes: one holding its own code between
  // ";" would double the text at each later occurrence of the code.
  labels.Add("CS", "CS;;CS");
  std::string list = ";";
  for (int k = 0; k < 40; ++k) list += "CS;";
  const std::string expanded = ExpandEquipmentCodes(labels, list);
  EXPECT_EQ(expanded.size(), 40 * std::string("CS, , CS").size() + 39 * 2);
  EXPECT_EQ(ExpandEquipmentCodes(labels, ";CS;ABS;"), "CS, , CS, Freins ABS");
}

TEST(EquipmentFlag, ExactCodeBetweenSemicolons) {
  struct Case { const char* list; const char* code; const char* flag; const char* digit; const char* ouiNon; } cases[] = {
      {";Clim;ABS;", "Clim", "true", "1", "O"},
      {";Clim;ABS;", "ABS", "true", "1", "O"},
      {";Clim;ABS;", "clim", "false", "0", "N"},
      {";Clim;ABS;", "ClimAuto", "false", "0", "N"},
      {"Clim;ABS", "Clim", "false", "0", "N"},
      {"", "Clim", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EquipmentFlag(c.list, c.code), c.flag) << c.list << " " << c.code;
    EXPECT_EQ(EquipmentFlagDigit(c.list, c.code), c.digit);
    EXPECT_EQ(EquipmentFlagOuiNon(c.list, c.code), c.ouiNon);
  }
}

TEST(StripWords, WarrantyAndDoorTexts) {
  EXPECT_EQ(StripMonthWord("12 mois"), "12");
  EXPECT_EQ(StripMonthWord("6 MOIS"), "6");
  EXPECT_EQ(StripMonthWord("douze mois"), "douze");
  EXPECT_EQ(StripMonthWord(" 24 Mois\t"), "24");
  EXPECT_EQ(StripDoorWords("5 portes avec hayon"), "5");
  EXPECT_EQ(StripDoorWords("3p"), "3");
  EXPECT_EQ(StripDoorWords("5 Portes"), "5");
  EXPECT_EQ(StripDoorWords(""), "");
}

TEST(ReplaceSpans, CutsEveryStretchAndKeepsWhatLiesBetween) {
  const std::string two = "<v><M>a</M><x>1</x><E>b</E></v><v><M>c</M><E>d</E></v>";
  EXPECT_EQ(ReplaceSpans(two, "<M>", "</E>", ""), "<v></v><v></v>");
  EXPECT_EQ(ReplaceSpans(two, "<M>", "</E>", "#"), "<v>#</v><v>#</v>");
  EXPECT_EQ(ReplaceSpans("no markers", "<M>", "</E>", ""), "no markers");
}

TEST(ReplaceSpans, ARecordLackingAMarkerCostsNoOtherRecordItsText) {
  struct Case { const char* text; const char* result; } cases[] = {
      // the first record has no end marker: it stays whole, the second is cut
      {"<v><M>a</v><v><M>c</M><E>d</E></v>", "<v><M>a</v><v></v>"},
      // the first record has no start marker: its end marker stays
      {"<v>a</E></v><v><M>c<E>d</E></v>", "<v>a</E></v><v></v>"},
      // end marker before any start marker and no start at all
      {"</E><M>x", "</E><M>x"},
      {"a</E>b", "a</E>b"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReplaceSpans(c.text, "<M>", "</E>", ""), c.result) << c.text;
}

TEST(ReplaceSpansInRecords, AStretchNeverRunsIntoTheNextRecord) {
  // The first record lacks its end marker, the second its start marker.
  const std::string text = "<DataVO><M>a</DataVO><DataVO>b</E></DataVO><DataVO><M>c</E>d</DataVO>";
  // Over the whole text the first record's start pairs with the second's end: "b" would be lost.
  EXPECT_EQ(ReplaceSpans(text, "<M>", "</E>", ""), "<DataVO></DataVO><DataVO>d</DataVO>");
  EXPECT_EQ(ReplaceSpansInRecords(text, "<M>", "</E>", "", "</DataVO>"),
            "<DataVO><M>a</DataVO><DataVO>b</E></DataVO><DataVO>d</DataVO>");
}

TEST(ReplaceSpans, IsLinearOnALongDocument) {
  std::string text;
  for (int k = 0; k < 20000; ++k) text += k % 2 ? "<v><M>model<E>end</E></v>" : "<v><M>model without end</v>";
  const std::string out = ReplaceSpans(text, "<M>", "</E>", "");
  EXPECT_EQ(out.size(), text.size() - 10000 * std::string("<M>model<E>end</E>").size());
}
