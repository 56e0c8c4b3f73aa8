#include "platform/ReplacingFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/Errors.h"
#include "platform/FileDescriptors.h"
#include "platform/FolderListings.h"
#include "platform/Paths.h"

namespace platform {
namespace {

constexpr std::size_t kCopyStretch = 1 << 20;  // bytes read at a time by CopyFileReplacing

// "<final name>.<pid>.annoncia-tmp": the process id tells a leftover of a
// killed run from the file of a run still writing.
constexpr std::string_view kTempSuffix = ".annoncia-tmp";

std::string TempNameFor(const std::string& nativeFinal) {
  return nativeFinal + "." + std::to_string(getpid()) + std::string(kTempSuffix);
}

std::string FolderOf(const std::string& native) {
  const std::size_t slash = native.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return native.substr(0, slash);
}

// The process id a temporary name carries, or 0. A library writing such a
// file may add a suffix of its own ("<temp>.XXXXXX"): the name still counts.
pid_t OwnerOf(const std::string& name) {
  const std::size_t mark = name.rfind(kTempSuffix);
  if (mark == std::string::npos || mark == 0) return 0;
  const std::size_t dot = name.rfind('.', mark - 1);
  if (dot == std::string::npos || dot + 1 == mark) return 0;
  pid_t pid = 0;
  for (std::size_t i = dot + 1; i < mark; ++i) {
    if (name[i] < '0' || name[i] > '9' || pid > 100000000) return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

}  // namespace

TReplacingFile::TReplacingFile(const std::string& path)
    : path_(path), nativeFinal_(NativePath(path)), nativeTemp_(TempNameFor(nativeFinal_)) {
  struct stat st;
  if (stat(nativeFinal_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) RaiseInOutError(EISDIR, path_);
  fd_ = open(nativeTemp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0) RaiseInOutError(errno, path_);
}

TReplacingFile::~TReplacingFile() {
  if (fd_ < 0) return;
  close(fd_);
  unlink(nativeTemp_.c_str());
}

void TReplacingFile::Write(std::string_view bytes) {
  if (fd_ < 0) RaiseInOutError(EBADF, path_);
  WriteAllBytes(fd_, bytes, path_);
}

void TReplacingFile::Commit() {
  if (fd_ < 0) RaiseInOutError(EBADF, path_);
  if (fsync(fd_) != 0) RaiseInOutError(errno, path_);
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    const int e = errno;
    unlink(nativeTemp_.c_str());
    RaiseInOutError(e, path_);
  }
  if (rename(nativeTemp_.c_str(), nativeFinal_.c_str()) != 0) {
    const int e = errno;
    unlink(nativeTemp_.c_str());
    RaiseInOutError(e, path_);
  }
  NoteEntryCreated(nativeFinal_);
  // The rename itself is durable once the folder is flushed; a folder that
  // cannot be opened or flushed leaves the complete file in place anyway.
  const int dir = open(FolderOf(nativeFinal_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)fsync(dir);  // best effort, see above
    close(dir);
  }
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  TReplacingFile file(path);
  file.Write(bytes);
  file.Commit();
}

void CopyFileReplacing(const std::string& from, const std::string& to) {
  const int in = open(NativePath(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) RaiseInOutError(errno, from);
  const std::unique_ptr<const int, void (*)(const int*)> closeIn(&in, [](const int* fd) { close(*fd); });
  TReplacingFile file(to);
  std::unique_ptr<char[]> buffer(new char[kCopyStretch]);
  for (;;) {
    const ssize_t n = read(in, buffer.get(), kCopyStretch);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseInOutError(errno, from);
    }
    if (n == 0) break;
    file.Write(std::string_view(buffer.get(), static_cast<std::size_t>(n)));
  }
  file.Commit();
}

std::string ReplacingTempPath(const std::string& path) {
  return path + "." + std::to_string(getpid()) + std::string(kTempSuffix);
}

std::string ReplacingTempPrefix(const std::string& prefix) {
  return prefix + "." + std::to_string(getpid()) + std::string(kTempSuffix) + ".";
}

int RemoveReplacingLeftovers(const std::string& folder) {
  const std::string native = NativePath(folder);
  const int dirFd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (dirFd < 0) return 0;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(fdopendir(dirFd), closedir);
  if (!dir) {
    close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* e = readdir(dir.get())) {
    const std::string name = e->d_name;
    const pid_t owner = OwnerOf(name);
    if (owner <= 0) continue;
    if (owner == getpid() || kill(owner, 0) == 0 || errno != ESRCH) continue;
    struct stat st;
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (unlinkat(dirFd, name.c_str(), 0) == 0) {
      NoteEntryRemoved(native + "/" + name);
      ++removed;
    }
  }
  return removed;
}

}  // namespace platform
