// The last text rules of the TopAnnonces and LeBonCoin/InfoPress feeds: the
// serialised data export becomes a list of "annonce" elements under the
// portal's root element, declared ISO-8859-15.
#pragma once

#include <string>

namespace feeds {

inline constexpr const char* kLatin9Declaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>";

// On the text of a whole data export (as the cursor's XML gives it):
// - the DataVOS start tag, from `<DataVOS EOF="` through `RecordName="DataVO">`
//   (exact case), or a bare "<DataVOS>", becomes "<" + listName + ">", and
//   "</DataVOS>" its end tag;
// - "<DataVO>" / "</DataVO>" become "<annonce>" / "</annonce>";
// - the document element's tags go;
// - the version-only declaration names ISO-8859-15; a text without any
//   declaration gets that one, so the feed is always saved in Latin-9.
// Tag names other than DataVOS's attributes are matched in any case.
std::string RewriteAsAnnonceList(std::string text, const std::string& listName);

}  // namespace feeds
