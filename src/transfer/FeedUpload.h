// The feed upload: one finished feed file (the XML feed, or its archive) sent
// to the portal's FTP server at the end of a run.
//
// UploadFeedFile sends the file through the portal session, opening it on
// first use from the portal connection fields, records the outcome with run
// control (whose exit status depends on it) and returns the outcome text.
// Callers append their own text to it directly: each outcome ends with a
// blank. No error leaves it.
//
// A portal takes the feed it finds as the whole stock, so the file goes
// under a temporary name and takes its own name only once complete (see
// SafeStore.h); the portal section's EnvoiNomTemporaire=0 sends it straight
// under its own name, for a server that refuses renames. A refused rename
// logs a line that names that switch.
//
// A try that fails in a way that may pass (no connection, a dropped or
// timed-out one, a temporary refusal such as 421) is made again, up to the
// portal section's Tentatives tries (default 3, at most 10) with
// PauseTentatives seconds between them (default 60, at most 600), each
// failed try logged; a refusal such as a denied login (530) is not tried
// again. Every try is bounded by the session's time limits, so the whole
// upload is too. When the photo server was marked
// unavailable during the run, a line first says how many photos were not
// sent and why. Nothing else is logged here.
#pragma once

#include <string>

#include "transfer/Transfers.h"

namespace transfer {

inline constexpr const char* kUploadSent = "Transfert FTP OK : ";
inline constexpr const char* kUploadConnectionFailed = "Transfert FTP : Erreur Connexion au serveur. ";
inline constexpr const char* kUploadTransferFailed = "Transfert FTP : Erreur lors du transfert. ";

// fullPath: the local file (Windows-style or native); it is stored under its
// own name, without folder, in the session's remote folder.
std::string UploadFeedFile(TTransfers& transfers, const std::string& fullPath);

}  // namespace transfer
