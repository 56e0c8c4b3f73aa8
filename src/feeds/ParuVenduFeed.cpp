#include "feeds/ParuVenduFeed.h"

#include "feeds/DataExport.h"
#include "feeds/FeedGuards.h"
#include "feeds/FeedSteps.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/ReplacingFile.h"
#include "platform/TextRewriter.h"
#include "shell/ActivityLog.h"
#include "transfer/FeedUpload.h"
#include "xmldoc/XMLUtils.h"

namespace feeds {
namespace {

// Counts the vehicles, removes the make from each model text and, when
// switched on, turns the four equipment code lists into labels.
void RewriteVehicles(shell::TRunControl& run, const xmldoc::IXMLCursor& document, bool expandEquipment) {
  const TEquipmentLabels labels = expandEquipment ? LoadEquipmentLabels(document) : TEquipmentLabels();
  auto vehicle = document.Select("/document/DataVOS/DataVO");
  shell::LogLine(run, "Après premier Select DataVO");
  for (; !vehicle->Eof(); vehicle->Next()) {
    ++run.Counters.VehicleCount;
    vehicle->SetValue("ModeleVersion",
                      StripMakeFromModel(vehicle->GetValue("ModeleVersion"), vehicle->GetValue("SousRubrique")));
    if (!expandEquipment) continue;
    for (const char* field : {"EqutInterieur", "EqutExterieur", "EqutSecurite", "InfoComplement"}) {
      vehicle->SetValue(field, ExpandEquipmentCodes(labels, vehicle->GetValue(field)));
    }
  }
}

// The slot and vehicle number tags under the portal's names. No pattern
// holds the start of another and no replacement holds a pattern, so the
// table goes in one pass.
const platform::TTextRewriter& ParuVenduRenames() {
  static const platform::TTextRewriter renames({
      {"</NomPhoto1>", "</Photo>"},          {"</NomPhoto2>", "</Photo>"},
      {"</NomPhoto3>", "</Photo>"},          {"</NomPhoto4>", "</Photo>"},
      {"</NomPhoto5>", "</Photo>"},          {"</NomPhoto6>", "</Photo>"},
      {"<NomPhoto1>", "<Photo Num=\"1\">"}, {"<NomPhoto2>", "<Photo Num=\"2\">"},
      {"<NomPhoto3>", "<Photo Num=\"3\">"}, {"<NomPhoto4>", "<Photo Num=\"4\">"},
      {"<NomPhoto5>", "<Photo Num=\"5\">"}, {"<NomPhoto6>", "<Photo Num=\"6\">"},
      {"<idNVO>", "<id-VO>"},               {"</idNVO>", "</id-VO>"},
  });
  return renames;
}

}  // namespace

std::string RenameParuVenduTags(const std::string& xml) { return ParuVenduRenames().Apply(xml); }

void BuildParuVenduFeed(TFeedRun& feed) {
  shell::TRunControl& run = feed.Run;
  const bool expandEquipment = shell::SwitchIsOn(run.OptionSetting("FlgInfoEquip", shell::defaults::FlgInfoEquip));
  const xmldoc::IXMLCursorPtr document = OpenDataExport(feed, "ParuVendu");

  RewriteVehicles(run, *document, expandEquipment);
  RunPhotoPass(feed, *document, "idNVO", "NomPhoto");
  RemoveLookupSections(run, *document);

  std::string wholeText = document->XML();
  // Renamed as text alone: the document is read again from the result.
  document->Unload();
  const std::string feedText = RenameParuVenduTags(wholeText);
  std::string().swap(wholeText);
  shell::LogLine(run, "Result : ", feedText);
  shell::LogLine(run, "Après Replacements");
  document->ReloadXML(feedText);
  shell::LogLine(run, "Avant Enregistrement");

  const platform::TDateTime now = platform::Now();
  const std::string stampedCopy = WorkFile(platform::FormatDateTime("yyyymmddhhnn", now) + ".xml");
  document->Save(stampedCopy);
  const std::string feedPath = WorkFile("RovelleDatasVO-" + platform::FormatDateTime("yyyymmdd", now) + ".xml");
  // The same document again: the bytes just written.
  platform::CopyFileReplacing(stampedCopy, feedPath);
  NoteFeedFile(run, feedPath);

  // A file of the stock system's, not the activity log; one it cannot
  // delete stays as it is, it holds no feed.
  const std::string vovazeLog = xmldoc::WindowsFolder() + "\\TEMP\\Vovaze" + run.CurrentOption() + ".log";
  if (platform::FileExists(vovazeLog)) (void)platform::DeleteFile(vovazeLog);

  // The log keeps only the closing lines of the run.
  shell::RestartLog(run);
  LogPhotosUpdated(run);
  if (!FeedMayBeSent(run)) return;
  shell::LogLine(run, "Début Transfert : " + feedPath + " - " + std::to_string(run.Counters.VehicleCount) + " VO - " +
                          std::to_string(run.Counters.PhotoLinkCount) + " photos");
  const std::string outcome = transfer::UploadFeedFile(feed.Transfers, feedPath);
  shell::LogLine(run, outcome + "Fichier VO actualisé transmis sur site FTP : " + run.CurrentOption() + " - " + feedPath);
  RememberSentCount(run);
}

}  // namespace feeds
