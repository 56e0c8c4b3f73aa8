#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace platform {

std::optional<TFileLock> TFileLock::Acquire(const std::string& lockFile, std::chrono::milliseconds wait) {
  const int fd = open(NativePath(lockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) RaiseInOutError(errno, lockFile);
  TFileLock lock(fd);
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return lock;
    if (errno != EWOULDBLOCK && errno != EINTR) RaiseInOutError(errno, lockFile);
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TFileLock::~TFileLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace platform
