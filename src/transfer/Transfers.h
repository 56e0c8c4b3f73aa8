// What the transfer layer keeps for a run: the photo check switch, the two
// FTP sessions and the photo server's listing.
//
// The sessions are made on first use, with their events wired to the run's
// handlers and the window: the photo session (IdFTP1: status only) and the
// portal session (IdFTP2: status, transfer start and progress). Once opened
// they stay open until the object goes, at the end of the run. The listing
// is read once, on the first photo look-up with the check switched on.
//
// The photo server must never hold the portal feed back: the first failure
// of the photo session that is not a plain refusal of one file marks it
// unavailable for the rest of the run (no further connection attempt; run
// control is told that photos are incomplete), and the feed upload then
// logs one line saying how many photos were not sent and why.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "shell/UnitAnnoncia.h"
#include "transfer/FtpSession.h"

namespace transfer {

// Settings of the connection sections read by the transfer layer, with their defaults.
inline constexpr const char* kEnvoiNomTemporaire = "EnvoiNomTemporaire";
inline constexpr const char* kEnvoiNomTemporaireDefault = "1";
inline constexpr const char* kPhotoServerSection = "Clicheo";
inline constexpr const char* kTentatives = "Tentatives";  // tries of the portal upload
inline constexpr int kTentativesDefault = 3;
inline constexpr int kTentativesMax = 10;
inline constexpr const char* kPauseTentatives = "PauseTentatives";  // seconds between two tries
inline constexpr int kPauseTentativesDefault = 60;
inline constexpr int kPauseTentativesMax = 600;
inline constexpr const char* kModePassif = "ModePassif";  // switch, default off (active mode)
inline constexpr const char* kSecurite = "Securite";      // "", "TLS", "TLS-implicite" or "SFTP"
inline constexpr const char* kVerifierCertificat = "VerifierCertificat";  // switch, default on
inline constexpr const char* kCertificatAC = "CertificatAC";  // a CA file; empty: the system's
inline constexpr const char* kEmpreinteSSH = "EmpreinteSSH";  // SFTP host key, "SHA256:..." (ssh-keygen -l)
inline constexpr const char* kFichierKnownHosts = "FichierKnownHosts";  // default ~/.ssh/known_hosts
inline constexpr const char* kCleSSH = "CleSSH";  // SFTP private key; empty: login by password

// The connection options of a section (the run option's or Clicheo). An
// unknown Securite, or an EmpreinteSSH that is no SHA-256 fingerprint,
// raises EFtpError naming it, so that no session ever goes in clear text or
// unchecked by mistake. Active mode with TLS where it cannot work comes out
// passive.
TConnectionOptions ReadConnectionOptions(const shell::TSettingsFile& settings, const std::string& section);
// The warning lines a run logs for a section's connection: a TLS session
// that accepts any certificate; active mode asked with TLS where it cannot
// work (see ActiveModeWorksWithTls), passive mode is then used instead.
std::vector<std::string> ConnectionWarnings(const TConnectionOptions& options, const std::string& section);

class TTransfers {
public:
  explicit TTransfers(shell::TRunControl& run);
  TTransfers(const TTransfers&) = delete;
  TTransfers& operator=(const TTransfers&) = delete;

  shell::TRunControl& Run;

  // TestFTPClicheo of the run option's section: on, photos missing from the
  // photo server's listing are sent; off, every photo counts as present.
  bool TestFTPClicheo = false;
  void LoadTestFTPClicheo();

  // The photo server's names, folded with platform::FoldCase; none until read.
  std::optional<std::unordered_set<std::string>> PhotoServerListing;

  // Whether the photo server was marked unavailable in this run, and why.
  bool PhotoServerUnavailable() const { return photoServerUnavailable_; }
  const std::string& PhotoServerProblem() const { return photoServerProblem_; }
  // Marks it (the first reason is kept) and logs a line saying so.
  void MarkPhotoServerUnavailable(const std::string& reason);
  // EnvoiNomTemporaire of the section Clicheo.
  bool PhotosSentUnderTemporaryName() const;

  // EnvoiNomTemporaire of the run option's section: upload under a temporary name, then rename.
  bool PortalSendsUnderTemporaryName() const;

  TFtpSession& PhotoSession();
  TFtpSession& PortalSession();

private:
  bool photoServerUnavailable_ = false;
  std::string photoServerProblem_;
  std::unique_ptr<TFtpSession> photoSession_;
  std::unique_ptr<TFtpSession> portalSession_;
};

}  // namespace transfer
