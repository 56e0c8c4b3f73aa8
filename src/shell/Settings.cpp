#include "shell/Settings.h"

#include "platform/Ansi.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace shell {
namespace {
constexpr std::size_t kMaxValueLength = 2047;

std::string KeyOf(const std::string& section, const std::string& key) {
  return platform::FoldCase(platform::TrimBlanks(section)) + "\n" + platform::FoldCase(platform::TrimBlanks(key));
}
}  // namespace

TSettingsFile::TSettingsFile(std::string fileName) : fileName_(std::move(fileName)) {
  std::string text;
  try {
    text = platform::ReadFileBytes(fileName_);
  } catch (const platform::EInOutError&) {
    return;
  }
  // Written on Windows the file may be in the 8-bit code page, or UTF-8 with a mark.
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  if (!platform::IsValidUtf8(text)) text = platform::AnsiToUtf8(text);
  std::string section;
  bool haveSection = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = platform::TrimBlanks(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string::npos) continue;
      section = line.substr(1, close - 1);
      haveSection = true;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || !haveSection) continue;
    std::string value = platform::TrimBlanks(std::string_view(line).substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    // Counted in characters: a cut by bytes could split one and leave text that is not UTF-8.
    if (value.size() > kMaxValueLength && platform::CharLength(value) > kMaxValueLength) {
      value = platform::CopyChars(value, 0, kMaxValueLength);
    }
    // The first occurrence of a key wins, as with the system's INI reader.
    values_.emplace(KeyOf(section, line.substr(0, eq)), std::move(value));
  }
}

std::string TSettingsFile::ReadString(const std::string& section, const std::string& key,
                                      const std::string& defaultValue) const {
  const auto it = values_.find(KeyOf(section, key));
  return it == values_.end() ? defaultValue : it->second;
}

bool SwitchIsOn(const std::string& value) { return value != "0"; }

}  // namespace shell
