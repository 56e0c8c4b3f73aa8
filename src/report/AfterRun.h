// What the program does after every run, registered by app at start-up:
// the history line, the status page rewritten from the history, and the
// mail alert of the settings' [Alertes] section. Each step raises a French
// message naming what was not done; run control logs it, and the run's
// outcome and exit status stay as they were.
//
// [Alertes] (optional; no ServeurSMTP, no alert):
//   ServeurSMTP  "host" or "host:port"
//   Securite     empty (plain SMTP), STARTTLS or TLS
//   User, PassWord  login, when User is not empty
//   De           the sender's address (default annoncia@localhost)
//   A            one or more addresses separated by ";"
//   Quand        echec (default: after a run whose exit status is not 0) or
//                toujours (after every run)
//   Delai        seconds the whole sending may take (default 30)
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "shell/PortalTable.h"
#include "shell/UnitAnnoncia.h"
#include "transfer/MailAlert.h"

namespace report {

void RegisterAfterRunSteps(shell::TPortalTable& portals);

// The steps, one by one.
void WriteHistoryStep(shell::TRunControl& run, const shell::TRunRecord& record);
void WriteStatusPageStep(shell::TRunControl& run, const shell::TRunRecord& record);
void SendAlertStep(shell::TRunControl& run, const shell::TRunRecord& record);

// The alert settings of [Alertes].
struct TAlertSettings {
  transfer::TMailServer Server;
  std::string From;
  std::vector<std::string> To;
  bool Always = false;  // Quand=toujours
};
// nullopt when the section names no server. Raises for a Securite or a
// Delai it does not know.
std::optional<TAlertSettings> ReadAlertSettings(const shell::TSettingsFile& settings);

// `annoncia --etat`: the per-portal summary of the history as a text table,
// and where the history and the status page are. Returns the exit status (0).
int PrintStatusSummary(const shell::TPortalTable& portals, std::ostream& out);

}  // namespace report
