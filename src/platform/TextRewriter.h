// The text-rewrite engine: a table of replacement rules applied to a text in
// one left-to-right scan.
//
// A rule replaces its pattern, matched ignoring case the way ReplaceAllText
// matches (Latin letters fold: é matches É) or, when marked so, in exact
// case. At each position the first rule of the table whose pattern matches
// there wins; the text it replaced is not searched again, and the scan goes
// on after it. An empty pattern replaces nothing.
//
// The table is prepared once and may be applied to any number of texts. A
// table whose any-case patterns are all ASCII (every tag rule of the feeds)
// compares bytes with the ASCII letters folded and never decodes the text;
// any other table folds the whole text once.
//
// One pass gives what applying the rules one after another gives as long as
// no replacement holds a pattern of the table and no two patterns can match
// overlapping stretches; a rule that must see another rule's output belongs
// to a later pass.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct TTextRule {
  std::string Pattern;
  std::string Replacement;
  bool ExactCase = false;
};

class TTextRewriter {
public:
  explicit TTextRewriter(std::vector<TTextRule> rules);
  TTextRewriter(std::initializer_list<TTextRule> rules) : TTextRewriter(std::vector<TTextRule>(rules)) {}
  std::string Apply(std::string_view text) const;

private:
  std::size_t MatchAt(std::string_view text, std::string_view folded, std::size_t at) const;

  std::vector<TTextRule> rules_;        // any-case patterns stored folded
  bool ascii_ = true;                   // every any-case pattern is ASCII
  std::array<bool, 256> canStart_{};    // bytes at which a pattern may begin
  char onlyStart_ = 0;                  // the one such byte, when there is exactly one
  int startCount_ = 0;
};

}  // namespace platform
