// Small file helpers of the feeds: writing a text file in the system's 8-bit
// code page, measuring a file, purging a folder tree, and the Windows folder.
// Failures raise platform::EInOutError naming the file or folder.
#pragma once

#include <cstdint>
#include <string>

namespace xmldoc {

// Writes text (UTF-8 inside the program) as Windows-1252 bytes, exactly,
// creating the missing folders first and replacing any existing file.
void WriteAnsiStringToFile(const std::string& text, const std::string& fileName);

// Size of the first entry matching fileName (wildcards allowed), low 32 bits
// as a signed value; -1 when nothing matches.
std::int32_t FileSizeOf(const std::string& fileName);

// Removes every file and folder below folder, depth first, clearing
// read-only attributes, then folder itself (platform::RemoveFolderTree: no
// link is followed). An empty name removes nothing.
void PurgeFolder(const std::string& folder);

// The value of the environment variable "Windir"; empty when unset.
std::string WindowsFolder();

}  // namespace xmldoc
