#include "feeds/FeedSteps.h"

#include "feeds/DataExport.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "transfer/FeedUpload.h"
#include "transfer/PhotoSync.h"
#include "xmldoc/Zip.h"

namespace feeds {
namespace {
constexpr int kPhotoSlots = 6;
}

void RunPhotoPass(shell::TRunControl& run, const xmldoc::IXMLCursor& document, const std::string& keyField,
                  const std::string& slotPrefix) {
  const TVehicleIndex vehicles(document, keyField);
  auto link = document.Select("/document/LiensImagesS/LiensImages");
  shell::LogLine(run, "Après premier Select LiensImages");
  for (; !link->Eof(); link->Next(), run.Window.ProcessMessages()) {
    ++run.PhotoLinkCount;
    const std::string photoName = link->GetValue("NomImage");
    if (const xmldoc::IXMLCursorPtr vehicle = vehicles.Find(link->GetValue("idNVO"))) {
      for (int slot = 1; slot <= kPhotoSlots; ++slot) {
        const std::string name = slotPrefix + std::to_string(slot);
        if (vehicle->GetValue(name).empty()) {
          vehicle->SetValue(name, run.URLImages + "/" + photoName + ".jpg");
          break;
        }
      }
    }
    transfer::SyncPhotos(run, photoName + ".jpg");
  }
}

void EnsurePhotoSlots(const xmldoc::IXMLCursor& document, const std::string& slotPrefix) {
  for (auto vehicle = document.Select("/document/DataVOS/DataVO"); !vehicle->Eof(); vehicle->Next()) {
    for (int slot = 1; slot <= kPhotoSlots; ++slot) {
      const std::string name = slotPrefix + std::to_string(slot);
      if (vehicle->Select(name)->Eof()) vehicle->AppendChild(name, "");
    }
  }
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

void PackArchive(shell::TRunControl& run, const std::string& archivePath, const std::string& pattern) {
  if (platform::FileExists(archivePath)) platform::DeleteFile(archivePath);
  xmldoc::TZip zip(&run.Window);
  zip.SetZipFileName(archivePath);
  zip.FileSpecs().push_back(pattern);
  zip.AddFiles();
}

void LogPhotosUpdated(shell::TRunControl& run) {
  if (run.PhotosUpdatedCount != 0) {
    shell::LogLine(run, "Nb Images Mises à jour : " + std::to_string(run.PhotosUpdatedCount) + " photos --- ");
  }
}

void PackFeedFile(shell::TRunControl& run, const std::string& archivePath, const std::string& feedPath) {
  if (run.PhotosUpdatedCount == 0) shell::LogLine(run, "");
  PackArchive(run, archivePath, feedPath);
  run.Window.AddMemoLine("Fichier " + archivePath + " créé");
  shell::LogLine(run, "");
  LogPhotosUpdated(run);
}

void SendArchive(shell::TRunControl& run, const std::string& archivePath) {
  const std::string outcome = transfer::UploadFeedFile(run, archivePath);
  shell::LogLine(run, outcome + "Fichier VO actualisé transmis sur site FTP : " + platform::ExtractFileName(archivePath) +
                          " - " + std::to_string(run.VehicleCount) + " VO");
}

}  // namespace feeds
