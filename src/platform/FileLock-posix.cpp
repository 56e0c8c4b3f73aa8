#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace platform {
namespace {

int OpenLockFile(const std::string& path) {
  const int fd = open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) RaiseInOutError(errno, path);
  return fd;
}

// Whether the lock was taken; raises for anything but another holder.
bool TryLock(int fd, const std::string& path) {
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    RaiseInOutError(errno, path);
  }
}

}  // namespace

std::optional<TFileLock> TFileLock::TryAcquire(const std::string& path, std::string& holder) {
  holder.clear();
  TFileLock lock(OpenLockFile(path));
  if (!TryLock(lock.fd_, path)) {
    char text[32];
    const ssize_t n = pread(lock.fd_, text, sizeof text - 1, 0);
    for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i) holder += text[i];
    return std::nullopt;
  }
  // The process id only helps a refused process name the holder: the lock
  // holds without it.
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(lock.fd_, 0) == 0) {
    const ssize_t written = pwrite(lock.fd_, pid.data(), pid.size(), 0);
    (void)written;
  }
  return lock;
}

std::optional<TFileLock> TFileLock::Acquire(const std::string& lockFile, std::chrono::milliseconds wait) {
  TFileLock lock(OpenLockFile(lockFile));
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!TryLock(lock.fd_, lockFile)) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return lock;
}

TFileLock& TFileLock::operator=(TFileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

TFileLock::~TFileLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace platform
