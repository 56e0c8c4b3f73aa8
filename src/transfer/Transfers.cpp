#include "transfer/Transfers.h"

#include "platform/Ansi.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "transfer/SshHostKey.h"

namespace transfer {

namespace {

bool IsFtps(const TConnectionOptions& options) {
  return options.Security == TFtpSecurity::ExplicitTls || options.Security == TFtpSecurity::ImplicitTls;
}

}  // namespace

TConnectionOptions ReadConnectionOptions(const shell::TSettingsFile& settings, const std::string& section) {
  TConnectionOptions options;
  options.Passive = shell::SwitchIsOn(settings.ReadString(section, kModePassif, "0"));
  const std::string security = settings.ReadString(section, kSecurite, "");
  const std::string folded = platform::UpperCaseAZ(security);
  if (folded == "TLS") {
    options.Security = TFtpSecurity::ExplicitTls;
  } else if (folded == "TLS-IMPLICITE") {
    options.Security = TFtpSecurity::ImplicitTls;
  } else if (folded == "SFTP") {
    options.Security = TFtpSecurity::Sftp;
  } else if (!security.empty()) {
    throw EFtpError(std::string(kSecurite) + "=" + security + " inconnu dans la section [" + section +
                    "] (vide, TLS, TLS-implicite ou SFTP)");
  }
  if (IsFtps(options) && !options.Passive && !ActiveModeWorksWithTls()) {
    options.Passive = true;
    options.PassiveInsteadOfActive = true;
  }
  options.VerifyCertificate = shell::SwitchIsOn(settings.ReadString(section, kVerifierCertificat, "1"));
  options.CaFile = settings.ReadString(section, kCertificatAC, "");
  if (!options.CaFile.empty()) options.CaFile = platform::NativePath(options.CaFile);
  if (options.Security != TFtpSecurity::Sftp) return options;
  if (const std::string key = settings.ReadString(section, kEmpreinteSSH, ""); !key.empty()) {
    const auto fingerprint = NormalisedFingerprint(key);
    if (!fingerprint) {
      throw EFtpError(std::string(kEmpreinteSSH) + "=" + key + " dans la section [" + section +
                      "] n'est pas une empreinte SHA256 (comme ssh-keygen -l l'affiche : SHA256:...)");
    }
    options.HostKey = *fingerprint;
  }
  options.KnownHostsFile = settings.ReadString(section, kFichierKnownHosts, "");
  if (!options.KnownHostsFile.empty()) {
    options.KnownHostsFile = platform::NativePath(options.KnownHostsFile);
  } else if (const std::string home = platform::GetEnvironmentVariable("HOME"); !home.empty()) {
    options.KnownHostsFile = home + "/.ssh/known_hosts";
  }
  options.PrivateKeyFile = settings.ReadString(section, kCleSSH, "");
  if (!options.PrivateKeyFile.empty()) options.PrivateKeyFile = platform::NativePath(options.PrivateKeyFile);
  return options;
}

std::vector<std::string> ConnectionWarnings(const TConnectionOptions& options, const std::string& section) {
  std::vector<std::string> lines;
  if (IsFtps(options) && !options.VerifyCertificate) {
    lines.push_back("Attention : le certificat du serveur n'est pas vérifié (" + std::string(kVerifierCertificat) +
                    "=0 dans la section [" + section + "]), la connexion n'est pas protégée contre un serveur usurpé");
  }
  if (options.PassiveInsteadOfActive) {
    lines.push_back("Attention : le mode actif ne fonctionne pas avec " + std::string(kSecurite) +
                    " TLS sur ce système, le mode passif est utilisé (" + std::string(kModePassif) +
                    "=1 dans la section [" + section + "] évite ce message)");
  }
  return lines;
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
