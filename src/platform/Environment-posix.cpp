#include "platform/Environment.h"

#include <cstdlib>

#include "platform/Ansi.h"

extern char** environ;

namespace platform {

std::string GetEnvironmentVariable(std::string_view name) {
  if (const char* exact = std::getenv(std::string(name).c_str())) return exact;
  for (char** e = environ; e && *e; ++e) {
    const std::string_view entry(*e);
    const std::size_t eq = entry.find('=');
    if (eq != std::string_view::npos && SameText(entry.substr(0, eq), name)) {
      return std::string(entry.substr(eq + 1));
    }
  }
  return {};
}

}  // namespace platform
