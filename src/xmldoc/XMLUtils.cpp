#include "xmldoc/XMLUtils.h"

#include "platform/Ansi.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace xmldoc {

void WriteAnsiStringToFile(const std::string& text, const std::string& fileName) {
  const std::string folder = platform::ExtractFileDir(fileName);
  if (!folder.empty() && !platform::DirectoryExists(folder)) platform::ForceDirectories(folder);
  try {
    platform::WriteFileBytes(fileName, platform::Utf8ToAnsi(text));
  } catch (const platform::EInOutError&) {
    // Callers that need the file check for it themselves.
  }
}

std::int32_t FileSizeOf(const std::string& fileName) {
  const auto found = platform::FindFiles(fileName);
  if (found.empty()) return -1;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(found.front().Size & 0xFFFFFFFF));
}

bool PurgeFolder(const std::string& folder) {
  // An empty name would make the pattern "\*.*": the root of the drive.
  if (folder.empty()) return true;
  for (const platform::TSearchRec& entry : platform::FindFiles(folder + "\\*.*")) {
    const std::string path = folder + "\\" + entry.Name;
    if (entry.Attr & platform::faDirectory) {
      if (!entry.Name.empty()) PurgeFolder(path);
      continue;
    }
    if (entry.Attr != platform::faArchive) platform::SetFileAttributes(path, platform::faArchive);
    platform::DeleteFile(path);
  }
  platform::RemoveDir(folder);
  return true;
}

std::string WindowsFolder() { return platform::GetEnvironmentVariable("Windir"); }

}  // namespace xmldoc
