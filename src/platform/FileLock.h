// An exclusive lock held through a lock file, for as long as the object lives.
//
// The lock is the kernel's (flock): a process that dies, however it dies,
// releases it, so a killed run never blocks the next one. The holder writes
// its process id into the file, so that a process refused the lock can say
// who holds it.
#pragma once

#include <memory>
#include <string>

namespace platform {

class TFileLock {
public:
  // Takes the lock of path (created when missing; a link is refused). When
  // another process holds it, answers nullptr and sets holder to the process
  // id that process wrote (empty when unknown). Raises EInOutError naming
  // the file when it cannot be opened or locked.
  static std::unique_ptr<TFileLock> TryAcquire(const std::string& path, std::string& holder);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

private:
  explicit TFileLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace platform
