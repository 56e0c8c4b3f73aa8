// Text operations the portal builders share: cleaning model, warranty and
// door texts, turning equipment code lists into labels or flags, and cutting
// marked stretches out of a serialised document.
//
// An equipment code list holds codes separated by ";", with a ";" before the
// first and after the last (";CLIM;ABS;"); a code is present where ";" +
// code + ";" occurs. Comparisons said to ignore case fold Latin letters as
// Windows does (é matches É). Every operation is a pure function of its
// arguments and runs in time linear in its text.
#pragma once

#include <string>
#include <unordered_map>

namespace feeds {

// The model text without the make followed by a blank, ignoring case; then
// without the make spelt with "e" for "é" followed by a blank. An empty make
// removes nothing.
std::string StripMakeFromModel(const std::string& model, const std::string& make);

// Equipment code -> label, from the LiensEquipements rows of a data export.
// Codes are stored as the export writes them (upper case); the first row of
// a code wins.
class TEquipmentLabels {
public:
  void Add(const std::string& code, const std::string& label);
  // The label of a code (upper-cased, letters a to z only, before the look-up),
  // or the empty string for an unknown code.
  std::string LabelOf(const std::string& code) const;

private:
  std::unordered_map<std::string, std::string> labels_;
};

// The labels of the codes of a list, separated by ", ". Only codes with a
// ";" on both sides are replaced; an unknown code becomes an empty label.
std::string ExpandEquipmentCodes(const TEquipmentLabels& labels, const std::string& codeList);

// Whether ";" + code + ";" occurs in the list, in exact case, in three answer
// forms; an empty list answers the empty string.
std::string EquipmentFlag(const std::string& codeList, const std::string& code);        // "true" / "false"
std::string EquipmentFlagDigit(const std::string& codeList, const std::string& code);   // "1" / "0"
std::string EquipmentFlagOuiNon(const std::string& codeList, const std::string& code);  // "O" / "N"

// Warranty text without "MOIS" (any case), trimmed: "12 mois" -> "12".
std::string StripMonthWord(const std::string& text);
// Door text without "hayon", "avec", "portes" and "p" (any case, in that
// order, trimmed after each): "5 portes avec hayon" -> "5".
std::string StripDoorWords(const std::string& text);

// Replaces every stretch from a start marker through the end marker that
// follows it (both in exact case) by replacement, left to right, in one pass.
// A start marker whose end marker is missing, or comes only after the next
// start marker, is left as it stands with its text, so one record lacking a
// marker never costs another record its text. An end marker before any
// start marker is left too.
std::string ReplaceSpans(const std::string& text, const std::string& startMarker, const std::string& endMarker,
                         const std::string& replacement);

// ReplaceSpans applied to each record of a serialised record list on its own
// (a record ends with recordEnd, "</DataVO>"), so that a stretch never runs
// from a record lacking its end marker into a next one lacking its start.
std::string ReplaceSpansInRecords(const std::string& text, const std::string& startMarker,
                                  const std::string& endMarker, const std::string& replacement,
                                  const std::string& recordEnd);

}  // namespace feeds
