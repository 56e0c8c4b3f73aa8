#include "feeds/SitAutoProFeed.h"

#include <array>
#include <iterator>

#include "feeds/AdText.h"
#include "feeds/DataExport.h"
#include "feeds/FeedSteps.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "shell/ActivityLog.h"

namespace feeds {
namespace {

constexpr int kPhotoSlots = 6;
constexpr const char* kSlotPrefix = "NOMPHOTO";
constexpr const char* kPlainDeclaration = "<?xml version=\"1.0\"?>";

std::string SlotName(int slot) { return kSlotPrefix + std::to_string(slot); }

std::string DailyCopyPath() {
  return WorkFolder() + "\\SitAutoPro-" + platform::FormatDateTime("yyyymmdd", platform::Now()) + ".xml";
}

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

// platform::ReplaceAllText for a pattern of ASCII characters, as every rule
// pattern is: no other character folds to an ASCII letter and no byte of a
// multi-byte character is ASCII, so folding the ASCII letters of the text
// byte by byte finds the same occurrences without decoding every character
// of a large document.
std::string ReplaceTagText(const std::string& text, const std::string& pattern, const std::string& replacement) {
  const auto fold = [](std::string s) {
    for (char& c : s) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
  };
  const std::string folded = fold(text);
  const std::string foldedPattern = fold(pattern);
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t pos = folded.find(foldedPattern); pos != std::string::npos;
       pos = folded.find(foldedPattern, copied)) {
    out.append(text, copied, pos - copied);
    out += replacement;
    copied = pos + pattern.size();
  }
  out.append(text, copied, std::string::npos);
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


std::string ApplyPhotoRules(const std::string& text) {
  std::string t = text;
  for (int slot = 1; slot <= 5; ++slot) t = ReplaceTagText(t, "</" + SlotName(slot) + ">", "</PHOTO>");  // P1-P5
  t = ReplaceTagText(t, "</NOMPHOTO6>", "</PHOTO></PHOTOS>");                                          // P6
  t = ReplaceTagText(t, "<NOMPHOTO1>", "<PHOTOS><PHOTO>");                                              // P7
  for (int slot = 2; slot <= 6; ++slot) t = ReplaceTagText(t, "<" + SlotName(slot) + ">", "<PHOTO>");   // P8-P12
  return ReplaceTagText(t, "<PHOTO></PHOTO>", "");                                                      // P13
}

std::string ApplyLayoutRules(const std::string& text, const std::string& clientCode) {
  std::string t = ReplaceSpansInRecords(text, "<EQUTINTERIEUR>", "</INFOCOMPLEMENT>", "", "</DataVO>");  // L1
  t = ReplaceSpans(t, "<COORDONNEESS EOF=\"", "RecordName=\"COORDONNEES\">",
                   "<CLIENT CODE=\"" + EscapeAttribute(clientCode) + "\">");                       // L2
  t = ReplaceTagText(t, "</COORDONNEESS>", "");                                                     // L3
  t = ReplaceSpans(t, "<DataVOS EOF=\"", "RecordName=\"DataVO\">", "");                             // L4
  t = ReplaceTagText(t, "</DataVOS>", "</CLIENT>");                                                 // L5
  t = ReplaceSpans(t, "<CODECLIENT>", "</CODECLIENT>", "");                                         // L6
  t = ReplaceTagText(t, "<DataVO>", "<ANNONCE>");                                                   // L7
  t = ReplaceTagText(t, "</DataVO>", "</ANNONCE>");                                                 // L8
  t = ReplaceTagText(t, "<document>", "");                                                          // L9
  t = ReplaceTagText(t, "</document>", "");                                                         // L10
  return ReplaceTagText(t, kPlainDeclaration, "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>");  // L11
}

std::string RewriteSitAutoProExport(shell::TRunControl& run, xmldoc::IXMLCursor& doc) {
  auto vehicle = doc.Select("/document/DataVOS/DataVO");
  shell::LogLine(run, "Après premier Select DataVO");
  for (; !vehicle->Eof(); vehicle->Next()) {
    ++run.VehicleCount;
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

  RunPhotoPass(run, doc, "REFERENCE", kSlotPrefix);
  doc.Save(DailyCopyPath());

  RemoveLookupSections(run, doc);

  std::string text = doc.XML();
  if (text.compare(0, std::char_traits<char>::length(kPlainDeclaration), kPlainDeclaration) != 0) {
    text = std::string(kPlainDeclaration) + "\n" + text;  // an export without declaration
  }
  doc.LoadXML(text);
  doc.Save(DailyCopyPath());

  text = ApplyPhotoRules(text);
  doc.LoadXML(text);
  doc.Save(DailyCopyPath());

  return ApplyLayoutRules(text, clientCode);
}

void BuildSitAutoProFeed(shell::TRunControl& run) {
  const std::string section = run.CurrentOption;
  const std::string fileResult = run.Settings->ReadString(section, "FileResult", shell::defaults::FileResult);
  const std::string fileResultZip = run.Settings->ReadString(section, "FileResultZip", shell::defaults::FileResultZip);
  const std::string workFolder = WorkFolder();
  if (!platform::DirectoryExists(workFolder)) platform::CreateDir(workFolder);
  run.LoadConnectionFields();
  run.LoadTestFTPClicheo();

  auto doc = xmldoc::TXMLCursor::Create();
  doc->Load(DataExportPath("SitAutoPro"));
  run.PhotoLinkCount = 0;
  run.PhotosUpdatedCount = 0;
  run.VehicleCount = 0;

  const std::string text = RewriteSitAutoProExport(run, *doc);
  LoadRewrittenText(run, *doc, text);
  const std::string feedPath = workFolder + "\\" + fileResult;
  doc->Save(feedPath);
  doc->Save(DailyCopyPath());

  const std::string archivePath = workFolder + "\\" + fileResultZip;
  PackFeedFile(run, archivePath, feedPath);
  SendArchive(run, archivePath);
  run.RunFinished = true;
}

}  // namespace feeds
