// The TopAnnonces feed (run option TOPANNONCES): the data export
// ExpDatasTopAnnonces.xml enriched in place (catch line, ad text, fifty typed
// complement entries, photo addresses), renamed into the portal's vocabulary
// (root listepa, annonce, liste_photos/photo), saved as an ISO-8859-15 feed
// "XXXXXX" + yyyymmddhhnnss + ".xml", packed alone into the archive of the
// same form and uploaded. The working copy "TopAnnonces-" + yyyymmdd + ".xml"
// shows the document after each stage.
//
// Errors of the cursor, of files and of the packer end the run uncaught; a
// failed upload only shows in the last log line (and the exit status).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "feeds/EquipmentTexts.h"
#include "feeds/FeedRun.h"
#include "xmldoc/XMLCursor.h"

namespace feeds {

void BuildTopAnnoncesFeed(TFeedRun& feed);

namespace topannonces {

// The texte element: the labels of the lists, each after its title,
// " - " between the parts ("- Equipements Intérieurs : Clim - Garantie : 12 mois").
std::string AdText(const TEquipmentTexts& texts);
// The S entry: the labels of the three equipment lists, joined by ", ".
std::string AllLabels(const TEquipmentTexts& texts);
// The warranty's month count: Garantie without "mois", as a decimal integer;
// 0 for anything else ("douze mois", "").
int WarrantyMonths(const std::string& garantie);

struct TComplement {
  std::string Type;
  std::string Value;
  bool operator==(const TComplement&) const = default;
};
// The fifty complement entries of the vehicle under the cursor, in order.
std::vector<TComplement> Complements(const xmldoc::IXMLCursor& vehicle, const TEquipmentTexts& texts);

// The text rules on the serialised document: the first ones rename the body
// and photo slot tags (six slots NOMPHOTO1..6 -> liste_photos of the filled
// photo elements), the second ones cut MODELEVERSION..InfoComplement of
// every vehicle and make the listepa list.
std::string ApplyFirstReplacements(std::string text);
std::string ApplySecondReplacements(std::string text);

}  // namespace topannonces
}  // namespace feeds
