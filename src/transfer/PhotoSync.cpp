#include "transfer/PhotoSync.h"

#include <string_view>

#include "platform/Ansi.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "transfer/FtpSession.h"
#include "transfer/SafeStore.h"

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

// A refusal of this one file (a name or a permission the server will not
// take) leaves the server usable; anything else means it is not.
bool IsRefusalOfOneFile(const EFtpError& error) {
  switch (error.Failure()) {
    case TFtpFailure::Local: return true;
    case TFtpFailure::Temporary:
    case TFtpFailure::Refused: return error.Reply() != 421 && error.Reply() != 530;
    case TFtpFailure::Network:
    case TFtpFailure::TooLarge: return false;
  }
  return false;
}

void ConnectPhotoSession(TTransfers& transfers, TFtpSession& session) {
  const TConnectionOptions options = ReadConnectionOptions(transfers.Run.Settings(), kPhotoServerSection);
  for (const std::string& warning : ConnectionWarnings(options, kPhotoServerSection)) {
    shell::LogLine(transfers.Run, warning);
  }
  const shell::IMainWindow& w = transfers.Run.Window;
  session.Connect(w.FieldText(TConnectionField::paramServeurClicheo), w.FieldText(TConnectionField::paramUserClicheo),
                  w.FieldText(TConnectionField::paramPasswordClicheo),
                  w.FieldText(TConnectionField::paramRepertClicheo), options);
}

// One side of SyncPhotos: the photo or its thumbnail.
void SyncOne(TTransfers& transfers, const std::string& localPath, bool safe, const std::string& serverName,
             const std::string& problemName) {
  // A photo on the server needs nothing, so the local look-up (the costly
  // part on a large export) is made only for the others.
  if (IsPhotoOnServer(transfers, serverName)) return;
  shell::TRunControl& run = transfers.Run;
  if (!(safe && platform::FileExists(localPath))) {
    ++run.Counters.PhotosMissingCount;
    shell::LogLine(run, "Pb Existence : " + problemName);
  } else {
    ++run.Counters.PhotosUpdatedCount;
    const std::string count = std::to_string(run.Counters.PhotosUpdatedCount);
    shell::LogLine(run, "Update " + count + " : " + platform::ExtractFileName(localPath));
    run.Window.SetLabel2("Update " + count + " : " + localPath);
    UploadPhoto(transfers, localPath);
  }
}

}  // namespace

void SyncPhotos(TTransfers& transfers, const std::string& photoFileName) {
  shell::TRunControl& run = transfers.Run;
  const bool safe = IsSafePhotoName(photoFileName);
  const std::string image = "Image " + std::to_string(run.Counters.PhotoLinkCount) + " : ";
  const std::string localPath = run.PathImages() + "\\" + photoFileName;
  run.Window.SetLabel1(image + localPath);
  SyncOne(transfers, localPath, safe, photoFileName, photoFileName);

  const std::string thumbnailPath = platform::ReplaceAllText(localPath, ".jpg", "m.jpg");
  const std::string thumbnailName = platform::ExtractFileName(thumbnailPath);
  run.Window.SetLabel1(image + thumbnailPath);
  SyncOne(transfers, thumbnailPath, safe, thumbnailName, thumbnailName);
}

bool IsPhotoOnServer(TTransfers& transfers, const std::string& fileName) {
  if (!transfers.TestFTPClicheo) return true;
  // Not on a server that cannot be asked: the photo counts as one to send.
  if (transfers.PhotoServerUnavailable()) return false;
  shell::IMainWindow& window = transfers.Run.Window;
  if (!transfers.PhotoServerListing) {
    try {
      TFtpSession& session = transfers.PhotoSession();
      if (!session.Connected()) {
        window.SetLabel1(window.Label1() + " - on connection " + fileName);
        ConnectPhotoSession(transfers, session);
      }
    } catch (const std::exception& error) {
      transfers.MarkPhotoServerUnavailable(error.what());
      return false;
    }
    shell::LogLine(transfers.Run, "Lecture du répertoire FTP Clicheo");
    transfers.PhotoServerListing.emplace();
    try {
      for (const std::string& name : transfers.PhotoSession().ListNames()) {
        transfers.PhotoServerListing->insert(platform::FoldCase(name));
      }
    } catch (const EFtpError& error) {
      transfers.PhotoServerListing->clear();
      transfers.MarkPhotoServerUnavailable(error.what());
      return false;
    }
  }
  return transfers.PhotoServerListing->contains(platform::FoldCase(fileName));
}

void UploadPhoto(TTransfers& transfers, const std::string& localPath) {
  shell::IMainWindow& window = transfers.Run.Window;
  if (transfers.PhotoServerUnavailable()) {
    ++transfers.Run.Counters.PhotosNotSentCount;
    return;
  }
  try {
    TFtpSession& session = transfers.PhotoSession();
    if (!session.Connected()) {
      window.SetLabel1(window.Label1() + " - on connection");
      ConnectPhotoSession(transfers, session);
    }
  } catch (const std::exception& error) {
    transfers.MarkPhotoServerUnavailable(error.what());
    ++transfers.Run.Counters.PhotosNotSentCount;
    return;
  }
  const std::string name = platform::ExtractFileName(localPath);
  try {
    window.SetLabel2(window.Label2() + " - on transfert");
    // A cut photo under its own name would be listed, and so never sent again.
    if (transfers.PhotosSentUnderTemporaryName()) {
      StoreUnderTemporaryName(transfers.PhotoSession(), localPath, name);
    } else {
      (void)transfers.PhotoSession().Store(localPath, name);
    }
  } catch (const ERenameRefused& refusal) {
    transfers.MarkPhotoServerUnavailable(std::string(refusal.what()) + ", " + kEnvoiNomTemporaire +
                                         "=0 dans la section [" + kPhotoServerSection +
                                         "] envoie les photos directement sous leur nom");
    ++transfers.Run.Counters.PhotosNotSentCount;
  } catch (const EFtpError& error) {
    // A photo the server refuses is sent again by the next run, which still misses it.
    if (IsRefusalOfOneFile(error)) return;
    transfers.MarkPhotoServerUnavailable(error.what());
    ++transfers.Run.Counters.PhotosNotSentCount;
  }
}

}  // namespace transfer
