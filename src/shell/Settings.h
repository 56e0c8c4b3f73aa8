// The settings file: an INI file beside the executable, read only.
//
// Section and key names match without regard to case. A value is the text
// after the first "=", blanks trimmed, a matching pair of enclosing quotes
// removed, at most 2047 characters. A missing file, section or key yields the
// default; a key present with nothing after "=" yields the empty string.
// The file is read once, when the object is made; a missing or unreadable
// file reads as empty.
#pragma once

#include <string>
#include <unordered_map>

namespace shell {

class TSettingsFile {
public:
  explicit TSettingsFile(std::string fileName);
  const std::string& FileName() const { return fileName_; }
  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;

private:
  std::string fileName_;
  std::unordered_map<std::string, std::string> values_;  // folded "SECTION\nKEY" -> value
};

// A switch is on for any value but exactly "0".
bool SwitchIsOn(const std::string& value);

// Built-in defaults of the keys. Every host is the loopback address; accounts
// and passwords are harmless placeholders of the right form. The defaults of
// a portal's own User and PassWord are in its descriptor (PortalTable.h).
namespace defaults {
inline constexpr const char* PathImages = "c:\\projects\\parcauto\\images";
inline constexpr const char* URLImages = "http://127.0.0.1/clicheo/";
inline constexpr const char* ServeurFTP = "127.0.0.1";
inline constexpr const char* ClicheoUser = "clicheo@ftp.photos.example";
inline constexpr const char* ClicheoPassWord = "Ph0t0s24";
inline constexpr const char* ClicheoPathFTP = "www/clicheo";
inline constexpr const char* PathFTP = "";
inline constexpr const char* TestFTPClicheo = "0";
inline constexpr const char* FlgInfoEquip = "0";
inline constexpr const char* PathTemp = "\\Temp\\AS24";
inline constexpr const char* idClient = "0123456789";
inline constexpr const char* FileResult = "SA123456.xml";
inline constexpr const char* FileResultZip = "SA123456.zip";
}  // namespace defaults

}  // namespace shell
