// Steps the portal builders share: the photo pass, the removal of the lookup
// sections, packing the feed, and the closing log lines.
#pragma once

#include <string>

#include "shell/UnitAnnoncia.h"
#include "xmldoc/XMLCursor.h"

namespace feeds {

// For every photo link of the export, in document order: counts it, writes
// URLImages + "/" + NomImage + ".jpg" into the first empty slot of
// slotPrefix + "1" .. slotPrefix + "6" of its vehicle (found by keyField;
// nothing when all six hold text or no vehicle matches; a missing slot is
// created as the vehicle's last child), synchronises the photo whatever
// happened, and lets the window process its messages. Logs "Après premier
// Select LiensImages" after selecting the links.
void RunPhotoPass(shell::TRunControl& run, const xmldoc::IXMLCursor& document, const std::string& keyField,
                  const std::string& slotPrefix);

// Makes the vehicle hold slotPrefix + "1" .. "6" once each, side by side and
// in order, so that the text rules that turn the slot tags into one photo list
// always meet all six together. A vehicle already shaped so is left
// untouched; otherwise the six are rebuilt (with the text of the first
// element of each name, missing ones empty) where the first slot stood, or at
// the end when there was none.
void GroupPhotoSlots(const xmldoc::IXMLCursor& vehicle, const std::string& slotPrefix);

// Logs "Result : " + the rewritten document text and "Après Remplacements",
// loads the text into the document and logs "Avant Enregistrement".
void LoadRewrittenText(shell::TRunControl& run, xmldoc::IXMLCursor& document, const std::string& text);

// Deletes LiensImagesS, LiensEquipementsS and Aliases (the first of each,
// when present), with their log lines.
void RemoveLookupSections(shell::TRunControl& run, const xmldoc::IXMLCursor& document);

// Packs the files matching pattern into a new archive at archivePath (an
// existing file of that name is deleted first).
void PackArchive(shell::TRunControl& run, const std::string& archivePath, const std::string& pattern);

// "Nb Images Mises à jour : " + PhotosUpdatedCount + " photos --- ", when
// photos were sent.
void LogPhotosUpdated(shell::TRunControl& run);

// The packing steps of the portals that send one feed file in an archive: a
// log restart when no photo was sent, the archive, the memo-only line
// "Fichier " + archive + " créé", the log restart before the summary, and the
// photo count line.
void PackFeedFile(shell::TRunControl& run, const std::string& archivePath, const std::string& feedPath);

// Sends the archive to the portal and logs the outcome + "Fichier VO
// actualisé transmis sur site FTP : " + the archive's name + " - " +
// VehicleCount + " VO".
void SendArchive(shell::TRunControl& run, const std::string& archivePath);

}  // namespace feeds
