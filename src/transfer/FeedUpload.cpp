#include "transfer/FeedUpload.h"

#include "platform/Paths.h"
#include "transfer/FtpSession.h"
#include "xmldoc/XMLUtils.h"

namespace transfer {
namespace {
using shell::TConnectionField;
}

std::string UploadFeedFile(shell::TRunControl& run, const std::string& fullPath) {
  std::string outcome;
  shell::IMainWindow& window = run.Window;
  try {
    run.TotalBytes = xmldoc::FileSizeOf(fullPath);
    TFtpSession& session = PortalSession(run);
    if (!session.Connected()) {
      window.SetLabel1("Connexion " + run.CurrentOption + " - on connection");
      session.Connect(window.FieldText(TConnectionField::paramServeur), window.FieldText(TConnectionField::paramUser),
                      window.FieldText(TConnectionField::paramPassword),
                      window.FieldText(TConnectionField::paramRepert));
    }
  } catch (...) {
    outcome = kUploadConnectionFailed;
  }
  if (outcome.empty()) {
    try {
      window.SetLabel2(window.Label2() + " - on transfert");
      PortalSession(run).Store(fullPath, platform::ExtractFileName(fullPath));
    } catch (...) {
      outcome = kUploadTransferFailed;
    }
  }
  if (outcome.empty()) outcome = kUploadSent;
  run.UploadOutcome = outcome;
  return outcome;
}

}  // namespace transfer
