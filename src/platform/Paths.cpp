#include "platform/Paths.h"

namespace platform {
namespace {
std::size_t LastSeparator(std::string_view path) { return path.find_last_of("\\/"); }
}  // namespace

std::string ExtractFileDir(std::string_view path) {
  const std::size_t p = LastSeparator(path);
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p));
}

std::string ExtractFilePath(std::string_view path) {
  const std::size_t p = LastSeparator(path);
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view path) {
  const std::size_t p = LastSeparator(path);
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
  const std::size_t sep = LastSeparator(path);
  const std::size_t dot = path.find_last_of('.');
  const bool hasExt = dot != std::string_view::npos && (sep == std::string_view::npos || dot > sep);
  return std::string(hasExt ? path.substr(0, dot) : path) + std::string(extension);
}

std::string IncludeTrailingBackslash(std::string_view path) {
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) return std::string(path);
  return std::string(path) + "\\";
}

}  // namespace platform
