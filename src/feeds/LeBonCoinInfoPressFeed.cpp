#include "feeds/LeBonCoinInfoPressFeed.h"

#include "feeds/AnnonceList.h"
#include "feeds/DataExport.h"
#include "feeds/FeedSteps.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "shell/ActivityLog.h"

namespace feeds {
namespace leboncoin {

namespace {
constexpr const char* kCrLf = "\r\n";
}

std::string Title(const std::string& make, const std::string& modelVersion, const std::string& id) {
  const std::string base = make + " " + modelVersion;
  const std::string ref = " (ref:" + id + ")";
  if (platform::CharLength(base) + platform::CharLength(ref) <= kTitleLength) return base + ref;
  const std::size_t refLength = platform::CharLength(ref);
  const std::size_t kept = refLength < kTitleLength - 3 ? kTitleLength - 3 - refLength : 0;
  return platform::CopyChars(base, 0, kept) + "..." + ref;
}

std::string AdText(const xmldoc::IXMLCursor& vehicle, const TEquipmentTexts& texts) {
  const auto field = [&vehicle](const char* name) { return vehicle.GetValue(name); };
  std::string text = field("InfoMarque") + " " + field("ModeleVersion") + " (ref:" + field("idNVO") + ")" + kCrLf +
                     kCrLf;
  text += "Carrosserie : " + field("Carrosserie") + kCrLf;
  text += "Puissance : " + field("Puissance") + " CV" + kCrLf;
  text += "Couleur : " + field("Couleur") + kCrLf;
  text += "Boite : " + field("BoiteVitesse") + kCrLf;
  text += "Mise en Circulation : " + field("MEC") + kCrLf + kCrLf;
  const auto part = [&text](const char* title, const std::string& labels) {
    if (!labels.empty()) text += std::string(" - ") + title + labels + kCrLf + kCrLf;
  };
  part(kInteriorTitle, texts.Interior);
  part(kExteriorTitle, texts.Exterior);
  part(kSafetyTitle, texts.Safety);
  if (!texts.Warranty.empty()) text += " - " + texts.Warranty + kCrLf;
  text += std::string(kCrLf) + "Contactez " + field("Contact") + " au " + field("Telephone") + kCrLf + kCrLf;
  return text;
}

std::string ApplyReplacements(std::string text) {
  text = ReplaceSpansInRecords(text, "<EqutInterieur>", "</InfoComplement>", "", "</DataVO>");
  return RewriteAsAnnonceList(std::move(text), "annonces");
}

namespace {

void RunVehiclePass(shell::TRunControl& run, const xmldoc::IXMLCursor& document) {
  const TEquipmentLabels labels = LoadEquipmentLabels(document);
  auto vehicle = document.Select("/document/DataVOS/DataVO");
  shell::LogLine(run, "Après premier Select DataVO");
  for (; !vehicle->Eof(); vehicle->Next()) {
    ++run.Counters.VehicleCount;
    const TEquipmentTexts texts = ComposeEquipmentTexts(labels, *vehicle);
    vehicle->SetValue("Titre",
                      Title(vehicle->GetValue("InfoMarque"), vehicle->GetValue("ModeleVersion"), vehicle->GetValue("idNVO")));
    vehicle->SetValue("Texte", AdText(*vehicle, texts));
    vehicle->SetValue("Telephone", platform::ReplaceAll(vehicle->GetValue("Telephone"), ".", ""));
    vehicle->SetValue("Garantie", platform::TrimBlanks(vehicle->GetValue("Garantie")));
  }
}

}  // namespace
}  // namespace leboncoin

void BuildLeBonCoinInfoPressFeed(TFeedRun& feed, const std::string& portal) {
  using namespace leboncoin;
  shell::TRunControl& run = feed.Run;
  const std::string feedPath = WorkFile(portal + "_" + platform::FormatDateTime("yyyymmdd", platform::Now()) + ".xml");
  const std::string archivePath = WorkFile(portal + "_" + platform::FormatDateTime("yyyymmdd", platform::Now()) + ".zip");
  const xmldoc::IXMLCursorPtr document = OpenDataExport(feed, portal);

  RunVehiclePass(run, *document);
  RunPhotoPass(feed, *document, "idNVO", "photo");
  document->Save(feedPath);

  RemoveLookupSections(run, *document);
  std::string text = document->XML();
  document->ReloadXML(text);
  document->Save(feedPath);
  // Edited as text alone: the document is read again from the result.
  document->Unload();
  text = ApplyReplacements(std::move(text));
  LoadRewrittenText(run, *document, text);
  document->Save(feedPath);

  PackFeedFile(run, archivePath, feedPath);
  if (!run.Window.FieldText(shell::TConnectionField::paramUser).empty()) SendArchive(feed, archivePath);
}

}  // namespace feeds
