// Steps the portal builders share: the opening of a run, the photo pass and
// the photo list rules, the removal of the lookup sections, packing the feed,
// and the closing log lines.
#pragma once

#include <string>
#include <vector>

#include "feeds/FeedRun.h"
#include "platform/TextRewriter.h"
#include "xmldoc/XMLCursor.h"

namespace feeds {

// The opening of every builder: the work folder made when missing, the eight
// connection fields and the photo check switch read from the settings, and
// the data export "ExpDatas" + portal + ".xml" loaded from the work folder
// and checked for the shape the builders read (CheckExportShape).
xmldoc::IXMLCursorPtr OpenDataExport(TFeedRun& feed, const std::string& portal);

// For every photo link of the export, in document order: counts it, writes
// URLImages + "/" + NomImage + ".jpg" into the first empty slot of
// slotPrefix + "1" .. slotPrefix + "6" of its vehicle (found by keyField;
// nothing when all six hold text or no vehicle matches; a missing slot is
// created as the vehicle's last child), synchronises the photo whatever
// happened, and lets the window process its messages. Logs "Après premier
// Select LiensImages" after selecting the links.
void RunPhotoPass(TFeedRun& feed, const xmldoc::IXMLCursor& document, const std::string& keyField,
                  const std::string& slotPrefix);

// Makes the vehicle hold slotPrefix + "1" .. "6" once each, side by side and
// in order, so that the text rules that turn the slot tags into one photo list
// always meet all six together. A vehicle already shaped so is left
// untouched; otherwise the six are rebuilt (with the text of the first
// element of each name, missing ones empty) where the first slot stood, or at
// the end when there was none.
void GroupPhotoSlots(const xmldoc::IXMLCursor& vehicle, const std::string& slotPrefix);

// The tag names of a portal's photo list.
struct TPhotoListTags {
  std::string SlotPrefix;  // the export's slot elements: SlotPrefix + "1" .. "6"
  std::string List;        // the list element
  std::string Item;        // one photo
};

// The text rules that turn each vehicle's six grouped slots into one photo
// list, tags matched ignoring case: "<" + SlotPrefix + "1>" opens the list
// and its first item, the other slots' tags become the item's, and "</" +
// SlotPrefix + "6>" closes the last item and the list; a later pass drops
// the empty items ("<Item></Item>"). otherRules join the first pass: they
// must not match the slot tags.
std::string RewritePhotoSlots(std::string text, const TPhotoListTags& tags,
                              std::vector<platform::TTextRule> otherRules = {});

// Logs "Result : " + the rewritten document text and "Après Remplacements",
// loads the text into the document and logs "Avant Enregistrement".
void LoadRewrittenText(shell::TRunControl& run, xmldoc::IXMLCursor& document, const std::string& text);

// Deletes LiensImagesS, LiensEquipementsS and Aliases (the first of each,
// when present), with their log lines.
void RemoveLookupSections(shell::TRunControl& run, const xmldoc::IXMLCursor& document);

// Notes the feed file in the run's files (name and size), for the history.
void NoteFeedFile(shell::TRunControl& run, const std::string& feedPath);

// Packs the files matching pattern into a new archive at archivePath (an
// existing file of that name is deleted first), noted in the run's files.
void PackArchive(shell::TRunControl& run, const std::string& archivePath, const std::string& pattern);

// "Nb Images Mises à jour : " + PhotosUpdatedCount + " photos --- ", when
// photos were sent.
void LogPhotosUpdated(shell::TRunControl& run);

// The packing steps of the portals that send one feed file in an archive: a
// log restart when no photo was sent, the archive, the memo-only line
// "Fichier " + archive + " créé", the log restart before the summary, and the
// photo count line.
void PackFeedFile(shell::TRunControl& run, const std::string& archivePath, const std::string& feedPath);

// Unless a feed guard holds it back (FeedGuards.h), sends the archive to the
// portal and logs the outcome + "Fichier VO
// actualisé transmis sur site FTP : " + the archive's name + " - " +
// VehicleCount + " VO".
void SendArchive(TFeedRun& feed, const std::string& archivePath);

}  // namespace feeds
