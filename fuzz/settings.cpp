// The settings reader on any bytes as an INI file. Every section and key the
// file seems to hold is read back: a value must be well-formed UTF-8 (the
// file may be 8-bit text) of at most 2047 characters, and a key that is not
// there must give the default.
#include <string>

#include "FuzzSupport.h"
#include "platform/Ansi.h"
#include "shell/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::WriteScratchFile("Annoncia.ini", fuzz::Bytes(data, size));
  const shell::TSettingsFile settings(path);

  // The names are taken loosely (any line with "[" or "="), so odd ones get read too.
  std::string text(fuzz::Bytes(data, size));
  if (!platform::IsValidUtf8(text)) text = platform::AnsiToUtf8(text);
  std::string section;
  std::size_t pos = 0;
  const std::string absent = "\x01" "absent";
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (const std::size_t open = line.find('['); open != std::string::npos) {
      section = line.substr(open + 1, line.find(']', open) - open - 1);
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string value = settings.ReadString(section, line.substr(0, eq), absent);
    if (value == absent) continue;
    fuzz::Check(platform::IsValidUtf8(value), "value is not UTF-8: " + line);
    fuzz::Check(platform::CharLength(value) <= 2047, "value longer than 2047 characters");
  }
  fuzz::Check(settings.ReadString("\x02" "no such section", "key", absent) == absent, "missing key gave no default");
  return 0;
}
