#include "feeds/FeedGuards.h"

#include <charconv>
#include <cstdint>
#include <stdexcept>

#include "feeds/DataExport.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ReplacingFile.h"
#include "shell/ActivityLog.h"
#include "shell/Settings.h"

namespace feeds {
namespace {

constexpr std::int64_t kDefaultDropThreshold = 50;

std::string LastSentCountFile(const shell::TRunControl& run) {
  return WorkFile("DernierEnvoi" + run.CurrentOption() + ".txt");
}

// A whole decimal number, or fallback.
std::int64_t NumberOr(const std::string& text, std::int64_t fallback) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return (error == std::errc() && end == text.data() + text.size() && value >= 0) ? value : fallback;
}

// The count of the last feed sent; -1 when none is known.
std::int64_t LastSentCount(const shell::TRunControl& run) {
  const std::string file = LastSentCountFile(run);
  if (!platform::FileExists(file)) return -1;
  std::string text = platform::ReadFileBytes(file);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return NumberOr(text, -1);
}

bool HoldBack(shell::TRunControl& run, const std::string& why) {
  const std::string line = "Flux retenu, non transmis : " + why;
  run.RecordHeldBack(line);
  shell::LogLine(run, line);
  return false;
}

}  // namespace

void CheckExportShape(const xmldoc::IXMLCursor& document, const std::string& exportPath) {
  const std::string root = document.NodeName();
  if (root != "document") {
    throw std::runtime_error("Export de données refusé : " + exportPath + " : élément racine <" + root +
                             "> trouvé, <document> attendu");
  }
  if (document.Select("/document/DataVOS")->Eof()) {
    throw std::runtime_error("Export de données refusé : " + exportPath +
                             " : liste des véhicules <DataVOS> absente de <document>");
  }
}

bool FeedMayBeSent(shell::TRunControl& run) {
  const std::int64_t count = run.Counters.VehicleCount;
  const std::string& option = run.CurrentOption();
  if (count == 0) {
    if (shell::SwitchIsOn(run.OptionSetting("EnvoiStockVide", "0"))) return true;
    return HoldBack(run, "il ne contient aucun véhicule (EnvoiStockVide=1 dans la section [" + option +
                             "] pour envoyer un stock vide)");
  }
  const std::int64_t threshold = NumberOr(run.OptionSetting("SeuilBaisse", "50"), kDefaultDropThreshold);
  const std::int64_t last = LastSentCount(run);
  if (threshold == 0 || last <= 0 || count * 100 >= last * threshold) return true;
  if (platform::GetEnvironmentVariable("ANNONCIA_FORCER") == "1") return true;
  const std::string counts =
      std::to_string(count) + " VO contre " + std::to_string(last) + " au dernier envoi";
  if (run.Window.AskOkCancel(shell::kApplicationTitle,
                             "Le flux " + option + " compte " + counts + ", moins de " + std::to_string(threshold) +
                                 " %.\r\nL'envoyer quand même ?")) {
    return true;
  }
  return HoldBack(run, counts + ", sous le seuil SeuilBaisse de " + std::to_string(threshold) +
                           " % (ANNONCIA_FORCER=1 pour l'envoyer quand même)");
}

void RememberSentCount(shell::TRunControl& run) {
  if (run.Outcome() != shell::TRunOutcome::Sent && run.Outcome() != shell::TRunOutcome::PhotosIncomplete) return;
  try {
    platform::WriteFileReplacing(LastSentCountFile(run), std::to_string(run.Counters.VehicleCount) + "\n");
  } catch (const platform::EInOutError& error) {
    // The feed went out whole: the run stays sent, and the next one compares
    // with the count kept before.
    run.Window.AddMemoLine(std::string("Nombre de VO envoyés non conservé : ") + error.what());
  }
}

}  // namespace feeds
