#include "xmldoc/XMLUtils.h"

#include "platform/Ansi.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ReplacingFile.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"

namespace xmldoc {

void WriteAnsiStringToFile(const std::string& text, const std::string& fileName) {
  const std::string folder = platform::ExtractFileDir(fileName);
  if (!folder.empty() && !platform::DirectoryExists(folder) && !platform::ForceDirectories(folder)) {
    platform::RaiseLastInOutError(folder);
  }
  platform::WriteFileReplacing(fileName, platform::Utf8ToAnsi(text));
}

std::int32_t FileSizeOf(const std::string& fileName) {
  const auto found = platform::FindFiles(fileName);
  if (found.empty()) return -1;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(found.front().Size & 0xFFFFFFFF));
}

void PurgeFolder(const std::string& folder) {
  // An empty name would stand for the current folder or the root of the drive.
  if (folder.empty()) return;
  platform::RemoveFolderTree(folder);
}

std::string WindowsFolder() { return platform::GetEnvironmentVariable("Windir"); }

}  // namespace xmldoc
