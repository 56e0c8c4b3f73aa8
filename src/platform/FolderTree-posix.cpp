#include "platform/FolderTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/Errors.h"
#include "platform/FolderListings.h"
#include "platform/Paths.h"

namespace platform {
namespace {

class TDirFd {
public:
  explicit TDirFd(int fd) : fd_(fd) {}
  ~TDirFd() {
    if (fd_ >= 0) close(fd_);
  }
  TDirFd(const TDirFd&) = delete;
  TDirFd& operator=(const TDirFd&) = delete;
  int get() const { return fd_; }

private:
  int fd_;
};

// The names of the opened folder, read to the end before anything is removed.
std::vector<std::string> EntryNames(int dirFd, const std::string& shown) {
  const int listFd = dup(dirFd);
  if (listFd < 0) RaiseInOutError(errno, shown);
  DIR* dir = fdopendir(listFd);
  if (!dir) {
    const int error = errno;
    close(listFd);
    RaiseInOutError(error, shown);
  }
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  const int error = errno;
  closedir(dir);
  if (error != 0) RaiseInOutError(error, shown);
  return names;
}

void RemoveEntries(int dirFd, const std::string& shown) {
  for (const std::string& name : EntryNames(dirFd, shown)) {
    const std::string path = shown + "/" + name;
    struct stat st;
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // gone meanwhile
      RaiseInOutError(errno, path);
    }
    if (S_ISDIR(st.st_mode)) {
      TDirFd sub(openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (sub.get() < 0) RaiseInOutError(errno, path);
      if ((st.st_mode & (S_IWUSR | S_IXUSR)) != (S_IWUSR | S_IXUSR) &&
          fchmod(sub.get(), (st.st_mode & 07777) | S_IRWXU) != 0) {
        RaiseInOutError(errno, path);
      }
      RemoveEntries(sub.get(), path);
      if (unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0) RaiseInOutError(errno, path);
    } else if (unlinkat(dirFd, name.c_str(), 0) != 0 && errno != ENOENT) {
      RaiseInOutError(errno, path);
    }
  }
}

}  // namespace

void RemoveFolderTree(const std::string& folder) {
  std::string native = NativePath(folder);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (native.empty()) return;
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) {
    if (errno == ENOENT) return;
    RaiseInOutError(errno, folder);
  }
  if (S_ISLNK(st.st_mode)) {
    if (unlink(native.c_str()) != 0) RaiseInOutError(errno, folder);
    return;
  }
  if (!S_ISDIR(st.st_mode)) RaiseInOutError(ENOTDIR, folder);
  NoteEntryRemoved(native);
  {
    TDirFd dir(open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0) RaiseInOutError(errno, folder);
    RemoveEntries(dir.get(), native);
  }
  if (rmdir(native.c_str()) != 0) RaiseInOutError(errno, folder);
  NoteEntryRemoved(native);
}

std::string RealFolderPath(const std::string& path) {
  std::string native = NativePath(path);
  if (native.empty() || native[0] != '/') {
    std::unique_ptr<char, void (*)(void*)> cwd(getcwd(nullptr, 0), std::free);
    if (!cwd) RaiseInOutError(errno, path);
    native = std::string(cwd.get()) + "/" + native;
  }
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= native.size();) {
    std::size_t end = native.find('/', start);
    if (end == std::string::npos) end = native.size();
    std::string part = native.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = end + 1;
  }
  auto append = [](std::string& folder, const std::string& part) {
    if (part == "..") {
      const std::size_t slash = folder.rfind('/');
      folder.erase(slash == 0 ? 1 : slash);
    } else {
      if (folder.back() != '/') folder += '/';
      folder += part;
    }
  };
  std::string real = "/";
  std::size_t k = 0;
  for (; k < parts.size(); ++k) {
    std::string next = real;
    append(next, parts[k]);
    if (parts[k] == "..") {  // the parent of a real folder is real
      real = next;
      continue;
    }
    std::unique_ptr<char, void (*)(void*)> resolved(realpath(next.c_str(), nullptr), std::free);
    if (!resolved) {
      if (errno == ENOENT || errno == ENOTDIR) break;
      RaiseInOutError(errno, path);
    }
    real = resolved.get();
  }
  for (; k < parts.size(); ++k) append(real, parts[k]);
  return real;
}

bool FolderWithin(const std::string& inner, const std::string& outer) {
  if (outer == "/") return true;
  return inner == outer || (inner.size() > outer.size() && inner.starts_with(outer) && inner[outer.size()] == '/');
}

}  // namespace platform
