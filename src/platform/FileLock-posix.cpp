#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace platform {

std::unique_ptr<TFileLock> TFileLock::TryAcquire(const std::string& path, std::string& holder) {
  holder.clear();
  const int fd = open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) RaiseInOutError(errno, path);
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    if (error == EWOULDBLOCK) {
      char text[32];
      const ssize_t n = pread(fd, text, sizeof text - 1, 0);
      for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i) holder += text[i];
      close(fd);
      return nullptr;
    }
    close(fd);
    RaiseInOutError(error, path);
  }
  const std::string pid = std::to_string(getpid()) + "\n";
  // The process id only helps a refused run name the holder: the lock
  // holds without it.
  if (ftruncate(fd, 0) == 0) {
    const ssize_t written = pwrite(fd, pid.data(), pid.size(), 0);
    (void)written;
  }
  return std::unique_ptr<TFileLock>(new TFileLock(fd));
}

TFileLock::~TFileLock() { close(fd_); }

}  // namespace platform
