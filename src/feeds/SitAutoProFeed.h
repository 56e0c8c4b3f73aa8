// The SitAutoPro feed: the data export already speaks the portal's element
// names; the builder cleans four values, turns the equipment code lists into
// one element per equipment, fills six photo slots per vehicle, and reshapes
// the serialised document by text rules into the portal's layout: a root
// CLIENT with the dealer's code, the COORDONNEES, and one ANNONCE per vehicle
// with its photos in PHOTOS. The feed (ISO-8859-15) is packed alone and sent.
//
// The builder catches nothing: cursor, file and packaging errors end the run;
// a failed upload only shows in the last log line.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "feeds/FeedRun.h"
#include "xmldoc/XMLCursor.h"

namespace feeds {

void BuildSitAutoProFeed(TFeedRun& feed);

// The run on a loaded export, from the vehicle pass through the layout rules
// (photos synchronised, working copies saved on the way); returns the feed
// text.
std::string RewriteSitAutoProExport(TFeedRun& feed, xmldoc::IXMLCursor& document);

// The portal's category code of a body-type word ("Coupé" -> "11500");
// unknown or empty words give "11100".
std::string CategoryCodeFromBodyType(const std::string& bodyType);

// The raw code lists of a vehicle.
struct TSitAutoProLists {
  std::string Interior;    // EQUTINTERIEUR
  std::string Exterior;    // EQUTEXTERIEUR
  std::string Safety;      // EQUTSECURITE
  std::string Complement;  // INFOCOMPLEMENT
};

// The 28 equipment elements of a vehicle, name and value, in feed order.
std::vector<std::pair<std::string, std::string>> SitAutoProEquipment(const TSitAutoProLists& lists);

// The photo rules: six slots become PHOTOS with one PHOTO per filled slot.
std::string ApplyPhotoRules(std::string text);
// The layout rules: the CLIENT root carrying clientCode (escaped for the
// attribute), ANNONCE per vehicle, code lists and CODECLIENT cut out, the
// Latin-9 declaration. The code-list stretch never reaches past its vehicle.
std::string ApplyLayoutRules(std::string text, const std::string& clientCode);

}  // namespace feeds
