#include "feeds/FeedSteps.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "feeds/DataExport.h"
#include "feeds/FeedGuards.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ReplacingFile.h"
#include "shell/ActivityLog.h"
#include "shell/RunFolders.h"
#include "transfer/FeedUpload.h"
#include "transfer/PhotoSync.h"
#include "xmldoc/XMLUtils.h"
#include "xmldoc/Zip.h"

namespace feeds {
namespace {
constexpr int kPhotoSlots = 6;

std::string SlotName(const std::string& slotPrefix, int slot) { return slotPrefix + std::to_string(slot); }

// Whether the element children hold the six slots once each, in order, with
// nothing between them.
bool PhotoSlotsGrouped(const xmldoc::IXMLCursor& vehicle, const std::string& slotPrefix) {
  int next = 1;  // the slot expected next
  bool inGroup = false;
  for (auto child = vehicle.Select("*"); !child->Eof(); child->Next()) {
    const std::string name = child->NodeName();
    if (name.empty() || name[0] == '#') continue;  // text, comments
    const std::size_t n = slotPrefix.size();
    const bool isSlot = name.size() == n + 1 && name.compare(0, n, slotPrefix) == 0 && name[n] >= '1' && name[n] <= '6';
    if (isSlot) {
      if (name[n] - '0' != next) return false;
      ++next;
      inGroup = true;
    } else if (inGroup && next <= kPhotoSlots) {
      return false;
    }
  }
  return next == kPhotoSlots + 1;
}

}  // namespace

xmldoc::IXMLCursorPtr OpenDataExport(TFeedRun& feed, const std::string& portal) {
  const std::string workFolder = shell::WorkFolder();
  if (!platform::DirectoryExists(workFolder) && !platform::CreateDir(workFolder) &&
      !platform::DirectoryExists(workFolder)) {
    platform::RaiseLastInOutError(workFolder);
  }
  feed.Run.LoadConnectionFields();
  feed.Transfers.LoadTestFTPClicheo();
  const xmldoc::IXMLCursorPtr document = xmldoc::TXMLCursor::Create();
  document->Load(DataExportPath(portal));
  CheckExportShape(*document, DataExportPath(portal));
  return document;
}

void RunPhotoPass(TFeedRun& feed, const xmldoc::IXMLCursor& document, const std::string& keyField,
                  const std::string& slotPrefix) {
  shell::TRunControl& run = feed.Run;
  const TVehicleIndex vehicles(document, keyField);
  // A slot filled stays filled: each vehicle's search for a free slot goes on
  // from the slot after the one it last filled.
  std::vector<std::uint8_t> firstUnchecked(static_cast<std::size_t>(vehicles.Count()), 1);
  auto link = document.Select("/document/LiensImagesS/LiensImages");
  shell::LogLine(run, "Après premier Select LiensImages");
  for (; !link->Eof(); link->Next(), run.Window.ProcessMessages()) {
    ++run.Counters.PhotoLinkCount;
    const std::string photoName = link->GetValue("NomImage");
    if (const std::int32_t position = vehicles.Find(link->GetValue("idNVO")); position >= 0) {
      xmldoc::IXMLCursor& vehicle = vehicles.Vehicle(position);
      std::uint8_t& slot = firstUnchecked[static_cast<std::size_t>(position)];
      for (; slot <= kPhotoSlots; ++slot) {
        const std::string name = slotPrefix + std::to_string(slot);
        if (vehicle.GetValue(name).empty()) {
          vehicle.SetValue(name, run.URLImages() + "/" + photoName + ".jpg");
          ++slot;
          break;
        }
      }
    }
    transfer::SyncPhotos(feed.Transfers, photoName + ".jpg");
  }
}

void GroupPhotoSlots(const xmldoc::IXMLCursor& vehicle, const std::string& slotPrefix) {
  if (PhotoSlotsGrouped(vehicle, slotPrefix)) return;
  std::array<std::string, kPhotoSlots> values;
  for (int slot = 1; slot <= kPhotoSlots; ++slot) values[slot - 1] = vehicle.GetValue(SlotName(slotPrefix, slot));
  std::string anySlot;
  for (int slot = 1; slot <= kPhotoSlots; ++slot) anySlot += std::string(slot > 1 ? "|" : "") + SlotName(slotPrefix, slot);
  auto old = vehicle.Select(anySlot);
  if (old->Eof()) {
    auto parent = vehicle.Select(".");
    for (int slot = 1; slot <= kPhotoSlots; ++slot) parent->AppendChild(SlotName(slotPrefix, slot), values[slot - 1]);
    return;
  }
  for (int slot = 1; slot <= kPhotoSlots; ++slot) old->InsertBefore(SlotName(slotPrefix, slot), values[slot - 1]);
  while (old->Count() > 0) {
    old->First();
    old->Delete();
  }
}

std::string RewritePhotoSlots(std::string text, const TPhotoListTags& tags,
                              std::vector<platform::TTextRule> otherRules) {
  const std::string item = "<" + tags.Item + ">";
  const std::string itemEnd = "</" + tags.Item + ">";
  std::vector<platform::TTextRule> rules = std::move(otherRules);
  for (int slot = 1; slot <= kPhotoSlots; ++slot) {
    const std::string name = SlotName(tags.SlotPrefix, slot);
    rules.push_back({"<" + name + ">", slot == 1 ? "<" + tags.List + ">" + item : item});
    rules.push_back({"</" + name + ">", slot == kPhotoSlots ? itemEnd + "</" + tags.List + ">" : itemEnd});
  }
  // The empty items are whole only once every slot tag has been renamed.
  text = platform::TTextRewriter(std::move(rules)).Apply(text);
  return platform::TTextRewriter({{item + itemEnd, ""}}).Apply(text);
}

void LoadRewrittenText(shell::TRunControl& run, xmldoc::IXMLCursor& document, const std::string& text) {
  shell::LogLine(run, "Result : ", text);
  shell::LogLine(run, "Après Remplacements");
  document.ReloadXML(text);
  shell::LogLine(run, "Avant Enregistrement");
}

void RemoveLookupSections(shell::TRunControl& run, const xmldoc::IXMLCursor& document) {
  struct Section { const char* path; const char* line; };
  static constexpr Section kSections[] = {
      {"/document/LiensImagesS", "Avant Suppression LiensImages"},
      {"/document/LiensEquipementsS", "Avant Suppression LiensEquipements"},
      {"/document/Aliases", "Après Suppression LiensImages & LiensEquipements & Aliases"},
  };
  for (const Section& s : kSections) {
    auto found = document.Select(s.path);
    shell::LogLine(run, s.line);
    if (!found->Eof()) found->Delete();
  }
  shell::LogLine(run, "Après Aliases");
}

void NoteFeedFile(shell::TRunControl& run, const std::string& feedPath) {
  run.Files.FeedFile = platform::ExtractFileName(feedPath);
  run.Files.FeedSize = xmldoc::FileSizeOf(feedPath);
}

void PackArchive(shell::TRunControl& run, const std::string& archivePath, const std::string& pattern) {
  // Packed under a temporary name, so that a failed or killed run leaves
  // yesterday's complete archive; the packer adds to an archive it finds,
  // so a leftover of this name goes first.
  const std::string packing = platform::ReplacingTempPath(archivePath);
  if (platform::FileExists(packing) && !platform::DeleteFile(packing)) platform::RaiseLastInOutError(packing);
  try {
    xmldoc::TZip zip(&run.Window);
    zip.SetZipFileName(packing);
    zip.FileSpecs().push_back(pattern);
    zip.AddFiles();
  } catch (...) {
    (void)platform::DeleteFile(packing);  // the packing error is the one to report
    throw;
  }
  if (!platform::RenameFile(packing, archivePath)) {
    const int error = errno;
    (void)platform::DeleteFile(packing);  // the rename error is the one to report
    platform::RaiseInOutError(error, archivePath);
  }
  run.Files.ArchiveFile = platform::ExtractFileName(archivePath);
  run.Files.ArchiveSize = xmldoc::FileSizeOf(archivePath);
}

void LogPhotosUpdated(shell::TRunControl& run) {
  if (run.Counters.PhotosUpdatedCount != 0) {
    shell::LogLine(run, "Nb Images Mises à jour : " + std::to_string(run.Counters.PhotosUpdatedCount) +
                            " photos --- ");
  }
}

void PackFeedFile(shell::TRunControl& run, const std::string& archivePath, const std::string& feedPath) {
  if (run.Counters.PhotosUpdatedCount == 0) shell::RestartLog(run);
  NoteFeedFile(run, feedPath);
  PackArchive(run, archivePath, feedPath);
  run.AddMemoLine("Fichier " + archivePath + " créé");
  shell::RestartLog(run);
  LogPhotosUpdated(run);
}

void SendArchive(TFeedRun& feed, const std::string& archivePath) {
  if (!FeedMayBeSent(feed.Run)) return;
  const std::string outcome = transfer::UploadFeedFile(feed.Transfers, archivePath);
  shell::LogLine(feed.Run, outcome + "Fichier VO actualisé transmis sur site FTP : " +
                               platform::ExtractFileName(archivePath) + " - " +
                               std::to_string(feed.Run.Counters.VehicleCount) + " VO");
  RememberSentCount(feed.Run);
}

}  // namespace feeds
