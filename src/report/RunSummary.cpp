#include "report/RunSummary.h"

#include <algorithm>
#include <cstdio>

namespace report {
namespace {

// Characters of a UTF-8 text, for the column widths.
std::size_t Width(const std::string& text) {
  std::size_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

std::string Padded(const std::string& text, std::size_t width) {
  return text + std::string(width > Width(text) ? width - Width(text) : 0, ' ');
}

// One line of a text that may hold several, and no longer than `width` characters.
std::string OneLine(const std::string& text, std::size_t width) {
  std::string line = text.substr(0, text.find_first_of("\r\n"));
  while (!line.empty() && line.back() == ' ') line.pop_back();
  if (Width(line) <= width) return line;
  std::string cut;
  std::size_t n = 0;
  for (const char c : line) {
    const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (starts && ++n > width - 3) break;
    cut += c;
  }
  return cut + "...";
}

std::string Size(std::int64_t bytes) { return bytes < 0 ? "-" : std::to_string(bytes) + " octets"; }

}  // namespace

TOutcomeLook LookOf(const std::string& w) {
  if (w == "sent") return {"envoyé", TTone::Good};
  if (w == "nothing_to_send") return {"rien à envoyer", TTone::Neutral};
  if (w == "held_back") return {"retenu", TTone::Warning};
  if (w == "photos_incomplete") return {"photos incomplètes", TTone::Warning};
  if (w == "refused") return {"refusé (export déjà en cours)", TTone::Warning};
  if (w == "not_sent") return {"non envoyé", TTone::Bad};
  if (w == "error") return {"erreur", TTone::Bad};
  return {nullptr, TTone::Neutral};
}

std::string FrenchOutcome(const std::string& w) {
  const TOutcomeLook look = LookOf(w);
  return look.Word ? look.Word : w;
}

bool IsProblem(const std::string& w) { return w != "sent" && w != "nothing_to_send"; }

std::string LocalDateTimeText(const std::string& iso) {
  if (iso.size() < 19 || iso[4] != '-' || iso[10] != 'T') return iso;
  return iso.substr(8, 2) + "/" + iso.substr(5, 2) + "/" + iso.substr(0, 4) + " " + iso.substr(11, 8);
}

std::vector<TPortalSummary> SummarizePortals(const std::vector<THistoryEntry>& history,
                                             const shell::TPortalTable& portals) {
  std::vector<TPortalSummary> summaries;
  for (const shell::TPortal& p : portals.All()) summaries.push_back({p.Option, p.DisplayName, {}, {}});
  for (const THistoryEntry& e : history) {
    auto it = std::find_if(summaries.begin(), summaries.end(), [&](const auto& s) { return s.Option == e.Portal; });
    if (it == summaries.end()) it = summaries.insert(summaries.end(), {e.Portal, e.Portal, {}, {}});
    // The history is in the order the runs ended.
    it->LastRun = e;
    if (IsProblem(e.Outcome)) it->LastProblem = e;
  }
  return summaries;
}

std::string ProblemMessage(const THistoryEntry& e) { return e.Error.empty() ? e.LastLine : e.Error; }

void PrintSummaryTable(std::ostream& out, const std::vector<TPortalSummary>& summaries) {
  const std::vector<std::string> head{"Portail", "Dernier export", "Résultat", "Véhicules", "Photos env./manq.",
                                      "Dernier problème"};
  std::vector<std::vector<std::string>> rows;
  for (const TPortalSummary& s : summaries) {
    if (!s.LastRun) {
      rows.push_back({s.DisplayName, "aucun export enregistré", "", "", "", ""});
      continue;
    }
    const THistoryEntry& e = *s.LastRun;
    std::string problem;
    if (s.LastProblem) {
      problem = LocalDateTimeText(s.LastProblem->Start) + " " + FrenchOutcome(s.LastProblem->Outcome) + " : " +
                ProblemMessage(*s.LastProblem);
    }
    rows.push_back({s.DisplayName, LocalDateTimeText(e.Start), FrenchOutcome(e.Outcome), std::to_string(e.Vehicles),
                    std::to_string(e.PhotosSent) + " / " + std::to_string(e.PhotosMissing), OneLine(problem, 70)});
  }
  std::vector<std::size_t> widths;
  for (const auto& h : head) widths.push_back(Width(h));
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
  }
  auto print = [&](const std::vector<std::string>& row) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) line += (c ? "  " : "") + Padded(row[c], widths[c]);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  };
  print(head);
  std::vector<std::string> rule;
  for (const std::size_t w : widths) rule.push_back(std::string(w, '-'));
  print(rule);
  for (const auto& row : rows) print(row);
}

std::string AlertSubject(const shell::TRunRecord& r, const std::string& displayName) {
  return "Annoncia " + displayName + " : " + FrenchOutcome(shell::OutcomeWord(r.Outcome));
}

std::string AlertBody(const shell::TRunRecord& r, const std::string& displayName) {
  const auto& c = r.Counters;
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.1f s", r.DurationSeconds);
  std::string body;
  auto line = [&](const std::string& text) { body += text + "\r\n"; };
  line("Export Annoncia pour " + displayName + " : " + FrenchOutcome(shell::OutcomeWord(r.Outcome)));
  line("");
  line("Début : " + platform::FormatIso8601(r.Start));
  line("Fin : " + platform::FormatIso8601(r.End) + " (" + duration + ")");
  line("Code de sortie : " + std::to_string(r.ExitStatus));
  line("Véhicules : " + std::to_string(c.VehicleCount));
  line("Liens photo : " + std::to_string(c.PhotoLinkCount));
  line("Photos envoyées : " + std::to_string(std::max(0, c.PhotosUpdatedCount - c.PhotosNotSentCount)));
  line("Photos manquantes dans le dossier local : " + std::to_string(c.PhotosMissingCount));
  line("Photos non envoyées : " + std::to_string(c.PhotosNotSentCount));
  if (!r.Files.FeedFile.empty()) line("Fichier du flux : " + r.Files.FeedFile + " (" + Size(r.Files.FeedSize) + ")");
  if (!r.Files.ArchiveFile.empty()) {
    line("Archive : " + r.Files.ArchiveFile + " (" + Size(r.Files.ArchiveSize) + ")");
  }
  if (!r.ErrorMessage.empty()) line("Erreur : " + r.ErrorMessage);
  else if (r.Outcome != shell::TRunOutcome::Sent && !r.OutcomeText.empty()) line("Motif : " + r.OutcomeText);
  line("");
  line("Dernières lignes du run :");
  for (const std::string& l : r.LastLines) line(l);
  return body;
}

}  // namespace report
