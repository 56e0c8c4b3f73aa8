// Windows-style paths on this system.
//
// The program composes its paths the way the system it comes from does
// (Windir + "\TEMP\Annoncia"). NativePath maps such a path to this machine:
// "\" becomes "/", a drive prefix "c:" stands for the root, and each component
// is matched against what exists without regard to case, since Windows names
// ignore case ("\Temp\" and "\TEMP\" are one folder). A component that does
// not exist keeps the spelling given. A POSIX path passes through unchanged
// apart from that matching. Every platform call that takes a path maps it.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string NativePath(std::string_view path);

// Folder part of a path: everything before the last "\" or "/" (without it).
std::string ExtractFileDir(std::string_view path);
// Folder part with its trailing separator.
std::string ExtractFilePath(std::string_view path);
// Name part: everything after the last "\" or "/".
std::string ExtractFileName(std::string_view path);
// The path with its extension (from the last "." of the name on) replaced.
std::string ChangeFileExt(std::string_view path, std::string_view extension);
// Adds a "\" unless the path already ends with a separator.
std::string IncludeTrailingBackslash(std::string_view path);

// Full path of the running executable, and its folder with a trailing separator.
std::string ExecutablePath();
std::string ExecutableFolder();

}  // namespace platform
