// Writing through an open file descriptor, for the platform's own file calls.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes all of bytes to fd, going on after short writes and interruptions;
// raises EInOutError about path on failure.
void WriteAllBytes(int fd, std::string_view bytes, const std::string& path);

}  // namespace platform
