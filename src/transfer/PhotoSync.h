// Photo synchronisation: the photos a feed links to, and their thumbnails,
// brought onto the photo server, from which a web server publishes them.
//
// With the run's TestFTPClicheo switch off every photo counts as present and
// the server is never contacted. With it on, the photo server's folder is
// listed once per run (TTransfers::PhotoServerListing, names folded for a
// case-insensitive whole-name match) and whatever a link names that the
// listing lacks is uploaded from the local photo folder (PathImages) through
// the photo session (IdFTP1). Only names are compared; nothing is
// ever deleted or listed again, so a photo named twice is sent twice.
//
// Failures of the photo session are swallowed, except a listing the server
// refuses for another reason than an empty folder: that error ends the run.
// Activity log errors are not caught either.
#pragma once

#include <string>

#include "transfer/Transfers.h"

namespace transfer {

// photoFileName: NomImage + ".jpg". Checks the photo, then its thumbnail (the
// local path with every ".jpg", in any case, replaced by "m.jpg"), uploads
// the ones present locally but not on the server, and logs "Update n : name"
// for each upload and "Pb Existence : name" for one missing on both sides.
// A name that would resolve outside the photo folder (a ".." part, an
// absolute path) or holds CR, LF or NUL counts as not present locally: it is
// neither read nor sent.
void SyncPhotos(TTransfers& transfers, const std::string& photoFileName);

// True when the switch is off or the name is in the server's listing (read,
// and logged as "Lecture du répertoire FTP Clicheo", on first use). False
// when the photo session cannot be opened; the listing is then read by a
// later call. Raises when the server refuses the listing (450 and 550 mean
// an empty folder and are no error).
bool IsPhotoOnServer(TTransfers& transfers, const std::string& fileName);

// Stores the local file on the photo server under its own name, opening the
// photo session first if needed. Swallows every error.
void UploadPhoto(TTransfers& transfers, const std::string& localPath);

}  // namespace transfer
