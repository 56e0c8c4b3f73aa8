// The version block of an executable.
//
// The build embeds the block in the program (see src/app/VersionResource.cpp)
// as a section named ".annoncia.version" holding NUL-terminated pairs of a
// query path and its value, such as "\StringFileInfo\040c04e4\FileVersion"
// and "1.1.0.0", and the translation "\VarFileInfo\Translation" with the
// value "040C 04E4" (language and code page in hexadecimal). A file without
// the section has no version block.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The raw block, or nullopt when the file has none or cannot be read.
std::optional<std::string> ReadVersionBlock(const std::string& file);

struct TVersionTranslation {
  std::uint16_t Language = 0;
  std::uint16_t CodePage = 0;
};

// The value stored under a query path (compared ignoring case).
std::optional<std::string> QueryVersionValue(const std::string& block, const std::string& queryPath);
// The first entry of "\VarFileInfo\Translation", when present.
std::optional<TVersionTranslation> QueryVersionTranslation(const std::string& block);

}  // namespace platform
