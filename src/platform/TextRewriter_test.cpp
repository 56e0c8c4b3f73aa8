#include "platform/TextRewriter.h"

#include <gtest/gtest.h>

#include "platform/Ansi.h"

using platform::TTextRewriter;
using platform::TTextRule;

namespace {

// The rules one after another, each over the whole text: what one pass must
// give for tables without overlapping patterns.
std::string OneAfterAnother(std::string text, const std::vector<TTextRule>& rules) {
  for (const TTextRule& rule : rules) {
    text = rule.ExactCase ? platform::ReplaceAll(text, rule.Pattern, rule.Replacement)
                          : platform::ReplaceAllText(text, rule.Pattern, rule.Replacement);
  }
  return text;
}

}  // namespace

TEST(TextRewriter, OnePassGivesWhatTheRulesGiveInTurn) {
  const std::vector<TTextRule> tags = {
      {"<NomPhoto1>", "<Photo Num=\"1\">"}, {"</NomPhoto1>", "</Photo>"}, {"<idNVO>", "<id-VO>"},
      {"<Carrosserie>", "<carrosserie>", true}, {"<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"},
  };
  const char* texts[] = {
      "",
      "<?xml version=\"1.0\"?>\n<a><IDNVO>1</idnvo><idNVO>2</idNVO></a>",
      "<nomphoto1>x</NOMPHOTO1><NomPhoto1></NomPhoto1>",
      "<Carrosserie>a</Carrosserie><CARROSSERIE>b</CARROSSERIE>",  // exact case only
      "<NomPhoto1<NomPhoto1>>",                                    // a false start just before a match
      "<idNVO>é É ı ÿ</idNVO><idNV",                               // other letters, a cut pattern at the end
  };
  const TTextRewriter rewriter(tags);
  for (const char* text : texts) EXPECT_EQ(rewriter.Apply(text), OneAfterAnother(text, tags)) << text;
}

TEST(TextRewriter, LatinLettersFoldForPatternsBeyondAscii) {
  const TTextRewriter rewriter({{"é", "e"}, {"Ève", "Eve", true}});
  EXPECT_EQ(rewriter.Apply("Coupé COUPÉ Ève ève"), "Coupe COUPe Eve ève");
  EXPECT_EQ(TTextRewriter({{"é", "e"}}).Apply("e è ê"), "e è ê");  // é never matches e
}

TEST(TextRewriter, FirstRuleWinsAndReplacedTextIsNotSearchedAgain) {
  const TTextRewriter rewriter({{"<a>", "<b>"}, {"<a>x", "never"}, {"<b>", "<c>"}, {"", "empty patterns replace nothing"}});
  EXPECT_EQ(rewriter.Apply("<A>x<b>"), "<b>x<c>");
  EXPECT_EQ(TTextRewriter(std::vector<TTextRule>{}).Apply("as it is"), "as it is");
}
