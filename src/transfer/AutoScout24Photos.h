// AutoScout24 photo staging: AutoScout24 takes its photos inside the feed's
// archive, not from the photo server. For every photo link of a vehicle the
// feed builder calls TAutoScout24Staging::Stage, which gives the photo of
// the local photo folder (PathImages) a name in the run's staging folder,
// idNVO + "_" + n + ".jpg", where the packing step picks it up. That name is
// a hard link to the dealer's photo where the file system allows it (no
// file is written: the photo itself goes into the archive), else a copy
// (platform::TOpenFolder::LinkOrCopyFile): a staged photo is only ever read
// or removed, never written.
//
// It also reports, for the photo and for its thumbnail (checked, never
// staged), whether the file exists locally and whether the photo server
// holds it (IsPhotoOnServer), counting the photos the server lacks in
// PhotosUpdatedCount. Nothing is sent to the photo server. A photo missing
// from the photo folder is reported and left out; a photo that cannot be
// staged for another reason raises EInOutError naming the staged file, so
// that no archive goes out without it. Errors of the activity log and a
// refused server listing are not caught either.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transfer/Transfers.h"

namespace platform {
class TOpenFolder;
}

namespace transfer {

// The part after the last "/" or ":", the whole text when neither occurs.
// A "\" is no delimiter.
std::string PhotoFileName(const std::string& text);

// The staging of one run's photos into stagingFolder.
class TAutoScout24Staging {
public:
  TAutoScout24Staging(TTransfers& transfers, std::string stagingFolder);
  ~TAutoScout24Staging();

  // n: number of the photo within its vehicle (1 for the first); photoName:
  // NomImage + ".jpg", which may carry a path or address in front of the
  // file name; idNVO: the vehicle number. The staging folder is created (its
  // last level) by the first call when missing, and opened then: later
  // photos go into the folder opened, never through its path again (a link
  // put there meanwhile is not followed), and fail once it is deleted. A photo name that would reach outside the photo folder (a ".."
  // part) counts as missing locally: it is neither read nor staged. An idNVO
  // holding a path separator stages nothing. A name staged before (the same
  // idNVO and n twice) is replaced.
  void Stage(std::int32_t n, const std::string& photoName, const std::string& idNVO);

private:
  TTransfers& transfers_;
  std::string folder_;
  std::unique_ptr<platform::TOpenFolder> openFolder_;  // from the first call on
};

}  // namespace transfer
