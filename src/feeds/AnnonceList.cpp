#include "feeds/AnnonceList.h"

#include "feeds/AdText.h"
#include "platform/Ansi.h"

namespace feeds {

std::string RewriteAsAnnonceList(const std::string& text, const std::string& listName) {
  using platform::ReplaceAllText;
  std::string result = ReplaceSpans(text, "<DataVOS EOF=\"", "RecordName=\"DataVO\">", "<" + listName + ">");
  // An export whose list carries no attributes would otherwise keep its
  // start tag while losing its end tag, and the feed would not load.
  result = platform::ReplaceAll(result, "<DataVOS>", "<" + listName + ">");
  result = ReplaceAllText(result, "</DataVOS>", "</" + listName + ">");
  result = ReplaceAllText(result, "<DataVO>", "<annonce>");
  result = ReplaceAllText(result, "</DataVO>", "</annonce>");
  result = ReplaceAllText(result, "<document>", "");
  result = ReplaceAllText(result, "</document>", "");
  result = ReplaceAllText(result, "<?xml version=\"1.0\"?>", kLatin9Declaration);
  if (!result.starts_with("<?xml")) result = std::string(kLatin9Declaration) + "\n" + result;
  return result;
}

}  // namespace feeds
