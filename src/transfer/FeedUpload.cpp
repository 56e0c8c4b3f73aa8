#include "transfer/FeedUpload.h"

#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "transfer/SafeStore.h"
#include "xmldoc/XMLUtils.h"

namespace transfer {
namespace {
using shell::TConnectionField;
}

std::string UploadFeedFile(TTransfers& transfers, const std::string& fullPath) {
  shell::TRunControl& run = transfers.Run;
  shell::IMainWindow& window = run.Window;
  const char* outcome = nullptr;
  if (transfers.PhotoServerUnavailable()) {
    // The feed goes anyway; the next run sends what is missing, since it compares names.
    shell::LogLine(run, "Photos non envoyées : " + std::to_string(transfers.Run.Counters.PhotosNotSentCount) +
                            " (serveur photos indisponible : " + transfers.PhotoServerProblem() +
                            ") ; la prochaine exécution les enverra");
  }
  try {
    run.IdFTP2WorkBegin(xmldoc::FileSizeOf(fullPath));
    TFtpSession& session = transfers.PortalSession();
    if (!session.Connected()) {
      window.SetLabel1("Connexion " + run.CurrentOption() + " - on connection");
      session.Connect(window.FieldText(TConnectionField::paramServeur), window.FieldText(TConnectionField::paramUser),
                      window.FieldText(TConnectionField::paramPassword),
                      window.FieldText(TConnectionField::paramRepert));
    }
  } catch (...) {
    outcome = kUploadConnectionFailed;
  }
  if (!outcome) {
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
      outcome = kUploadTransferFailed;
    } catch (...) {
      outcome = kUploadTransferFailed;
    }
  }
  const bool sent = outcome == nullptr;
  if (sent) outcome = kUploadSent;
  run.RecordUpload(sent, outcome);
  return outcome;
}

}  // namespace transfer
