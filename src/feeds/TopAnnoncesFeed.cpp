#include "feeds/TopAnnoncesFeed.h"

#include <charconv>

#include "feeds/AnnonceList.h"
#include "feeds/DataExport.h"
#include "feeds/FeedSteps.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "platform/ReplacingFile.h"
#include "shell/ActivityLog.h"

namespace feeds {
namespace topannonces {

namespace {
void JoinLabels(std::string& all, const std::string& labels) {
  if (labels.empty()) return;
  all += all.empty() ? labels : ", " + labels;
}
}  // namespace

std::string AdText(const TEquipmentTexts& texts) {
  std::string text;
  if (!texts.Interior.empty()) text += std::string("- ") + kInteriorTitle + texts.Interior;
  if (!texts.Exterior.empty()) text += std::string(" - ") + kExteriorTitle + texts.Exterior;
  if (!texts.Safety.empty()) text += std::string(" - ") + kSafetyTitle + texts.Safety;
  if (!texts.Warranty.empty()) text += " - " + texts.Warranty;
  return text;
}

std::string AllLabels(const TEquipmentTexts& texts) {
  std::string all;
  JoinLabels(all, texts.Interior);
  JoinLabels(all, texts.Exterior);
  JoinLabels(all, texts.Safety);
  return all;
}

int WarrantyMonths(const std::string& garantie) {
  const std::string stripped = StripMonthWord(garantie);
  const std::string digits = "0" + stripped;
  int months = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, months);
  return error == std::errc() && stop == end ? months : 0;
}

std::vector<TComplement> Complements(const xmldoc::IXMLCursor& vehicle, const TEquipmentTexts& texts) {
  const std::string in = vehicle.GetValue("EqutInterieur");
  const std::string ex = vehicle.GetValue("EqutExterieur");
  const std::string sec = vehicle.GetValue("EqutSecurite");
  const auto either = [](const std::string& list, const char* code, const char* otherCode) {
    const std::string flag = EquipmentFlag(list, code);
    return flag == "false" ? EquipmentFlag(list, otherCode) : flag;
  };
  const auto truth = [](bool b) { return std::string(b ? "true" : "false"); };
  const int months = WarrantyMonths(vehicle.GetValue("Garantie"));
  return {
      {"VS", StripMakeFromModel(vehicle.GetValue("MODELEVERSION"), vehicle.GetValue("modele"))},
      {"S", AllLabels(texts)},
      {"O1", either(in, "Clim", "ClimAuto")},
      {"O2", EquipmentFlag(in, "VitreElect")},
      {"O3", either(sec, "AirbagCond", "AirbagLat")},
      {"O4", truth(platform::UpperCaseAZ(vehicle.GetValue("BOITE_DE_VITESSE")) == "AUTOMATIQUE")},
      {"O5", EquipmentFlag(sec, "Alarme")},
      {"O6", EquipmentFlag(in, "DirAss")},
      {"O7", EquipmentFlag(sec, "ABS")},
      {"O8", EquipmentFlag(in, "RadCass")},
      {"O9", EquipmentFlag(in, "RadCD")},
      {"NP", StripDoorWords(vehicle.GetValue("NB_PORTES"))},
      {"K", vehicle.GetValue("Kilometrage")},
      {"E1", ""},
      {"E2", "true"},
      {"CO", vehicle.GetValue("Couleur")},
      {"E", platform::UpperCaseAZ(platform::ReplaceAllText(vehicle.GetValue("Energie"), "é", "e"))},
      {"A", vehicle.GetValue("YearMEC")},
      {"B1", either(ex, "Radrecul", "Radavant")},
      {"B2", ""},
      {"B3", ""},
      {"B4", EquipmentFlag(in, "SCuir")},
      {"B5", EquipmentFlag(in, "OrdiBord")},
      {"B6", EquipmentFlag(in, "RegVit")},
      {"B7", EquipmentFlag(in, "SElect")},
      {"B8", EquipmentFlag(in, "GPS")},
      {"B9", EquipmentFlag(in, "ToitOuvr")},
      {"S1", EquipmentFlag(sec, "AntiDem")},
      {"S2", EquipmentFlag(sec, "AntiBrou")},
      {"S3", EquipmentFlag(sec, "AntiPat")},
      {"S4", ""},
      {"S5", ""},
      {"S6", ""},
      {"S7", ""},
      {"S8", EquipmentFlag(sec, "ESP")},
      {"S9", EquipmentFlag(sec, "LXen")},
      {"S10", ""},
      {"U1", EquipmentFlag(ex, "AttRem")},
      {"U2", ""},
      {"U3", ""},
      {"U4", ""},
      {"U5", EquipmentFlag(ex, "PorBag")},
      {"U6", ""},
      {"U7", EquipmentFlag(ex, "JantAll")},
      {"U8", EquipmentFlag(in, "VitreTeint")},
      {"U9", EquipmentFlag(ex, "PMat")},
      {"U10", EquipmentFlag(sec, "VerCent")},
      {"G1", truth(months == 6)},
      {"G2", truth(months == 12)},
      {"IM", vehicle.GetValue("FirstMEC")},
  };
}

std::string ApplyFirstReplacements(std::string text) {
  // The body type's tag takes the portal's spelling in this exact case only.
  return RewritePhotoSlots(std::move(text), {"NOMPHOTO", "liste_photos", "photo"},
                           {{"<Carrosserie>", "<carrosserie>", true}, {"</Carrosserie>", "</carrosserie>", true}});
}

std::string ApplySecondReplacements(std::string text) {
  text = ReplaceSpansInRecords(text, "<MODELEVERSION>", "</InfoComplement>", "", "</DataVO>");
  return RewriteAsAnnonceList(std::move(text), "listepa");
}

namespace {

void AddComplement(xmldoc::IXMLCursor& complements, const TComplement& entry) {
  complements.AppendChild("complement", entry.Value)->SetAttribute("type", entry.Type);
}

void RunVehiclePass(shell::TRunControl& run, const xmldoc::IXMLCursor& document) {
  const TEquipmentLabels labels = LoadEquipmentLabels(document);
  auto vehicle = document.Select("/document/DataVOS/DataVO");
  shell::LogLine(run, "Après premier Select DataVO");
  for (; !vehicle->Eof(); vehicle->Next()) {
    ++run.Counters.VehicleCount;
    const auto complements = vehicle->Select("complements");
    const TEquipmentTexts texts = ComposeEquipmentTexts(labels, *vehicle);
    vehicle->SetValue("accroche_url", vehicle->GetValue("marque") + " " + vehicle->GetValue("MODELEVERSION"));
    vehicle->SetValue("texte", AdText(texts));
    try {
      for (const TComplement& entry : Complements(*vehicle, texts)) AddComplement(*complements, entry);
    } catch (const xmldoc::EXMLCursorError& error) {
      if (!complements->Eof()) throw;
      // Without its complements the portal refuses the vehicle: stop, and
      // say which one it is.
      throw xmldoc::EXMLCursorError("Véhicule n° " + std::to_string(run.Counters.VehicleCount) + ", reference " +
                                    vehicle->GetValue("reference") + " : élément complements absent\r\n" +
                                    error.what());
    }
  }
}

std::string Stamp(const char* format) { return platform::FormatDateTime(format, platform::Now()); }
std::string WorkingCopyPath() { return WorkFile("TopAnnonces-" + Stamp("yyyymmdd") + ".xml"); }

}  // namespace
}  // namespace topannonces

