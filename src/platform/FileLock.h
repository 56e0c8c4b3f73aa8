// An exclusive lock shared by the program's processes through a lock file.
//
// A lock is held from TryAcquire or Acquire until the object is destroyed, or
// the process ends: the lock is the kernel's (flock), so a process that dies,
// however it dies, releases it and a killed run never blocks the next one.
// The lock file is made when missing and never deleted, so that every
// process locks the same file; a link in its place is refused. The lock is
// advisory: it only orders processes that take it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace platform {

class TFileLock {
public:
  // Takes the lock now and writes this process's id into the file. When
  // another process holds it, answers nullopt and sets holder to the process
  // id that process wrote (empty when unknown). Raises EInOutError naming the
  // file when it cannot be opened or locked.
  static std::optional<TFileLock> TryAcquire(const std::string& path, std::string& holder);
  // Waits up to `wait` for the lock; nullopt when another process still holds
  // it then. Raises EInOutError when the lock file cannot be opened.
  static std::optional<TFileLock> Acquire(const std::string& lockFile, std::chrono::milliseconds wait);

  TFileLock(TFileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TFileLock& operator=(TFileLock&& other) noexcept;
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;
  ~TFileLock();

private:
  explicit TFileLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace platform
