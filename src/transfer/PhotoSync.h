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
// Photos are stored under a temporary name and renamed once complete (see
// SafeStore.h; EnvoiNomTemporaire=0 in the section Clicheo sends them under
// their own name): a cut photo under its own name would be listed, and so
// never sent again.
//
// Failures of the photo session never end the run. A refusal of one photo
// is ignored (the next run sends it again); any other failure of the
// connection, the login, the listing or an upload marks the photo server
// unavailable for the rest of the run (TTransfers::MarkPhotoServerUnavailable):
// photos are then still checked locally and logged, but none is sent and
// the server is not contacted again. Activity log errors are not caught.
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
// when the photo server is, or now becomes, unavailable (450 and 550 to the
// listing mean an empty folder and are no failure).
bool IsPhotoOnServer(TTransfers& transfers, const std::string& fileName);

// Stores the local file on the photo server under its own name, opening the
// photo session first if needed. Swallows every FTP error; counts the photo
// in the run's PhotosNotSentCount when it is not sent.
void UploadPhoto(TTransfers& transfers, const std::string& localPath);

}  // namespace transfer
