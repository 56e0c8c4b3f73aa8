#include "report/AfterRun.h"

#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "shell/RunFolders.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "report/History.h"
#include "report/RunSummary.h"
#include "report/StatusPage.h"
#include "shell/ActivityLog.h"
#include "shell/RunFolders.h"

namespace report {
namespace {

// A line for the operator: the activity log and the memo, or the memo alone
// when the log cannot be written (it may be what ended the run).
void Tell(shell::TRunControl& run, const std::string& text) {
  try {
    // A refused run's log belongs to the run that holds the lock.
    if (run.Outcome() == shell::TRunOutcome::Refused) {
      run.Window.AddMemoLine(text);
      return;
    }
    shell::LogLine(run, text);
  } catch (const std::exception&) {
    run.Window.AddMemoLine(text);
  }
}

// The work folder, made when missing as the runs make it: one level, never
// the TEMP folder of a WINDIR that lacks one.
void MakeWorkFolder() {
  const std::string folder = shell::WorkFolder();
  if (!platform::DirectoryExists(folder) && !platform::CreateDir(folder) && !platform::DirectoryExists(folder)) {
    platform::RaiseLastInOutError(folder);
  }
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string DisplayNameOf(const shell::TRunControl& run, const std::string& option) {
  const shell::TPortal* portal = run.Portals().Find(option);
  return portal ? portal->DisplayName : option;
}

}  // namespace

void WriteHistoryStep(shell::TRunControl&, const shell::TRunRecord& record) {
  try {
    MakeWorkFolder();
    const auto lock = LockHistory(HistoryLockPath());
    AppendToHistory(HistoryPath(), HistoryLine(record));
  } catch (const std::exception& error) {
    throw std::runtime_error("Historique non écrit : " + HistoryPath() + "\r\n" + error.what());
  }
}

void WriteStatusPageStep(shell::TRunControl& run, const shell::TRunRecord&) {
  try {
    MakeWorkFolder();
    const auto lock = LockHistory(HistoryLockPath());
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    WriteStatusPage(StatusPagePath(), RenderStatusPage(ReadHistory(HistoryPath()), run.Portals(), now, platform::Now()));
  } catch (const std::exception& error) {
    throw std::runtime_error("Page d'état non écrite : " + StatusPagePath() + "\r\n" + error.what());
  }
}

std::optional<TAlertSettings> ReadAlertSettings(const shell::TSettingsFile& s) {
  TAlertSettings a;
  a.Server.Server = s.ReadString("Alertes", "ServeurSMTP", "");
  if (a.Server.Server.empty()) return std::nullopt;
  const std::string security = platform::UpperCaseAZ(s.ReadString("Alertes", "Securite", ""));
  if (security.empty()) a.Server.Security = transfer::TMailSecurity::None;
  else if (security == "STARTTLS") a.Server.Security = transfer::TMailSecurity::StartTls;
  else if (security == "TLS") a.Server.Security = transfer::TMailSecurity::Tls;
  else throw std::runtime_error("Securite inconnue : " + security + " (vide, STARTTLS ou TLS)");
  a.Server.User = s.ReadString("Alertes", "User", "");
  a.Server.PassWord = s.ReadString("Alertes", "PassWord", "");
  const std::string delay = s.ReadString("Alertes", "Delai", "30");
  int seconds = 0;
  try {
    std::size_t used = 0;
    seconds = std::stoi(delay, &used);
    if (used != delay.size()) seconds = 0;
  } catch (const std::exception&) {
  }
  if (seconds < 1 || seconds > 600) throw std::runtime_error("Delai invalide : " + delay + " (1 à 600 secondes)");
  a.Server.TimeLimit = std::chrono::seconds(seconds);
  a.From = s.ReadString("Alertes", "De", "annoncia@localhost");
  const std::string to = s.ReadString("Alertes", "A", "");
  for (std::size_t start = 0; start <= to.size();) {
    std::size_t end = to.find(';', start);
    if (end == std::string::npos) end = to.size();
    const std::string address = Trimmed(to.substr(start, end - start));
    if (!address.empty()) a.To.push_back(address);
    start = end + 1;
  }
  const std::string when = platform::UpperCaseAZ(s.ReadString("Alertes", "Quand", "echec"));
  if (when == "TOUJOURS") a.Always = true;
  else if (when != "ECHEC") throw std::runtime_error("Quand inconnu : " + when + " (echec ou toujours)");
  return a;
}

void SendAlertStep(shell::TRunControl& run, const shell::TRunRecord& record) {
  try {
    const std::optional<TAlertSettings> alert = ReadAlertSettings(run.Settings());
    if (!alert || (!alert->Always && record.ExitStatus == 0)) return;
    const std::string name = DisplayNameOf(run, record.Option);
    const transfer::TMailMessage message{alert->From, alert->To, AlertSubject(record, name), AlertBody(record, name)};
    transfer::SendMail(alert->Server, message, [&run] { run.Window.ProcessMessages(); });
    std::string to;
    for (const std::string& address : alert->To) to += (to.empty() ? "" : "; ") + address;
    Tell(run, "Alerte envoyée à " + to + " : " + message.Subject);
  } catch (const std::exception& error) {
    throw std::runtime_error(std::string("Alerte non envoyée : ") + error.what());
  }
}

void RegisterAfterRunSteps(shell::TPortalTable& portals) {
  portals.AddAfterRunStep(WriteHistoryStep);
  portals.AddAfterRunStep(WriteStatusPageStep);
  portals.AddAfterRunStep(SendAlertStep);
}

int PrintStatusSummary(const shell::TPortalTable& portals, std::ostream& out) {
  out << "Annoncia : état des exports\n\n";
  PrintSummaryTable(out, SummarizePortals(ReadHistory(HistoryPath()), portals));
  out << "\nHistorique : " << platform::NativePath(HistoryPath()) << '\n';
  out << "Page d'état : " << platform::NativePath(StatusPagePath()) << '\n';
  return 0;
}

}  // namespace report
