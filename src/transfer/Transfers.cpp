#include "transfer/Transfers.h"

#include "shell/ActivityLog.h"

namespace transfer {

TTransfers::TTransfers(shell::TRunControl& run) : Run(run) {}

void TTransfers::LoadTestFTPClicheo() {
  TestFTPClicheo = shell::SwitchIsOn(Run.OptionSetting("TestFTPClicheo", shell::defaults::TestFTPClicheo));
}

bool TTransfers::PortalSendsUnderTemporaryName() const {
  return shell::SwitchIsOn(Run.OptionSetting(kEnvoiNomTemporaire, kEnvoiNomTemporaireDefault));
}

bool TTransfers::PhotosSentUnderTemporaryName() const {
  return shell::SwitchIsOn(Run.Settings().ReadString(kPhotoServerSection, kEnvoiNomTemporaire, kEnvoiNomTemporaireDefault));
}

void TTransfers::MarkPhotoServerUnavailable(const std::string& reason) {
  if (photoServerUnavailable_) return;
  photoServerUnavailable_ = true;
  photoServerProblem_ = reason;
  Run.MarkPhotosIncomplete();
  shell::LogLine(Run, "Serveur photos indisponible : " + reason + " ; plus aucune photo n'est envoyée dans cette exécution");
}

TFtpSession& TTransfers::PhotoSession() {
  if (!photoSession_) {
    TFtpEvents events;
    events.Status = [this](const std::string& text) { Run.IdFTP1Status(text); };
    events.ProcessMessages = [this] { Run.Window.ProcessMessages(); };
    photoSession_ = std::make_unique<TFtpSession>(std::move(events), FtpTimeLimits());
  }
  return *photoSession_;
}

TFtpSession& TTransfers::PortalSession() {
  if (!portalSession_) {
    TFtpEvents events;
    events.Status = [this](const std::string& text) { Run.IdFTP2Status(text); };
    events.WorkBegin = [this](std::int64_t bytes) { Run.IdFTP2WorkBegin(bytes); };
    events.Work = [this](std::int64_t bytes) { Run.IdFTP2Work(bytes); };
    events.ProcessMessages = [this] { Run.Window.ProcessMessages(); };
    portalSession_ = std::make_unique<TFtpSession>(std::move(events), FtpTimeLimits());
  }
  return *portalSession_;
}

}  // namespace transfer
