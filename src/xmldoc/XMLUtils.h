// Small file helpers of the feeds: writing a text file in the system's 8-bit
// code page, measuring a file, purging a folder tree, and the Windows folder.
// None of them raises.
#pragma once

#include <cstdint>
#include <string>

namespace xmldoc {

// Writes text (UTF-8 inside the program) as Windows-1252 bytes, exactly,
// creating the missing folders first and replacing any existing file. Any
// failure ends the operation quietly: the file is then missing or incomplete.
void WriteAnsiStringToFile(const std::string& text, const std::string& fileName);

// Size of the first entry matching fileName (wildcards allowed), low 32 bits
// as a signed value; -1 when nothing matches.
std::int32_t FileSizeOf(const std::string& fileName);

// Removes every file and folder below folder, depth first, clearing
// read-only attributes, then folder itself. Whatever cannot be removed is
// left without a report; an empty name removes nothing. Always true.
bool PurgeFolder(const std::string& folder);

// The value of the environment variable "Windir"; empty when unset.
std::string WindowsFolder();

}  // namespace xmldoc
