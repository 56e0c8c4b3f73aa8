// AutoScout24 photo staging: AutoScout24 takes its photos inside the feed's
// archive, not from the photo server. For every photo link of a vehicle the
// feed builder calls StageAutoScout24Photo, which copies the photo from the
// local photo folder (PathImages) into the run's staging folder under the
// name idNVO + "_" + n + ".jpg", where the packing step picks it up.
//
// It also reports, for the photo and for its thumbnail (checked, never
// copied), whether the file exists locally and whether the photo server
// holds it (IsPhotoOnServer), counting the photos the server lacks in
// PhotosUpdatedCount. Nothing is sent to the photo server. A photo missing
// from the photo folder is reported and left out; a copy that fails for
// another reason raises EInOutError naming the staged file, so that no
// archive goes out without it. Errors of the activity log and a refused
// server listing are not caught either.
#pragma once

#include <cstdint>
#include <string>

#include "transfer/Transfers.h"

namespace transfer {

// The part after the last "/" or ":", the whole text when neither occurs.
// A "\" is no delimiter.
std::string PhotoFileName(const std::string& text);

// n: number of the photo within its vehicle (1 for the first); photoName:
// NomImage + ".jpg", which may carry a path or address in front of the file
// name; idNVO: the vehicle number. stagingFolder is created (its last level)
// when missing. A photo name that would reach outside the photo folder (a
// ".." part) counts as missing locally: it is neither read nor copied. An
// idNVO holding a path separator stages nothing.
void StageAutoScout24Photo(TTransfers& transfers, const std::string& stagingFolder, std::int32_t n,
                           const std::string& photoName, const std::string& idNVO);

}  // namespace transfer
