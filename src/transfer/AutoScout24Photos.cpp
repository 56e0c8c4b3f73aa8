#include "transfer/AutoScout24Photos.h"

#include <memory>
#include <string_view>
#include <utility>

#include "platform/Ansi.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "shell/ActivityLog.h"
#include "transfer/PhotoSync.h"

namespace transfer {
namespace {

// PhotoFileName keeps "\", so a name such as "..\..\x.jpg" would climb out of
// the photo folder; such a name, or one a NUL would cut short, is never read.
bool StaysInPhotoFolder(std::string_view fileName) {
  if (fileName.find('\0') != std::string_view::npos) return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = fileName.find('\\', start);
    const std::string_view part = fileName.substr(start, end == std::string_view::npos ? end : end - start);
    if (part == "..") return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

// A local file that exists and may be read.
bool LocalFileExists(const std::string& fileName, const std::string& path) {
  return StaysInPhotoFolder(fileName) && platform::FileExists(path);
}

void ReportUpdate(shell::TRunControl& run, const std::string& fileName, const std::string& path) {
  ++run.Counters.PhotosUpdatedCount;
  const std::string update = "Update " + std::to_string(run.Counters.PhotosUpdatedCount) + " : ";
  shell::LogLine(run, update + fileName);
  run.Window.SetLabel2(update + path);
}

}  // namespace

std::string PhotoFileName(const std::string& text) {
  const std::size_t last = text.find_last_of("/:");
  return last == std::string::npos ? text : text.substr(last + 1);
}

TAutoScout24Staging::TAutoScout24Staging(TTransfers& transfers, std::string stagingFolder)
    : transfers_(transfers), folder_(std::move(stagingFolder)) {}

TAutoScout24Staging::~TAutoScout24Staging() = default;

void TAutoScout24Staging::Stage(std::int32_t n, const std::string& photoName, const std::string& idNVO) {
  shell::TRunControl& run = transfers_.Run;
  if (!openFolder_) {
    if (!platform::DirectoryExists(folder_) && !platform::CreateDir(folder_)) platform::RaiseLastInOutError(folder_);
    auto opened = std::make_unique<platform::TOpenFolder>(folder_);
    if (!opened->IsOpen()) platform::RaiseLastInOutError(folder_);
    openFolder_ = std::move(opened);
  }

  const std::string fileName = PhotoFileName(photoName);
  const std::string source = run.PathImages() + "\\" + fileName;
  bool sourceExists;
  if (StaysInPhotoFolder(fileName) && idNVO.find_first_of("\\/") == std::string::npos) {
    // A photo missing from the archive would be a photo missing on the portal.
    const std::string name = idNVO + "_" + std::to_string(n) + ".jpg";
    sourceExists = openFolder_->LinkOrCopyFile(source, name);
    if (!sourceExists) {
      // Only a photo missing locally is left out, and only then is it looked up.
      const int error = errno;
      sourceExists = platform::FileExists(source);
      errno = error;
      if (sourceExists) platform::RaiseLastInOutError(folder_ + "\\" + name);
    }
  } else {
    sourceExists = LocalFileExists(fileName, source);
  }

  ++run.Counters.PhotoLinkCount;
  run.Window.SetLabel1("Image " + std::to_string(run.Counters.PhotoLinkCount) + " : " + source);

  if (sourceExists) {
    if (!IsPhotoOnServer(transfers_, fileName)) ReportUpdate(run, fileName, source);
  } else {
    ++run.Counters.PhotosMissingCount;
    shell::LogLine(run, "Pb Existence : " + fileName);
  }

  const std::string thumbnailName = PhotoFileName(platform::ReplaceAllText(photoName, ".jpg", "m.jpg"));
  const std::string thumbnail = run.PathImages() + "\\" + thumbnailName;
  if (!LocalFileExists(thumbnailName, thumbnail)) {
    ++run.Counters.PhotosMissingCount;
    shell::LogLine(run, "Pb Existence : " + thumbnailName);
    return;
  }
  if (!IsPhotoOnServer(transfers_, thumbnailName)) ReportUpdate(run, thumbnailName, thumbnail);
}

}  // namespace transfer
