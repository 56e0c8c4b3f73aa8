#include "feeds/ParuVenduFeed.h"

#include <string_view>

#include "feeds/DataExport.h"
#include "feeds/FeedSteps.h"
#include "platform/Clock.h"
#include "platform/Files.h"
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
    ++run.VehicleCount;
    vehicle->SetValue("ModeleVersion",
                      StripMakeFromModel(vehicle->GetValue("ModeleVersion"), vehicle->GetValue("SousRubrique")));
    if (!expandEquipment) continue;
    for (const char* field : {"EqutInterieur", "EqutExterieur", "EqutSecurite", "InfoComplement"}) {
      vehicle->SetValue(field, ExpandEquipmentCodes(labels, vehicle->GetValue(field)));
    }
  }
}

struct TRename {
  std::string_view From, To;
};

// In the order the portal's rules apply them. No replacement holds the start
// of another pattern, and every pattern begins with its only "<", so a single
// pass gives what the rules give one after another.
constexpr TRename kRenames[] = {
    {"</NomPhoto1>", "</Photo>"},          {"</NomPhoto2>", "</Photo>"},
    {"</NomPhoto3>", "</Photo>"},          {"</NomPhoto4>", "</Photo>"},
    {"</NomPhoto5>", "</Photo>"},          {"</NomPhoto6>", "</Photo>"},
    {"<NomPhoto1>", "<Photo Num=\"1\">"}, {"<NomPhoto2>", "<Photo Num=\"2\">"},
    {"<NomPhoto3>", "<Photo Num=\"3\">"}, {"<NomPhoto4>", "<Photo Num=\"4\">"},
    {"<NomPhoto5>", "<Photo Num=\"5\">"}, {"<NomPhoto6>", "<Photo Num=\"6\">"},
    {"<idNVO>", "<id-VO>"},               {"</idNVO>", "</id-VO>"},
};

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The patterns are ASCII, so comparing ASCII letters ignoring case is what
// the locale-aware comparison answers for them.
bool MatchesAt(const std::string& text, std::size_t at, std::string_view pattern) {
  if (text.size() - at < pattern.size()) return false;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    if (FoldAscii(text[at + k]) != FoldAscii(pattern[k])) return false;
  }
  return true;
}

}  // namespace

std::string RenameParuVenduTags(const std::string& xml) {
  std::string out;
  out.reserve(xml.size() + xml.size() / 16);
  std::size_t copied = 0;
  for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
    for (const TRename& rename : kRenames) {
      if (!MatchesAt(xml, at, rename.From)) continue;
      out.append(xml, copied, at - copied);
      out += rename.To;
      copied = at + rename.From.size();
      break;
    }
  }
  out.append(xml, copied, std::string::npos);
  return out;
}

void BuildParuVenduFeed(shell::TRunControl& run) {
  const std::string workFolder = WorkFolder();
  if (!platform::DirectoryExists(workFolder)) platform::CreateDir(workFolder);

  const bool expandEquipment =
      shell::SwitchIsOn(run.Settings->ReadString(run.CurrentOption, "FlgInfoEquip", shell::defaults::FlgInfoEquip));
  run.LoadConnectionFields();
  run.LoadTestFTPClicheo();

  const xmldoc::IXMLCursorPtr document = xmldoc::TXMLCursor::Create();
  document->Load(DataExportPath("ParuVendu"));
  run.PhotoLinkCount = 0;
  run.PhotosUpdatedCount = 0;
  run.VehicleCount = 0;

  RewriteVehicles(run, *document, expandEquipment);
  RunPhotoPass(run, *document, "idNVO", "NomPhoto");
  RemoveLookupSections(run, *document);

  const std::string feedText = RenameParuVenduTags(document->XML());
  shell::LogLine(run, "Result : " + feedText);
  shell::LogLine(run, "Après Replacements");
  document->LoadXML(feedText);
  shell::LogLine(run, "Avant Enregistrement");

  const platform::TDateTime now = platform::Now();
  document->Save(workFolder + "\\" + platform::FormatDateTime("yyyymmddhhnn", now) + ".xml");
  const std::string feedPath = workFolder + "\\RovelleDatasVO-" + platform::FormatDateTime("yyyymmdd", now) + ".xml";
  document->Save(feedPath);

  // A file of the stock system's, not the activity log.
  const std::string vovazeLog = xmldoc::WindowsFolder() + "\\TEMP\\Vovaze" + run.CurrentOption + ".log";
  if (platform::FileExists(vovazeLog)) platform::DeleteFile(vovazeLog);

  // The log keeps only the closing lines of the run.
  shell::LogLine(run, "");
  LogPhotosUpdated(run);
  shell::LogLine(run, "Début Transfert : " + feedPath + " - " + std::to_string(run.VehicleCount) + " VO - " +
                          std::to_string(run.PhotoLinkCount) + " photos");
  const std::string outcome = transfer::UploadFeedFile(run, feedPath);
  shell::LogLine(run, outcome + "Fichier VO actualisé transmis sur site FTP : " + run.CurrentOption + " - " + feedPath);
  run.RunFinished = true;
}

}  // namespace feeds
