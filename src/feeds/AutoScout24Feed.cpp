#include "feeds/AutoScout24Feed.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <stdexcept>

#include "feeds/AdText.h"
#include "feeds/DataExport.h"
#include "feeds/FeedSteps.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "shell/RunFolders.h"
#include "transfer/AutoScout24Photos.h"
#include "xmldoc/XMLUtils.h"

namespace feeds {
namespace {

// Where a column's value comes from.
enum class TSource {
  Empty,
  Text,               // Arg itself
  Field,              // the vehicle's field Arg
  Interior,           // flag of code Arg in InfoEquiInterieur
  Exterior,           // ... in InfoEquiExterieur
  Safety,             // ... in InfoEquiSecurite
  Version,            // IVersion without the model name
  FirstRegistration,  // MoisMEC.AnneeMEC
  Integer,            // field Arg as a decimal integer
  WarrantyGiven,      // "1" when Garantie is not empty
};

struct TColumn {
  int First;
  int Last;
  TSource Source;
  const char* Arg = "";
};

using S = TSource;
// Columns 4 to 92; 1 to 3 (customer, vehicle, first photo) come first.
constexpr TColumn kColumns[] = {
    {4, 4, S::Field, "IMarque"},
    {5, 5, S::Field, "IModele"},
    {6, 6, S::Version},
    {7, 7, S::Text, "Voiture d’occasion"},
    {8, 8, S::Field, "TypeBoiteVitesse"},
    {9, 9, S::Field, "TypeCarrosserie"},
    {10, 10, S::Field, "Couleur"},
    {11, 11, S::Exterior, "PMat"},
    {12, 12, S::Empty},
    {13, 13, S::Field, "Energie"},
    {14, 14, S::FirstRegistration},
    {15, 15, S::Field, "Kilometrage"},
    {16, 16, S::Field, "PrixDuBien"},
    {17, 17, S::Integer, "NombreDePortes"},
    {18, 18, S::Field, "NbPlaces"},
    {19, 19, S::Empty},
    {20, 20, S::Field, "Puissance"},
    {21, 28, S::Empty},
    {29, 29, S::Integer, "Garantie"},
    {30, 31, S::Empty},
    {32, 32, S::Interior, "Clim"},
    {33, 33, S::Interior, "ClimAuto"},
    {34, 34, S::Interior, "SCuir"},
    {35, 35, S::Interior, "VitreElec"},  // not "VitreElect": see the README
    {36, 36, S::Interior, "GPS"},
    {37, 37, S::Interior, "SElect"},
    {38, 38, S::Interior, "ToitOuvr"},
    {39, 39, S::Interior, "SChauf"},
    {40, 40, S::Interior, "RadCD"},
    {41, 41, S::Safety, "ABS"},
    {42, 42, S::Safety, "AirbagCond"},
    {43, 43, S::Safety, "AirbagPass"},
    {44, 44, S::Safety, "AirbagLat"},
    {45, 45, S::Safety, "LXen"},
    {46, 46, S::Safety, "VerCent"},
    {47, 47, S::Safety, "Alarme"},
    {48, 48, S::Safety, "AntiDem"},
    {49, 49, S::Safety, "AntiPat"},
    {50, 50, S::Empty},
    {51, 51, S::Exterior, "Tuning"},
    {52, 52, S::Exterior, "JantAll"},
    {53, 53, S::Exterior, "PorBag"},
    {54, 54, S::Interior, "OrdiBord"},
    {55, 55, S::Exterior, "Radrecul"},
    {56, 56, S::Safety, "AntiBrou"},
    {57, 57, S::Interior, "DirAss"},
    {58, 58, S::Interior, "RadCass"},
    {59, 61, S::Empty},
    {62, 62, S::Text, "0"},
    {63, 63, S::Empty},
    {64, 64, S::Exterior, "AttRem"},
    {65, 65, S::Safety, "ESP"},
    {66, 66, S::Interior, "RegVit"},
    {67, 67, S::Interior, "EquHandi"},
    {68, 72, S::Empty},
    {73, 73, S::WarrantyGiven},
    {74, 81, S::Empty},
    {82, 82, S::Field, "NChassis"},
    {83, 85, S::Empty},
    {86, 86, S::Exterior, ""},  // the empty code: "1" where the list holds ";;" (see the README)
    {87, 89, S::Empty},
    {90, 90, S::Field, "Puissance"},
    {91, 91, S::Field, "Immatriculation"},
    {92, 92, S::Empty},
};

constexpr bool ColumnsRunFrom4To92() {
  int next = 4;
  for (const TColumn& c : kColumns) {
    if (c.First != next || c.Last < c.First) return false;
    next = c.Last + 1;
  }
  return next == 93;
}
static_assert(ColumnsRunFrom4To92());

bool IsPlainDigits(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

TPhotoLinks::TPhotoLinks(const xmldoc::IXMLCursor& document) {
  for (auto link = document.Select("/document/LiensImagesS/LiensImages"); !link->Eof(); link->Next()) {
    double number;
    if (ParseXPathNumber(link->GetValue("idNVO"), number)) links_[number].push_back(link->GetValue("NomImage"));
  }
}

const std::vector<std::string>& TPhotoLinks::Of(const std::string& idNVO) const {
  static const std::vector<std::string> kNone;
  double number;
  if (!IsPlainDigits(idNVO) || !ParseXPathNumber(idNVO, number)) return kNone;
  const auto it = links_.find(number);
  return it == links_.end() ? kNone : it->second;
}

void AppendCsvField(std::string& csv, const std::string& value) {
  const std::size_t start = csv.size();
  csv += value;
  // A line break would end the vehicle's line inside a value, and a ";" would
  // move every later value into the next column (price into mileage...).
  for (std::size_t k = start; k < csv.size(); ++k) {
    if (csv[k] == '\r' || csv[k] == '\n' || csv[k] == '\0') csv[k] = ' ';
    else if (csv[k] == ';') csv[k] = ',';
  }
  csv += ';';
}

std::string FirstRegistrationColumn(const std::string& month, const std::string& year) {
  const std::string joined = month + "." + year;
  return platform::CharLength(joined) < 7 ? "0" + joined : joined;
}

std::string IntegerColumn(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') {
    ++begin;
    if (begin != end && *begin == '-') return "0";  // one sign only
  }
  std::int32_t value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || stop != end) return "0";
  return std::to_string(value);
}

void AppendAutoScout24Line(std::string& csv, const std::string& idClient, const xmldoc::IXMLCursor& vehicle,
                           bool hasPhotos) {
  const std::string idNVO = vehicle.GetValue("idNVO");
  AppendCsvField(csv, idClient);
  AppendCsvField(csv, idNVO);
  AppendCsvField(csv, hasPhotos ? idNVO + "_1.jpg" : "");
  const std::string interior = vehicle.GetValue("InfoEquiInterieur");
  const std::string exterior = vehicle.GetValue("InfoEquiExterieur");
  const std::string safety = vehicle.GetValue("InfoEquiSecurite");
  for (const TColumn& c : kColumns) {
    switch (c.Source) {
      case S::Empty:
        for (int k = c.First; k <= c.Last; ++k) AppendCsvField(csv, "");
        break;
      case S::Text: AppendCsvField(csv, c.Arg); break;
      case S::Field: AppendCsvField(csv, vehicle.GetValue(c.Arg)); break;
      case S::Interior: AppendCsvField(csv, EquipmentFlagDigit(interior, c.Arg)); break;
      case S::Exterior: AppendCsvField(csv, EquipmentFlagDigit(exterior, c.Arg)); break;
      case S::Safety: AppendCsvField(csv, EquipmentFlagDigit(safety, c.Arg)); break;
      case S::Version:
        AppendCsvField(csv, StripMakeFromModel(vehicle.GetValue("IVersion"), vehicle.GetValue("IModele")));
        break;
      case S::FirstRegistration:
        AppendCsvField(csv, FirstRegistrationColumn(vehicle.GetValue("MoisMEC"), vehicle.GetValue("AnneeMEC")));
        break;
      case S::Integer: AppendCsvField(csv, IntegerColumn(vehicle.GetValue(c.Arg))); break;
      case S::WarrantyGiven: AppendCsvField(csv, vehicle.GetValue("Garantie").empty() ? "0" : "1"); break;
    }
  }
  csv += "\r\n";
}

void CheckStagingFolder(const std::string& stagingFolder, const std::string& windowsFolder,
                        const std::vector<std::string>& keptFolders) {
  auto refuse = [&](const std::string& why) {
    throw std::runtime_error("Dossier PathTemp refusé, " + why + " : " + stagingFolder);
  };
  if (platform::FileExists(stagingFolder)) refuse("c'est un fichier");
  const std::string staging = platform::RealFolderPath(stagingFolder);
  const std::string windows = platform::RealFolderPath(windowsFolder);
  if (staging == windows || !platform::FolderWithin(staging, windows)) {
    refuse("il n'est pas dans le dossier Windows " + windowsFolder);
  }
  for (const std::string& kept : keptFolders) {
    const std::string real = platform::RealFolderPath(kept);
    if (platform::FolderWithin(real, staging)) refuse("il contient " + kept);
    if (platform::FolderWithin(staging, real)) refuse("il est dans " + kept);
  }
}

std::string StagingAsideFolder(const std::string& stagingFolder) {
  std::string folder = stagingFolder;
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder + ".precedent";
}

std::string SetStagingAside(const std::string& stagingFolder, const std::string& windowsFolder,
                            const std::vector<std::string>& keptFolders) {
  const std::string aside = StagingAsideFolder(stagingFolder);
  // A link there goes as a leftover would (the link only); a file stays.
  if (!platform::FileExists(aside)) {
    CheckStagingFolder(aside, windowsFolder, keptFolders);
    xmldoc::PurgeFolder(aside);  // what a run stopped before its end left aside
    if (platform::RenameFile(stagingFolder, aside)) return aside;
    if (errno == ENOENT) return {};  // no staging folder yet
  }
  // A file of that name is not ours to delete, and a folder that cannot be
  // renamed may still be emptied: the purge in place, as it stands.
  xmldoc::PurgeFolder(stagingFolder);
  return {};
}

namespace {

// Stages every vehicle's photos and writes the CSV file of the vehicles.
void StageVehicles(TFeedRun& feed, const xmldoc::IXMLCursor& document, const std::string& stagingFolder,
                   const std::string& idClient) {
  shell::TRunControl& run = feed.Run;
  const xmldoc::IXMLCursorPtr vehicle = document.Select("/document/DataVOS/DataVO");
  const TPhotoLinks photoLinks(document);
  transfer::TAutoScout24Staging staging(feed.Transfers, stagingFolder);
  std::string csv;
  for (; !vehicle->Eof(); vehicle->Next(), run.Window.ProcessMessages()) {
    ++run.Counters.VehicleCount;
    const std::string idNVO = vehicle->GetValue("idNVO");
    std::int32_t n = 0;
    for (const std::string& photo : photoLinks.Of(idNVO)) staging.Stage(++n, photo + ".jpg", idNVO);
    AppendAutoScout24Line(csv, idClient, *vehicle, n >= 1);
  }
  xmldoc::WriteAnsiStringToFile(csv, stagingFolder + "\\" + idClient + ".csv");
  NoteFeedFile(run, stagingFolder + "\\" + idClient + ".csv");
}

}  // namespace

void BuildAutoScout24Feed(TFeedRun& feed) {
  shell::TRunControl& run = feed.Run;
  const std::string windowsFolder = xmldoc::WindowsFolder();
  const std::string stagingFolder = windowsFolder + run.OptionSetting("PathTemp", shell::defaults::PathTemp);
  const std::string idClient = run.OptionSetting("idClient", shell::defaults::idClient);
  xmldoc::IXMLCursorPtr document = OpenDataExport(feed, "AutoScout24");

  // The purge deletes whatever the folder holds: never the data export, the
  // log or the dealer's photos.
  const std::vector<std::string> keptFolders = {shell::WorkFolder(), run.PathImages()};
  CheckStagingFolder(stagingFolder, windowsFolder, keptFolders);
  const std::string previousStaging = SetStagingAside(stagingFolder, windowsFolder, keptFolders);

  StageVehicles(feed, *document, stagingFolder, idClient);
  document->Save(WorkFile(platform::FormatDateTime("yyyymmddhhnn", platform::Now()) + ".xml"));
  // The last cursor on the document: its memory is free for the packing of
  // every photo, which needs as much again.
  document.reset();

  const std::string archive = WorkFile(idClient + ".zip");
  shell::LogLine(run, "Zip File : " + archive);
  PackArchive(run, archive, stagingFolder + "\\*.*");
  if (!previousStaging.empty()) xmldoc::PurgeFolder(previousStaging);
  run.AddMemoLine("Fichier " + archive + " créé");
  shell::LogLine(run, "Début Transfert : " + archive);
  shell::RestartLog(run);
  LogPhotosUpdated(run);
  SendArchive(feed, archive);
}

}  // namespace feeds
