// Environment variables, looked up the way the system this program comes from
// does: the name's case does not matter ("Windir" finds WINDIR).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The variable's value; empty when it is not set.
std::string GetEnvironmentVariable(std::string_view name);

}  // namespace platform
