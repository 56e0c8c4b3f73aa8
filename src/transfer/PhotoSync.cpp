#include "transfer/PhotoSync.h"

#include <string_view>

#include "platform/Ansi.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "transfer/FtpSession.h"

namespace transfer {
namespace {

using shell::TConnectionField;

// Whether a photo name from the data stays inside the photo folder and can
// be named in an FTP command.
bool IsSafePhotoName(std::string_view name) {
  if (name.empty() || name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  if (name.front() == '/' || name.front() == '\\') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // a drive
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("/\\", start);
    if (name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start) == "..") {
      return false;
    }
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

void ConnectPhotoSession(shell::TRunControl& run, TFtpSession& session) {
  const shell::IMainWindow& w = run.Window;
  session.Connect(w.FieldText(TConnectionField::paramServeurClicheo), w.FieldText(TConnectionField::paramUserClicheo),
                  w.FieldText(TConnectionField::paramPasswordClicheo),
                  w.FieldText(TConnectionField::paramRepertClicheo));
}

// One side of SyncPhotos: the photo or its thumbnail.
void SyncOne(shell::TRunControl& run, const std::string& localPath, bool safe, const std::string& serverName,
             const std::string& problemName) {
  // A photo on the server needs nothing, so the local look-up (the costly
  // part on a large export) is made only for the others.
  if (IsPhotoOnServer(run, serverName)) return;
  if (!(safe && platform::FileExists(localPath))) {
    shell::LogLine(run, "Pb Existence : " + problemName);
  } else {
    ++run.PhotosUpdatedCount;
    const std::string count = std::to_string(run.PhotosUpdatedCount);
    shell::LogLine(run, "Update " + count + " : " + platform::ExtractFileName(localPath));
    run.Window.SetLabel2("Update " + count + " : " + localPath);
    UploadPhoto(run, localPath);
  }
}

}  // namespace

void SyncPhotos(shell::TRunControl& run, const std::string& photoFileName) {
  const bool safe = IsSafePhotoName(photoFileName);
  const std::string image = "Image " + std::to_string(run.PhotoLinkCount) + " : ";
  const std::string localPath = run.PathImages + "\\" + photoFileName;
  run.Window.SetLabel1(image + localPath);
  SyncOne(run, localPath, safe, photoFileName, photoFileName);

  const std::string thumbnailPath = platform::ReplaceAllText(localPath, ".jpg", "m.jpg");
  const std::string thumbnailName = platform::ExtractFileName(thumbnailPath);
  run.Window.SetLabel1(image + thumbnailPath);
  SyncOne(run, thumbnailPath, safe, thumbnailName, thumbnailName);
}

bool IsPhotoOnServer(shell::TRunControl& run, const std::string& fileName) {
  if (!run.TestFTPClicheo) return true;
  if (!run.PhotoServerListing) {
    try {
      TFtpSession& session = PhotoSession(run);
      if (!session.Connected()) {
        run.Window.SetLabel1(run.Window.Label1() + " - on connection " + fileName);
        ConnectPhotoSession(run, session);
      }
    } catch (const std::exception&) {
      return false;
    }
    shell::LogLine(run, "Lecture du répertoire FTP Clicheo");
    run.PhotoServerListing.emplace();
    for (const std::string& name : PhotoSession(run).ListNames()) {
      run.PhotoServerListing->insert(platform::FoldCase(name));
    }
  }
  return run.PhotoServerListing->contains(platform::FoldCase(fileName));
}

void UploadPhoto(shell::TRunControl& run, const std::string& localPath) {
  try {
    TFtpSession& session = PhotoSession(run);
    if (!session.Connected()) {
      run.Window.SetLabel1(run.Window.Label1() + " - on connection");
      ConnectPhotoSession(run, session);
    }
  } catch (const std::exception&) {
    return;
  }
  try {
    run.Window.SetLabel2(run.Window.Label2() + " - on transfert");
    PhotoSession(run).Store(localPath, platform::ExtractFileName(localPath));
  } catch (const std::exception&) {
  }
}

}  // namespace transfer
