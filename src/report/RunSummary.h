// The words and texts the status page, `annoncia --etat` and the alert share:
// the French word and tone of each outcome, the per-portal summary (the
// newest run and the newest failure of every portal) and the text of a run
// for the alert.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "report/History.h"
#include "shell/PortalTable.h"
#include "shell/UnitAnnoncia.h"

namespace report {

enum class TTone { Good, Warning, Bad, Neutral };

struct TOutcomeLook {
  const char* Word;  // French, for people: "envoyé", "non envoyé", ...
  TTone Tone;        // green, amber, red, grey
};
// The look of an outcome's stable word (shell::OutcomeWord); an unknown word
// is shown as it is, grey.
TOutcomeLook LookOf(const std::string& outcomeWord);
std::string FrenchOutcome(const std::string& outcomeWord);

// Whether the outcome is one the dealer must hear of (anything but sent and
// nothing to send).
bool IsProblem(const std::string& outcomeWord);

// "2026-06-19T14:05:09+02:00" as "19/06/2009 14:05:09" (the local time the
// run saw); another text as it is.
std::string LocalDateTimeText(const std::string& iso);

// A portal's line of the summary.
struct TPortalSummary {
  std::string Option;
  std::string DisplayName;
  std::optional<THistoryEntry> LastRun;
  std::optional<THistoryEntry> LastProblem;
};
// One summary per portal of the table, in its order, then any portal the
// history names that the table does not know.
std::vector<TPortalSummary> SummarizePortals(const std::vector<THistoryEntry>& history,
                                             const shell::TPortalTable& portals);

// The message a problem run leaves: its error, else its last line.
std::string ProblemMessage(const THistoryEntry& entry);

// The per-portal summary as a text table (`annoncia --etat`).
void PrintSummaryTable(std::ostream& out, const std::vector<TPortalSummary>& summaries);

// The alert's subject ("Annoncia ParuVendu : non envoyé") and body.
std::string AlertSubject(const shell::TRunRecord& record, const std::string& displayName);
std::string AlertBody(const shell::TRunRecord& record, const std::string& displayName);

}  // namespace report
