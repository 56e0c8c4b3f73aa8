#include "platform/VersionResource.h"

#include <cstdlib>

#include "platform/Ansi.h"

namespace platform {

std::optional<std::string> QueryVersionValue(const std::string& block, const std::string& queryPath) {
  std::size_t i = 0;
  while (i < block.size()) {
    const std::size_t keyEnd = block.find('\0', i);
    if (keyEnd == std::string::npos) break;
    const std::size_t valueEnd = block.find('\0', keyEnd + 1);
    if (valueEnd == std::string::npos) break;
    if (SameText(std::string_view(block).substr(i, keyEnd - i), queryPath)) {
      return block.substr(keyEnd + 1, valueEnd - keyEnd - 1);
    }
    i = valueEnd + 1;
    while (i < block.size() && block[i] == '\0') ++i;
  }
  return std::nullopt;
}

std::optional<TVersionTranslation> QueryVersionTranslation(const std::string& block) {
  const auto value = QueryVersionValue(block, "\\VarFileInfo\\Translation");
  if (!value) return std::nullopt;
  char* end = nullptr;
  const unsigned long language = std::strtoul(value->c_str(), &end, 16);
  if (end == value->c_str()) return std::nullopt;
  const char* next = end;
  const unsigned long codePage = std::strtoul(next, &end, 16);
  if (end == next) return std::nullopt;
  return TVersionTranslation{static_cast<std::uint16_t>(language), static_cast<std::uint16_t>(codePage)};
}

}  // namespace platform
