#include "transfer/Transfers.h"

#include "platform/Ansi.h"
#include "platform/Paths.h"
#include "shell/ActivityLog.h"

namespace transfer {

TConnectionOptions ReadConnectionOptions(const shell::TSettingsFile& settings, const std::string& section) {
  TConnectionOptions options;
  options.Passive = shell::SwitchIsOn(settings.ReadString(section, kModePassif, "0"));
  const std::string security = settings.ReadString(section, kSecurite, "");
  const std::string folded = platform::UpperCaseAZ(security);
  if (folded == "TLS") {
    options.Security = TFtpSecurity::ExplicitTls;
  } else if (folded == "TLS-IMPLICITE") {
    options.Security = TFtpSecurity::ImplicitTls;
  } else if (!security.empty()) {
    throw EFtpError(std::string(kSecurite) + "=" + security + " inconnu dans la section [" + section +
                    "] (vide, TLS ou TLS-implicite)");
  }
  options.VerifyCertificate = shell::SwitchIsOn(settings.ReadString(section, kVerifierCertificat, "1"));
  options.CaFile = settings.ReadString(section, kCertificatAC, "");
  if (!options.CaFile.empty()) options.CaFile = platform::NativePath(options.CaFile);
  return options;
}

std::string UncheckedCertificateWarning(const TConnectionOptions& options, const std::string& section) {
  if (options.Security == TFtpSecurity::None || options.VerifyCertificate) return "";
  return "Attention : le certificat du serveur n'est pas vérifié (" + std::string(kVerifierCertificat) +
         "=0 dans la section [" + section + "]), la connexion n'est pas protégée contre un serveur usurpé";
}

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