void BuildTopAnnoncesFeed(TFeedRun& feed) {
  using namespace topannonces;
  shell::TRunControl& run = feed.Run;
  const std::string feedPath = WorkFile("XXXXXX" + Stamp("yyyymmddhhnnss") + ".xml");
  const std::string archivePath = WorkFile("XXXXXX" + Stamp("yyyymmddhhnnss") + ".zip");
  const xmldoc::IXMLCursorPtr document = OpenDataExport(feed, "TopAnnonces");

  RunVehiclePass(run, *document);
  RunPhotoPass(feed, *document, "reference", "NOMPHOTO");
  // Every vehicle gets its six slots together, so that liste_photos always closes.
  for (auto vehicle = document->Select("/document/DataVOS/DataVO"); !vehicle->Eof(); vehicle->Next()) {
    GroupPhotoSlots(*vehicle, "NOMPHOTO");
  }
  const std::string workingCopy = WorkingCopyPath();
  document->Save(workingCopy);

  RemoveLookupSections(run, *document);
  std::string text = document->XML();
  document->ReloadXML(text);
  document->Save(workingCopy);
  // Each rule set edits the text alone, the document read again after it.
  document->Unload();
  text = ApplyFirstReplacements(std::move(text));
  document->ReloadXML(text);
  document->Save(workingCopy);
  document->Unload();
  text = ApplySecondReplacements(std::move(text));
  LoadRewrittenText(run, *document, text);
  document->Save(feedPath);
  // The same document again: the bytes just written.
  platform::CopyFileReplacing(feedPath, WorkingCopyPath());

  PackFeedFile(run, archivePath, feedPath);
  SendArchive(feed, archivePath);
}

}  // namespace feeds
