#include "platform/FileDescriptors.h"

#include <unistd.h>

#include <cerrno>

#include "platform/Errors.h"

namespace platform {

void WriteAllBytes(int fd, std::string_view bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseInOutError(errno, path);
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace platform
