// The LeBonCoin and InfoPress feed: one builder for both portals, which
// differ only in their display name (data export "ExpDatas" + portal +
// ".xml", feed and archive portal + "_" + yyyymmdd) and their settings
// section (the run option). Every vehicle gets a title of at most 50
// characters, a multi-line ad text, its telephone number without dots and a
// trimmed warranty text; up to six photo addresses fill photo1..photo6; the
// equipment fields go; the vehicle list becomes annonces/annonce. The feed,
// saved after each stage as ISO-8859-15, is packed alone and uploaded only
// when the portal's User setting is not empty.
//
// Errors of the cursor, of files and of the packer end the run uncaught; a
// failed upload only shows in the last log line (and the exit status).
#pragma once

#include <string>

#include "feeds/EquipmentTexts.h"
#include "feeds/FeedRun.h"

namespace feeds {

// portal: "LeBonCoin" or "InfoPress".
void BuildLeBonCoinInfoPressFeed(TFeedRun& feed, const std::string& portal);

namespace leboncoin {

inline constexpr std::size_t kTitleLength = 50;

// make + " " + model + " (ref:" + id + ")"; when longer than 50 characters,
// the make and model part is cut and ends with "...", so that the title has
// 50 characters; the reference part is never cut.
std::string Title(const std::string& make, const std::string& modelVersion, const std::string& id);

// The Texte element: name and reference, the vehicle's characteristics, the
// label texts that are not empty, and the contact, in lines ended by CR LF.
// Reads InfoMarque, ModeleVersion, idNVO, Carrosserie, Puissance, Couleur,
// BoiteVitesse, MEC, Contact and Telephone of the vehicle under the cursor.
std::string AdText(const xmldoc::IXMLCursor& vehicle, const TEquipmentTexts& texts);

// The text rules on the serialised document: the equipment fields
// (EqutInterieur..InfoComplement) of every vehicle cut, and the annonces list.
std::string ApplyReplacements(std::string text);

}  // namespace leboncoin
}  // namespace feeds
