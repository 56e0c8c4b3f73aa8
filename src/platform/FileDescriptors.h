// Open file descriptors, for the platform's own file calls: their owner,
// and writing through one.
#pragma once

#include <unistd.h>

#include <string>
#include <string_view>

namespace platform {

// Owns a descriptor (negative: none) and closes it when it goes.
class TFd {
public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes now, reporting a failed close.
  int Close() {
    const int r = close(fd_);
    fd_ = -1;
    return r;
  }

private:
  int fd_;
};

// Writes all of bytes to fd, going on after short writes and interruptions;
// raises EInOutError about path on failure.
void WriteAllBytes(int fd, std::string_view bytes, const std::string& path);

}  // namespace platform
