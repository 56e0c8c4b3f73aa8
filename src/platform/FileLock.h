// An exclusive lock shared by the program's processes through a lock file.
//
// A lock is held from Acquire until the object is destroyed (or the process
// ends, which the system releases by itself: a crashed run never leaves a
// stale lock behind). The lock file is made when missing and never deleted,
// so that every process locks the same file. The lock is advisory: it only
// orders processes that take it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace platform {

class TFileLock {
public:
  // Waits up to `wait` for the lock; nullopt when another process still holds
  // it then. Raises EInOutError when the lock file cannot be opened.
  static std::optional<TFileLock> Acquire(const std::string& lockFile, std::chrono::milliseconds wait);

  TFileLock(TFileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TFileLock& operator=(TFileLock&&) = delete;
  TFileLock(const TFileLock&) = delete;
  ~TFileLock();

private:
  explicit TFileLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace platform
