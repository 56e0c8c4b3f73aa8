#include "transfer/FeedUpload.h"

#include "platform/Paths.h"
#include "xmldoc/XMLUtils.h"

namespace transfer {
namespace {
using shell::TConnectionField;
}

std::string UploadFeedFile(TTransfers& transfers, const std::string& fullPath) {
  shell::TRunControl& run = transfers.Run;
  shell::IMainWindow& window = run.Window;
  const char* outcome = nullptr;
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
    try {
      window.SetLabel2(window.Label2() + " - on transfert");
      transfers.PortalSession().Store(fullPath, platform::ExtractFileName(fullPath));
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
