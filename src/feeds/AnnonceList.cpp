#include "feeds/AnnonceList.h"

#include "feeds/AdText.h"
#include "platform/TextRewriter.h"

namespace feeds {

std::string RewriteAsAnnonceList(std::string text, const std::string& listName) {
  text = ReplaceSpans(text, "<DataVOS EOF=\"", "RecordName=\"DataVO\">", "<" + listName + ">");
  // No tag of the table makes or holds another, so they go in one pass.
  std::string result = platform::TTextRewriter({
      // An export whose list carries no attributes would otherwise keep its
      // start tag while losing its end tag, and the feed would not load.
      {"<DataVOS>", "<" + listName + ">", true},
      {"</DataVOS>", "</" + listName + ">"},
      {"<DataVO>", "<annonce>"},
      {"</DataVO>", "</annonce>"},
      {"<document>", ""},
      {"</document>", ""},
      {"<?xml version=\"1.0\"?>", kLatin9Declaration},
  }).Apply(text);
  std::string().swap(text);
  if (!result.starts_with("<?xml")) result = std::string(kLatin9Declaration) + "\n" + result;
  return result;
}

}  // namespace feeds
