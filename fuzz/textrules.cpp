// The text rules the builders share, each against a plain reference where one
// is cheap: the one-pass replacer (platform::TTextRewriter) against a scan
// that tries every rule at every position and, for one rule, against
// repeated plain search; ReplaceSpans against a search for each stretch;
// case folding and the Windows-1252 conversion against their invariants; the
// model and equipment helpers for crashes and well-formed text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "feeds/AdText.h"
#include "platform/Ansi.h"
#include "platform/TextRewriter.h"

namespace {
using platform::TTextRule;

// Every rule tried at every byte, the first match of the table winning.
std::string RewriteByScan(std::string_view text, const std::vector<TTextRule>& rules) {
  const std::string folded = platform::FoldCase(text);
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    bool replaced = false;
    for (const TTextRule& rule : rules) {
      if (rule.Pattern.empty()) continue;
      const bool match = rule.ExactCase ? text.substr(at, rule.Pattern.size()) == rule.Pattern
                                        : folded.compare(at, rule.Pattern.size(), platform::FoldCase(rule.Pattern)) == 0;
      if (!match) continue;
      out += rule.Replacement;
      at += rule.Pattern.size();
      replaced = true;
      break;
    }
    if (!replaced) out += text[at++];
  }
  return out;
}

// Replace-all by repeated plain search from the end of the last replacement.
std::string ReplaceBySearch(std::string_view text, std::string_view pattern, std::string_view replacement,
                            bool exactCase) {
  if (pattern.empty()) return std::string(text);
  std::string out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t hit = exactCase ? text.find(pattern, from) : platform::FindText(text, pattern, from);
    if (hit == std::string_view::npos) break;
    out.append(text, from, hit - from);
    out += replacement;
    from = hit + pattern.size();
  }
  out.append(text, from);
  return out;
}

std::string SpansBySearch(const std::string& text, const std::string& start, const std::string& end,
                          const std::string& replacement) {
  if (start.empty() || end.empty()) return text;
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t s = text.find(start, pos);
    if (s == std::string::npos) break;
    const std::size_t e = text.find(end, s + start.size());
    if (e == std::string::npos) break;
    const std::size_t n = text.find(start, s + start.size());
    if (n != std::string::npos && n < e) {
      out.append(text, pos, n - pos);
      pos = n;
      continue;
    }
    out.append(text, pos, s - pos);
    out += replacement;
    pos = e + end.size();
  }
  out.append(text, pos);
  return out;
}

void CheckConversions(const std::string& bytes) {
  const std::string utf8 = platform::AnsiToUtf8(bytes);
  fuzz::Check(platform::IsValidUtf8(utf8), "AnsiToUtf8 gave malformed UTF-8");
  fuzz::Check(platform::CharLength(utf8) == bytes.size(), "AnsiToUtf8 changed the character count");
  fuzz::Check(platform::Utf8ToAnsi(utf8) == bytes, "1252 -> UTF-8 -> 1252 lost bytes");
  if (platform::IsValidUtf8(bytes)) {
    fuzz::Check(platform::Utf8ToAnsi(bytes).size() == platform::CharLength(bytes), "Utf8ToAnsi: not one byte per character");
  } else {
    (void)platform::Utf8ToAnsi(bytes);
  }

  const std::string folded = platform::FoldCase(bytes);
  fuzz::Check(folded.size() == bytes.size(), "FoldCase changed the byte length");
  fuzz::Check(platform::FoldCase(folded) == folded, "FoldCase is not idempotent");
  fuzz::Check(platform::SameText(bytes, folded), "a text is not SameText as its folded form");
  fuzz::Check(platform::IsValidUtf8(folded) == platform::IsValidUtf8(bytes), "FoldCase changed well-formedness");
  const std::string upper = platform::UpperCaseAZ(bytes);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    fuzz::Check(upper[i] == (c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c), "UpperCaseAZ changed a non-letter");
  }
  (void)platform::TrimBlanks(bytes);
  (void)platform::CopyChars(bytes, bytes.size() / 3, bytes.size() / 2);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t ruleCount = in.ConsumeIntegralInRange<std::size_t>(1, 4);
  std::vector<TTextRule> rules;
  for (std::size_t i = 0; i < ruleCount; ++i) {
    TTextRule rule;
    rule.ExactCase = in.ConsumeBool();
    rule.Pattern = in.ConsumeRandomLengthString(16);
    rule.Replacement = in.ConsumeRandomLengthString(16);
    rules.push_back(std::move(rule));
  }
  const std::string text = in.ConsumeRemainingBytesAsString();

  CheckConversions(text);

  // Any-case matching is defined on characters: the comparison holds for well-formed text.
  bool wellFormed = platform::IsValidUtf8(text);
  for (const TTextRule& rule : rules) wellFormed = wellFormed && platform::IsValidUtf8(rule.Pattern);
  const platform::TTextRewriter rewriter(rules);
  const std::string rewritten = rewriter.Apply(text);
  if (wellFormed) {
    fuzz::Check(rewritten == RewriteByScan(text, rules), "TTextRewriter differs from the scan");
    const TTextRule& one = rules.front();
    const std::string single = platform::TTextRewriter({one}).Apply(text);
    fuzz::Check(single == ReplaceBySearch(text, one.Pattern, one.Replacement, one.ExactCase),
                "one-rule TTextRewriter differs from repeated search");
    const std::string replaced = one.ExactCase ? platform::ReplaceAll(text, one.Pattern, one.Replacement)
                                               : platform::ReplaceAllText(text, one.Pattern, one.Replacement);
    fuzz::Check(replaced == single, "ReplaceAll/ReplaceAllText differ from TTextRewriter");
  }

  const std::string& start = rules.front().Pattern;
  const std::string& end = rules.back().Pattern;
  const std::string& replacement = rules.front().Replacement;
  fuzz::Check(feeds::ReplaceSpans(text, start, end, replacement) == SpansBySearch(text, start, end, replacement),
              "ReplaceSpans differs from the search");
  (void)feeds::ReplaceSpansInRecords(text, start, end, replacement, "</DataVO>");

  const std::string model = feeds::StripMakeFromModel(text, start);
  if (wellFormed) fuzz::Check(platform::IsValidUtf8(model), "StripMakeFromModel broke a character");
  feeds::TEquipmentLabels labels;
  for (const TTextRule& rule : rules) labels.Add(rule.Pattern, rule.Replacement);
  // Each code becomes its label once: the text grows by the labels at most.
  std::size_t longestLabel = 0;
  for (const TTextRule& rule : rules) longestLabel = std::max(longestLabel, rule.Replacement.size());
  const std::size_t codes = static_cast<std::size_t>(std::count(text.begin(), text.end(), ';'));
  fuzz::Check(feeds::ExpandEquipmentCodes(labels, text).size() <= 2 * text.size() + codes * longestLabel,
              "ExpandEquipmentCodes grew beyond its labels");
  (void)feeds::EquipmentFlag(text, start);
  (void)feeds::StripMonthWord(text);
  (void)feeds::StripDoorWords(text);
  return 0;
}
