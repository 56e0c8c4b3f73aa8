#include "feeds/AdText.h"

#include "platform/Ansi.h"

namespace feeds {

std::string StripMakeFromModel(const std::string& model, const std::string& make) {
  if (make.empty()) return model;
  const std::string withoutMake = platform::ReplaceAllText(model, make + " ", "");
  const std::string plainMake = platform::ReplaceAllText(make, "é", "e");
  return platform::ReplaceAllText(withoutMake, plainMake + " ", "");
}

void TEquipmentLabels::Add(const std::string& code, const std::string& label) { labels_.emplace(code, label); }

std::string TEquipmentLabels::LabelOf(const std::string& code) const {
  const auto it = labels_.find(platform::UpperCaseAZ(code));
  return it == labels_.end() ? std::string() : it->second;
}

// Every code standing between two ";" becomes its label, in one pass over
// the list, so a label is never searched for codes itself: a label holding
// ";" + a code + ";" would otherwise be expanded again at every later
// occurrence of that code, doubling the text each time. What stands before
// the first ";" and after the last one stays as it is.
std::string ExpandEquipmentCodes(const TEquipmentLabels& labels, const std::string& codeList) {
  std::size_t end = codeList.find(';');
  if (end == std::string::npos) return codeList;
  std::string result = codeList.substr(0, end);
  for (;;) {
    const std::size_t start = end + 1;
    end = codeList.find(';', start);
    result += ';';
    if (end == std::string::npos) {
      result.append(codeList, start);
      break;
    }
    if (end > start) result += labels.LabelOf(codeList.substr(start, end - start));
  }
  if (!result.empty() && result.front() == ';') result.erase(0, 1);
  if (!result.empty() && result.back() == ';') result.pop_back();
  return platform::ReplaceAll(result, ";", ", ");
}

namespace {
std::string Flag(const std::string& codeList, const std::string& code, const char* found, const char* missing) {
  if (codeList.empty()) return {};
  return codeList.find(";" + code + ";") != std::string::npos ? found : missing;
}
}  // namespace

std::string EquipmentFlag(const std::string& codeList, const std::string& code) {
  return Flag(codeList, code, "true", "false");
}
std::string EquipmentFlagDigit(const std::string& codeList, const std::string& code) {
  return Flag(codeList, code, "1", "0");
}
std::string EquipmentFlagOuiNon(const std::string& codeList, const std::string& code) {
  return Flag(codeList, code, "O", "N");
}

std::string StripMonthWord(const std::string& text) {
  return platform::TrimBlanks(platform::ReplaceAllText(text, "MOIS", ""));
}

std::string StripDoorWords(const std::string& text) {
  std::string result = text;
  for (const char* word : {"hayon", "avec", "portes", "p"}) {
    result = platform::TrimBlanks(platform::ReplaceAllText(result, word, ""));
  }
  return result;
}

std::string ReplaceSpans(const std::string& text, const std::string& startMarker, const std::string& endMarker,
                         const std::string& replacement) {
  if (startMarker.empty() || endMarker.empty()) return text;
  constexpr auto npos = std::string::npos;
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;  // text before this offset is in out
  std::size_t start = text.find(startMarker);
  std::size_t end = npos;
  bool noEndLeft = false;  // no end marker after the last position searched
  while (start != npos) {
    const std::size_t afterStart = start + startMarker.size();
    if (!noEndLeft && (end == npos || end < afterStart)) {
      end = text.find(endMarker, afterStart);
      noEndLeft = end == npos;
    }
    const std::size_t next = text.find(startMarker, afterStart);
    if (noEndLeft) break;
    if (next != npos && next < end) {
      start = next;  // this stretch has no end of its own: keep it
      continue;
    }
    out.append(text, copied, start - copied);
    out += replacement;
    copied = end + endMarker.size();
    start = text.find(startMarker, copied);
  }
  out.append(text, copied, npos);
  return out;
}

std::string ReplaceSpansInRecords(const std::string& text, const std::string& startMarker,
                                  const std::string& endMarker, const std::string& replacement,
                                  const std::string& recordEnd) {
  if (recordEnd.empty()) return ReplaceSpans(text, startMarker, endMarker, replacement);
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = text.find(recordEnd, from);
    const std::size_t to = end == std::string::npos ? text.size() : end + recordEnd.size();
    out += ReplaceSpans(text.substr(from, to - from), startMarker, endMarker, replacement);
    from = to;
  }
  return out;
}

}  // namespace feeds
