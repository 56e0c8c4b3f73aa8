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
#include "platform/FileDescriptors.h"
#include "platform/FolderListings.h"
#include "platform/Paths.h"

namespace platform {
namespace {

struct TEntry {
  std::string Name;
  unsigned char Type;  // as readdir gives it: DT_UNKNOWN when the file system does not say
};

// The entries of the opened folder, read to the end before anything is removed.
std::vector<TEntry> Entries(int dirFd, const std::string& shown) {
  const int listFd = dup(dirFd);
  if (listFd < 0) RaiseInOutError(errno, shown);
  DIR* dir = fdopendir(listFd);
  if (!dir) {
    const int error = errno;
    close(listFd);
    RaiseInOutError(error, shown);
  }
  std::vector<TEntry> names;
  errno = 0;
  while (const dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back({std::move(name), e->d_type});
    errno = 0;
  }
  const int error = errno;
  closedir(dir);
  if (error != 0) RaiseInOutError(error, shown);
  return names;
}

void RemoveEntries(int dirFd, const std::string& shown) {
  for (const TEntry& entry : Entries(dirFd, shown)) {
    const std::string& name = entry.Name;
    // A file or link the listing names as such goes at once: unlinkat never
    // follows a link and refuses a folder (which is then looked at below).
    if (entry.Type != DT_UNKNOWN && entry.Type != DT_DIR) {
      if (unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT) continue;
      if (errno != EISDIR && errno != EPERM) RaiseInOutError(errno, shown + "/" + name);
    }
    const std::string path = shown + "/" + name;
    struct stat st;
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // gone meanwhile
      RaiseInOutError(errno, path);
    }
    if (S_ISDIR(st.st_mode)) {
      TFd sub(openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
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
    TFd dir(open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
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
