#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/Ansi.h"
#include "platform/Errors.h"
#include "platform/FileDescriptors.h"
#include "platform/FolderListings.h"
#include "platform/Paths.h"

namespace platform {
namespace {

bool StatNative(const std::string& native, struct stat& st) { return stat(native.c_str(), &st) == 0; }

// stat of the path, following links: the look-up's own lstat serves unless
// it met a link.
bool StatPath(const std::string& path, struct stat& st) {
  bool found = false;
  const std::string native = NativePathStat(path, st, found);
  if (found && !S_ISLNK(st.st_mode)) return true;
  return StatNative(native, st);
}

std::uint32_t AttributesOf(const std::string& name, const struct stat& st) {
  std::uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= faDirectory;
  else a |= faArchive;
  if ((st.st_mode & S_IWUSR) == 0) a |= faReadOnly;
  if (!name.empty() && name[0] == '.') a |= faHidden;
  return a;
}

// Opens native with flags, writes all of bytes and closes, raising the
// error of the step that failed, about path.
void WriteWhole(const std::string& path, const std::string& native, int flags, const std::string& bytes) {
  TFd fd(open(native.c_str(), flags | O_WRONLY | O_CLOEXEC, 0666));
  if (fd.get() < 0) RaiseInOutError(errno, path);
  if (flags & O_CREAT) NoteEntryCreated(native);
  WriteAllBytes(fd.get(), bytes, path);
  if (fd.Close() != 0) RaiseInOutError(errno, path);
}

// Copies what remains to be read from in to out; false with errno on failure.
bool CopyBytes(int in, int out) {
  char buf[65536];
  for (;;) {
    const ssize_t n = read(in, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buf + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += w;
    }
  }
}

bool MatchFrom(const std::string& name, std::size_t n, const std::string& mask, std::size_t m) {
  while (m < mask.size()) {
    if (mask[m] == '*') {
      while (m < mask.size() && mask[m] == '*') ++m;
      if (m == mask.size()) return true;
      for (std::size_t k = n; k <= name.size(); ++k) {
        if (MatchFrom(name, k, mask, m)) return true;
      }
      return false;
    }
    if (n >= name.size()) return false;
    if (mask[m] != '?' && mask[m] != name[n]) return false;
    ++m;
    ++n;
  }
  return n == name.size();
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool IsReadableByEveryone(const std::string& path) {
  struct stat st;
  return StatNative(NativePath(path), st) && !S_ISDIR(st.st_mode) && (st.st_mode & S_IROTH) != 0;
}

bool CreateDir(const std::string& path) {
  const std::string native = NativePath(path);
  if (mkdir(native.c_str(), 0777) != 0) return false;
  NoteFolderCreated(native);
  return true;
}

bool ForceDirectories(const std::string& path) {
  std::string p = path;
  while (!p.empty() && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  if (p.empty() || DirectoryExists(p)) return !p.empty() || !path.empty();
  const std::string parent = ExtractFileDir(p);
  if (!parent.empty() && parent != p && !(parent.size() == 2 && parent[1] == ':') && !ForceDirectories(parent)) {
    return false;
  }
  return CreateDir(p) || DirectoryExists(p);
}

bool RemoveDir(const std::string& path) {
  const std::string native = NativePath(path);
  if (rmdir(native.c_str()) != 0) return false;
  NoteEntryRemoved(native);
  return true;
}

bool DeleteFile(const std::string& path) {
  const std::string native = NativePath(path);
  struct stat st;
  if (lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (unlink(native.c_str()) != 0) return false;
  NoteEntryRemoved(native);
  return true;
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (failIfExists && FileExists(to)) {
    errno = EEXIST;
    return false;
  }
  // Calls and errno only, so that a caller can raise the error of the failed step.
  TFd in(open(NativePath(from).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (in.get() < 0 || fstat(in.get(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  const std::string target = NativePath(to);
  TFd out(open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (out.get() < 0) return false;
  NoteEntryCreated(target);
  // Truncated only once known to be another file: a copy onto itself (the
  // same name, or a link to it) would otherwise empty the source.
  struct stat outSt;
  if (fstat(out.get(), &outSt) != 0) return false;
  if (outSt.st_dev == st.st_dev && outSt.st_ino == st.st_ino) {
    errno = EINVAL;
    return false;
  }
  if (outSt.st_size != 0 && ftruncate(out.get(), 0) != 0) return false;
  return CopyBytes(in.get(), out.get()) && out.Close() == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  const std::string source = NativePath(from);
  const std::string target = NativePath(to);
  if (rename(source.c_str(), target.c_str()) != 0) return false;
  NoteEntryRemoved(source);
  NoteEntryCreated(target);
  return true;
}

namespace {

// The regular file a link or copy of from reaches (a link at from is
// followed), in st; false with errno otherwise.
bool StageSource(const std::string& from, std::string& source, struct stat& st) {
  bool found = false;
  source = NativePathStat(from, st, found);
  if ((!found || S_ISLNK(st.st_mode)) && !StatNative(source, st)) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  return true;
}

// LinkOrCopyFile of source (st: its stat) to name in the folder dirFd
// (AT_FDCWD: name is a native path). noted: name as the folder listings know
// it, told of the entries made and removed; empty for none.
bool LinkOrCopyAt(const std::string& source, struct stat st, int dirFd, const char* name, const std::string& noted) {
  bool linking = true;
  TFd in(-1);
  for (int tries = 0; tries < 3; ++tries) {
    if (linking) {
      if (linkat(AT_FDCWD, source.c_str(), dirFd, name, AT_SYMLINK_FOLLOW) == 0) {
        if (!noted.empty()) NoteEntryCreated(noted);
        return true;
      }
      if (errno != EEXIST) {
        // Another file system, no links there, protected links, too many
        // links to the file, or a failure the copy will meet and report.
        linking = false;
        in.Reset(open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (in.get() < 0 || fstat(in.get(), &st) != 0) return false;
        if (!S_ISREG(st.st_mode)) {
          errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
          return false;
        }
        --tries;
        continue;
      }
    } else {
      // O_EXCL: never an existing file, and never through a link of that name.
      TFd out(openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
      if (out.get() >= 0) {
        if (!noted.empty()) NoteEntryCreated(noted);
        if (CopyBytes(in.get(), out.get()) && out.Close() == 0) return true;
        const int error = errno;
        if (unlinkat(dirFd, name, 0) == 0 && !noted.empty()) NoteEntryRemoved(noted);
        errno = error;
        return false;
      }
      if (errno != EEXIST) return false;
    }
    // The name is taken: by what a former stage left, or by a link planted there.
    struct stat existing;
    if (fstatat(dirFd, name, &existing, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;
      return false;
    }
    if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) return true;
    if (S_ISDIR(existing.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (unlinkat(dirFd, name, 0) != 0 && errno != ENOENT) return false;
    if (!noted.empty()) NoteEntryRemoved(noted);
  }
  errno = EEXIST;
  return false;
}

}  // namespace

bool LinkOrCopyFile(const std::string& from, const std::string& to) {
  std::string source;
  struct stat st;
  if (!StageSource(from, source, st)) return false;
  const std::string target = NativePath(to);
  return LinkOrCopyAt(source, st, AT_FDCWD, target.c_str(), target);
}

TOpenFolder::TOpenFolder(const std::string& path)
    : fd_(open(NativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

TOpenFolder::~TOpenFolder() {
  if (fd_ >= 0) close(fd_);
}

bool TOpenFolder::LinkOrCopyFile(const std::string& from, const std::string& name) const {
  if (fd_ < 0 || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
    errno = fd_ < 0 ? EBADF : EINVAL;
    return false;
  }
  std::string source;
  struct stat st;
  if (!StageSource(from, source, st)) return false;
  return LinkOrCopyAt(source, st, fd_, name.c_str(), {});
}

std::optional<std::uint32_t> GetFileAttributes(const std::string& path) {
  struct stat st;
  if (!StatNative(NativePath(path), st)) return std::nullopt;
  return AttributesOf(ExtractFileName(path), st);
}

bool SetFileAttributes(const std::string& path, std::uint32_t attributes) {
  const std::string native = NativePath(path);
  struct stat st;
  if (!StatNative(native, st)) return false;
  mode_t mode = st.st_mode & 07777;
  if (attributes & faReadOnly) mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
  else mode |= S_IWUSR;
  return chmod(native.c_str(), mode) == 0;
}

bool MatchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*.*" || mask == "*") return true;
  return MatchFrom(FoldCase(name), 0, FoldCase(mask), 0);
}

std::vector<TSearchRec> FindFiles(const std::string& pattern) {
  std::vector<TSearchRec> found;
  const std::string folder = ExtractFileDir(pattern);
  const std::string mask = ExtractFileName(pattern);
  const bool atRoot = folder.empty() && !pattern.empty() && (pattern[0] == '\\' || pattern[0] == '/');
  const std::string nativeFolder = atRoot ? std::string(1, '/') : folder.empty() ? std::string(1, '.') : NativePath(folder);
  if (mask.find_first_of("*?") == std::string::npos) {
    struct stat st;
    const std::string native = NativePath(pattern);
    if (!mask.empty() && StatNative(native, st)) {
      found.push_back({ExtractFileName(native), static_cast<std::int64_t>(st.st_size), AttributesOf(mask, st),
                       static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    }
    return found;
  }
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(nativeFolder.c_str()), closedir);
  if (!dir) return found;
  while (const dirent* e = readdir(dir.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
    // Relative to the folder read: no walk of its whole path for each entry.
    struct stat st;
    if (fstatat(dirfd(dir.get()), name.c_str(), &st, 0) != 0) continue;
    found.push_back({name, static_cast<std::int64_t>(st.st_size), AttributesOf(name, st),
                     static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
  }
  std::sort(found.begin(), found.end(), [](const TSearchRec& a, const TSearchRec& b) { return a.Name < b.Name; });
  return found;
}

std::string ReadFileBytes(const std::string& path) {
  TFd fd(open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) RaiseInOutError(errno, path);
  struct stat st;
  if (fstat(fd.get(), &st) != 0) RaiseInOutError(errno, path);
  if (S_ISDIR(st.st_mode)) RaiseInOutError(EISDIR, path);
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseInOutError(errno, path);
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  WriteWhole(path, NativePath(path), O_CREAT | O_TRUNC, bytes);
}

void AppendFileBytes(const std::string& path, const std::string& bytes) {
  WriteWhole(path, NativePath(path), O_APPEND, bytes);
}

void AppendFileBytesCreating(const std::string& path, const std::string& bytes) {
  WriteWhole(path, NativePath(path), O_APPEND | O_CREAT, bytes);
}

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp && *tmp) ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  std::string templ = NativePath(folder);
  if (!templ.empty() && templ.back() != '/') templ += '/';
  templ.append(prefix);
  templ.append("XXXXXX");
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  const int fd = mkstemp(buf.data());
  if (fd < 0) return {};
  close(fd);
  return std::string(buf.data());
}

bool VolumeAccessible(const std::string& path) {
  const std::string native = NativePath(path);
  const std::string root = (!native.empty() && native[0] == '/') ? "/" : ".";
  struct stat st;
  return StatNative(root, st) && S_ISDIR(st.st_mode);
}

std::string RemovableVolumeLabel(const std::string&) { return {}; }

bool SetCurrentDir(const std::string& folder) { return chdir(NativePath(folder).c_str()) == 0; }

}  // namespace platform
