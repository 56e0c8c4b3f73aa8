#include "transfer/FeedUpload.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "transfer/SafeStore.h"
#include "xmldoc/XMLUtils.h"

namespace transfer {
namespace {

using shell::TConnectionField;
using namespace std::chrono_literals;

// How one try ended: nullptr for sent, else its outcome text.
struct TTry {
  const char* Outcome = nullptr;
  bool WorthAnotherTry = false;
  std::string Reason;
};

// A dropped or timed-out connection and a temporary refusal (421, 4xx) may
// pass; a refusal such as a denied login (530) will not.
bool MayPass(const EFtpError& error) {
  return error.Failure() == TFtpFailure::Network || error.Failure() == TFtpFailure::Temporary;
}

int ReadBoundedInteger(const shell::TRunControl& run, const char* key, int defaultValue, int low, int high) {
  const std::string text = run.OptionSetting(key, std::to_string(defaultValue));
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return defaultValue;
  return std::clamp(std::stoi(text), low, high);
}

TTry TryUpload(TTransfers& transfers, const std::string& fullPath, const TConnectionOptions& options) {
  shell::TRunControl& run = transfers.Run;
  shell::IMainWindow& window = run.Window;
  try {
    run.IdFTP2WorkBegin(xmldoc::FileSizeOf(fullPath));
    TFtpSession& session = transfers.PortalSession();
    if (!session.Connected()) {
      window.SetLabel1("Connexion " + run.CurrentOption() + " - on connection");
      session.Connect(window.FieldText(TConnectionField::paramServeur), window.FieldText(TConnectionField::paramUser),
                      window.FieldText(TConnectionField::paramPassword),
                      window.FieldText(TConnectionField::paramRepert), options);
    }
  } catch (const EFtpError& error) {
    return {kUploadConnectionFailed, MayPass(error), error.what()};
  } catch (...) {
    return {kUploadConnectionFailed, false, {}};
  }
  const std::string name = platform::ExtractFileName(fullPath);
  try {
    window.SetLabel2(window.Label2() + " - on transfert");
    if (transfers.PortalSendsUnderTemporaryName()) {
      StoreUnderTemporaryName(transfers.PortalSession(), fullPath, name);
    } else {
      (void)transfers.PortalSession().Store(fullPath, name);
    }
  } catch (const ERenameRefused& refusal) {
    shell::LogLine(run, "Transfert FTP : le serveur refuse de renommer " + name + kTemporarySuffix + " en " + name +
                            " (" + refusal.what() + ") ; " + kEnvoiNomTemporaire + "=0 dans la section [" +
                            run.CurrentOption() + "] envoie le fichier directement sous son nom");
    return {kUploadTransferFailed, false, refusal.what()};
  } catch (const EFtpError& error) {
    return {kUploadTransferFailed, MayPass(error), error.what()};
  } catch (...) {
    return {kUploadTransferFailed, false, {}};
  }
  return {};
}

// The window stays serviced while the pause runs.
void Pause(shell::IMainWindow& window, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    window.ProcessMessages();
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(50ms, end - std::chrono::steady_clock::now()));
  }
}

}  // namespace

std::string UploadFeedFile(TTransfers& transfers, const std::string& fullPath) {
  shell::TRunControl& run = transfers.Run;
  if (transfers.PhotoServerUnavailable()) {
    // The feed goes anyway; the next run sends what is missing, since it compares names.
    shell::LogLine(run, "Photos non envoyées : " + std::to_string(transfers.Run.Counters.PhotosNotSentCount) +
                            " (serveur photos indisponible : " + transfers.PhotoServerProblem() +
                            ") ; la prochaine exécution les enverra");
  }
  if (transfers.TestFTPClicheo) {
    // The photo server's warning was logged when it was contacted, and the
    // log has been started anew since: it must stay in this run's log.
    try {
      const TConnectionOptions photoOptions = ReadConnectionOptions(run.Settings(), kPhotoServerSection);
      if (const std::string warning = UncheckedCertificateWarning(photoOptions, kPhotoServerSection); !warning.empty()) {
        shell::LogLine(run, warning);
      }
    } catch (const EFtpError&) {
      // A Securite the photo server does not know was reported when it was contacted.
    }
  }
  const int tries = ReadBoundedInteger(run, kTentatives, kTentativesDefault, 1, kTentativesMax);
  const int pause = ReadBoundedInteger(run, kPauseTentatives, kPauseTentativesDefault, 0, kPauseTentativesMax);
  TConnectionOptions options;
  try {
    options = ReadConnectionOptions(run.Settings(), run.CurrentOption());
  } catch (const EFtpError& error) {
    shell::LogLine(run, error.what());
    run.RecordUpload(false, kUploadConnectionFailed);
    return kUploadConnectionFailed;
  }
  if (const std::string warning = UncheckedCertificateWarning(options, run.CurrentOption()); !warning.empty()) {
    shell::LogLine(run, warning);
  }
  TTry result;
  for (int attempt = 1;; ++attempt) {
    result = TryUpload(transfers, fullPath, options);
    if (!result.Outcome || !result.WorthAnotherTry) break;
    const std::string failed = "Transfert FTP : essai " + std::to_string(attempt) + " sur " + std::to_string(tries) +
                               " échoué (" + result.Reason + ")";
    if (attempt >= tries) {
      if (tries > 1) shell::LogLine(run, failed);
      break;
    }
    shell::LogLine(run, failed + " ; nouvel essai dans " + std::to_string(pause) + " s");
    Pause(run.Window, pause);
  }
  const bool sent = result.Outcome == nullptr;
  const char* outcome = sent ? kUploadSent : result.Outcome;
  run.RecordUpload(sent, outcome);
  return outcome;
}

}  // namespace transfer
