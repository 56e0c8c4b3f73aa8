#include "feeds/SitAutoProFeed.h"

#include <array>
#include <iterator>

#include "feeds/AdText.h"
#include "feeds/DataExport.h"
#include "feeds/FeedSteps.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "platform/ReplacingFile.h"
#include "platform/TextRewriter.h"
#include "shell/ActivityLog.h"

namespace feeds {
namespace {

constexpr const char* kSlotPrefix = "NOMPHOTO";
constexpr const char* kPlainDeclaration = "<?xml version=\"1.0\"?>";

std::string DailyCopyPath() { return WorkFile("SitAutoPro-" + platform::FormatDateTime("yyyymmdd", platform::Now()) + ".xml"); }

// The client code goes into an attribute by text replacement: a quote, "<"
// or "&" in it must not break or inject markup.
std::string EscapeAttribute(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Radio(const std::string& interior) {
  std::string value = EquipmentFlagOuiNon(interior, "RadCass");
  if (value == "O") value = "Radio K7";
  if (platform::CharLength(value) <= 1) {
    value = EquipmentFlagOuiNon(interior, "RadCD");
    if (value == "O") value = "Radio CD";
  }
  if (platform::CharLength(value) <= 1) {
    value = EquipmentFlagOuiNon(interior, "RadMP3");
    if (value == "O") value = "Radio MP3";
  }
  return value;
}

std::string Climate(const std::string& interior) {
  if (EquipmentFlagOuiNon(interior, "ClimAuto") == "O") return "Climatisation Automatique";
  if (EquipmentFlagOuiNon(interior, "Clim") == "O") return "Climatisation";
  return {};
}

}  // namespace

std::string CategoryCodeFromBodyType(const std::string& bodyType) {
  struct Category { const char* word; const char* code; };
  static constexpr Category kCategories[] = {
      {"BERLINE", "11100"}, {"BREAK", "11200"},  {"MONOSPACE", "11300"}, {"4X4", "11400"}, {"PICK UP", "11400"},
      {"CABRIOLET", "11500"}, {"COUPE", "11500"}, {"SOCIETE", "11200"},
  };
  const std::string word =
      platform::UpperCaseAZ(platform::ReplaceAllText(platform::ReplaceAllText(bodyType, "é", "e"), "è", "e"));
  for (const Category& c : kCategories) {
    if (word == c.word) return c.code;
  }
  return "11100";
}

std::vector<std::pair<std::string, std::string>> SitAutoProEquipment(const TSitAutoProLists& lists) {
  enum TList { Interior, Exterior, Safety, Complement };
  enum TRule { OuiNon, AlwaysEmpty, Alloy };
  struct Flag { const char* element; TList list; const char* code; TRule rule; };
  // The elements after AUTO_RADIO and CLIMATISATION, in feed order.
  static constexpr Flag kFlags[] = {
      {"DIRECTION_ASSISTEE", Interior, "DirAss", OuiNon},
      {"FERMETURE_CENTRALISEE", Safety, "VerCent", OuiNon},
      {"GPS", Interior, "", AlwaysEmpty},
      {"ORDINATEUR_DE_BORD", Interior, "OrdiBord", OuiNon},
      {"PORTE_BAGAGE", Exterior, "PorBag", OuiNon},
      {"RETROVISEURS_ELECTRIQUES", Exterior, "RetrElec", OuiNon},
      {"SIEGES_CHAUFFANTS", Interior, "SChauf", OuiNon},
      {"SIEGES_ELECTRIQUES", Interior, "SElect", OuiNon},
      {"TOIT_OUVRANT", Interior, "ToitOuvr", OuiNon},
      {"VITRES_ELECTRIQUES", Interior, "VitreElect", OuiNon},
      {"VITRES_SURTEINTEES", Interior, "VitreTeint", OuiNon},
      {"VOLANT_MULTIFONCTIONS", Interior, "VMFonct", OuiNon},
      {"ABS", Safety, "ABS", OuiNon},
      {"AIRBAGS_FRONTAUX", Safety, "AirbagCond", OuiNon},
      {"AIRBAGS_LATERAUX", Safety, "AirbagLat", OuiNon},
      {"ALARME", Safety, "Alarme", OuiNon},
      {"ANTI_DEMARRAGE", Safety, "AntiDem", OuiNon},
      {"ANTI_PATINAGE", Safety, "AntiPat", OuiNon},
      {"ESP", Safety, "ESP", OuiNon},
      {"PHARES_ANTIBROUILLARD", Safety, "AntiBrou", OuiNon},
      {"PROJECTEURS_XENON", Safety, "LXen", OuiNon},
      {"ATTELAGE", Exterior, "AttRem", OuiNon},
      {"JANTES", Exterior, "JantAll", Alloy},
      {"NON_FUMEUR", Complement, "VNF", OuiNon},
      {"REGULATEUR_DE_VITESSE", Interior, "RegVit", OuiNon},
      {"TUNING", Exterior, "Tuning", OuiNon},
  };
  const std::array<const std::string*, 4> list = {&lists.Interior, &lists.Exterior, &lists.Safety, &lists.Complement};
  std::vector<std::pair<std::string, std::string>> elements;
  elements.reserve(2 + std::size(kFlags));
  elements.emplace_back("AUTO_RADIO", Radio(lists.Interior));
  elements.emplace_back("CLIMATISATION", Climate(lists.Interior));
  for (const Flag& f : kFlags) {
    std::string value;
    if (f.rule != AlwaysEmpty) value = EquipmentFlagOuiNon(*list[f.list], f.code);
    if (f.rule == Alloy) value = value == "O" ? "alliage" : "";
    elements.emplace_back(f.element, value);
  }
  return elements;
}


std::string ApplyPhotoRules(std::string text) {
  return RewritePhotoSlots(std::move(text), {kSlotPrefix, "PHOTOS", "PHOTO"});
}

std::string ApplyLayoutRules(std::string text, const std::string& clientCode) {
  // The stretches first, each cut on its own, in the portal's order: the code
  // lists (within each vehicle), the record set's start tag that becomes the
  // CLIENT root, the vehicles' start tag, the client code.
  text = ReplaceSpansInRecords(text, "<EQUTINTERIEUR>", "</INFOCOMPLEMENT>", "", "</DataVO>");
  text = ReplaceSpans(text, "<COORDONNEESS EOF=\"", "RecordName=\"COORDONNEES\">",
                      "<CLIENT CODE=\"" + EscapeAttribute(clientCode) + "\">");
  text = ReplaceSpans(text, "<DataVOS EOF=\"", "RecordName=\"DataVO\">", "");
  text = ReplaceSpans(text, "<CODECLIENT>", "</CODECLIENT>", "");
  // Then the tags, in one pass: no stretch marker holds one of these tags
  // and none of them makes or unmakes a marker, so cutting the stretches
  // first gives what the portal's order gives.
  static const platform::TTextRewriter kTags({
      {"</COORDONNEESS>", ""},
      {"</DataVOS>", "</CLIENT>"},
      {"<DataVO>", "<ANNONCE>"},
      {"</DataVO>", "</ANNONCE>"},
      {"<document>", ""},
      {"</document>", ""},
      {kPlainDeclaration, "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"},
  });
  return kTags.Apply(text);
}

std::string RewriteSitAutoProExport(TFeedRun& feed, xmldoc::IXMLCursor& doc) {
  shell::TRunControl& run = feed.Run;
  auto vehicle = doc.Select("/document/DataVOS/DataVO");
  shell::LogLine(run, "Après premier Select DataVO");
  for (; !vehicle->Eof(); vehicle->Next()) {
    ++run.Counters.VehicleCount;
    vehicle->SetValue("CATEGORIE", CategoryCodeFromBodyType(vehicle->GetValue("CATEGORIE")));
    vehicle->SetValue("GARANTIE", StripMonthWord(vehicle->GetValue("GARANTIE")));
    vehicle->SetValue("NB_PORTES", StripDoorWords(vehicle->GetValue("NB_PORTES")));
    const TSitAutoProLists lists{vehicle->GetValue("EQUTINTERIEUR"), vehicle->GetValue("EQUTEXTERIEUR"),
                                 vehicle->GetValue("EQUTSECURITE"), vehicle->GetValue("INFOCOMPLEMENT")};
    const std::string model = vehicle->GetValue("MODELE");
    vehicle->SetValue("VERSION", StripMakeFromModel(vehicle->GetValue("VERSION"), model));
    for (const auto& [element, value] : SitAutoProEquipment(lists)) vehicle->SetValue(element, value);
    GroupPhotoSlots(*vehicle, kSlotPrefix);
  }

  std::string clientCode = "XXXXXX";
  auto coordinates = doc.Select("/document/COORDONNEESS/COORDONNEES");
  if (!coordinates->Eof()) clientCode = coordinates->GetValue("CODECLIENT");
  auto root = doc.Select("/document");
  if (!root->Eof() && root->Select("COORDONNEESS")->Eof()) {
    // Without its record set the feed would have no CLIENT start tag.
    auto empty = root->PrependChild("COORDONNEESS", "");
    empty->SetAttribute("EOF", "True");
    empty->SetAttribute("RecordName", "COORDONNEES");
  }

  RunPhotoPass(feed, doc, "REFERENCE", kSlotPrefix);
  doc.Save(DailyCopyPath());
  // Cursors on the old tree would keep it in memory beside the reloaded one.
  vehicle.reset();
  coordinates.reset();
  root.reset();

  RemoveLookupSections(run, doc);

  std::string text = doc.XML();
  if (text.compare(0, std::char_traits<char>::length(kPlainDeclaration), kPlainDeclaration) != 0) {
    text = std::string(kPlainDeclaration) + "\n" + text;  // an export without declaration
  }
  doc.ReloadXML(text);
  doc.Save(DailyCopyPath());

  // Each rule set edits the text alone, the document read again after it.
  doc.Unload();
  text = ApplyPhotoRules(std::move(text));
  doc.ReloadXML(text);
  doc.Save(DailyCopyPath());

  doc.Unload();
  return ApplyLayoutRules(std::move(text), clientCode);
}

void BuildSitAutoProFeed(TFeedRun& feed) {
  shell::TRunControl& run = feed.Run;
  const std::string fileResult = run.OptionSetting("FileResult", shell::defaults::FileResult);
  const std::string fileResultZip = run.OptionSetting("FileResultZip", shell::defaults::FileResultZip);
  const xmldoc::IXMLCursorPtr doc = OpenDataExport(feed, "SitAutoPro");

  const std::string text = RewriteSitAutoProExport(feed, *doc);
  LoadRewrittenText(run, *doc, text);
  const std::string feedPath = WorkFile(fileResult);
  doc->Save(feedPath);
  // The same document again: the bytes just written.
  platform::CopyFileReplacing(feedPath, DailyCopyPath());

  const std::string archivePath = WorkFile(fileResultZip);
  PackFeedFile(run, archivePath, feedPath);
  SendArchive(feed, archivePath);
}

}  // namespace feeds
