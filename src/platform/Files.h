// File and folder services. Paths are Windows-style or native; each call maps
// its paths with NativePath. Calls that answer bool report failure by false
// and never raise (a caller that needs the operation raises the error with
// RaiseLastInOutError right after the failed call); the byte reading and
// writing calls raise EInOutError.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// File attribute bits as the system knows them. On this machine a file is
// read-only when it has no write permission for its owner, hidden when its
// name begins with "."; every regular file carries the archive bit.
enum : std::uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
};

[[nodiscard]] bool FileExists(const std::string& path);       // an existing file, not a folder
[[nodiscard]] bool DirectoryExists(const std::string& path);  // an existing folder
// True for an existing file that every user of the machine may read.
[[nodiscard]] bool IsReadableByEveryone(const std::string& path);
[[nodiscard]] bool CreateDir(const std::string& path);        // one level
[[nodiscard]] bool ForceDirectories(const std::string& path); // the whole missing chain
[[nodiscard]] bool RemoveDir(const std::string& path);        // an empty folder
[[nodiscard]] bool DeleteFile(const std::string& path);
[[nodiscard]] bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);
[[nodiscard]] bool RenameFile(const std::string& from, const std::string& to);
// Gives the regular file from (a link there is followed) the further name
// to: a hard link where the file system allows one, else a new copy. to is
// then the very file from wherever it is a link: nothing may ever write,
// truncate or chmod it; remove it by name only. An entry already named to
// is removed by name and never opened, since it may be another file's hard
// link (a folder of that name is an error); one that already is a name of
// from is kept. The copy goes to a file made new under to (never an
// existing name, not even a link's): a failed copy leaves no file there.
// false with errno on failure: EISDIR or EINVAL for a folder or another
// kind of file at from.
[[nodiscard]] bool LinkOrCopyFile(const std::string& from, const std::string& to);

// A folder held open to put many entries in: the folder is looked up once,
// and a folder renamed or replaced by a link afterwards is never reached
// through its path again. Names are taken as spelled (no matching ignoring
// case), for folders the program fills with names of its own.
class TOpenFolder {
public:
  explicit TOpenFolder(const std::string& path);  // IsOpen tells; errno on failure
  ~TOpenFolder();
  TOpenFolder(const TOpenFolder&) = delete;
  TOpenFolder& operator=(const TOpenFolder&) = delete;
  [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
  // LinkOrCopyFile(from, the folder + name), name being one plain name.
  [[nodiscard]] bool LinkOrCopyFile(const std::string& from, const std::string& name) const;

private:
  int fd_;
};

// Attributes of a file or folder; nullopt when it cannot be read.
[[nodiscard]] std::optional<std::uint32_t> GetFileAttributes(const std::string& path);
// Applies the read-only bit (the only one this system can store).
[[nodiscard]] bool SetFileAttributes(const std::string& path, std::uint32_t attributes);

struct TSearchRec {
  std::string Name;
  std::int64_t Size = 0;
  std::uint32_t Attr = 0;
  // Which file it is: two names with the same pair are one file.
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
};
// Entries matching a pattern: a folder, a separator and a mask with "*" and
// "?" ("*.*" is every name), or a plain path. Names compare ignoring case.
// "." and ".." are never listed. Sorted by name.
[[nodiscard]] std::vector<TSearchRec> FindFiles(const std::string& pattern);
[[nodiscard]] bool MatchesMask(const std::string& name, const std::string& mask);

// Whole contents of a file; raises EInOutError.
std::string ReadFileBytes(const std::string& path);
// Creates or truncates the file and writes bytes; raises EInOutError.
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Appends to an existing file (a missing file is an error, code 2); raises EInOutError.
void AppendFileBytes(const std::string& path, const std::string& bytes);

// Appends with one write at the end of the file, which is made when missing:
// writers that share a file this way never interleave within a call's bytes.
// Raises EInOutError.
void AppendFileBytesCreating(const std::string& path, const std::string& bytes);

// The system's temporary folder, with a trailing separator.
std::string TempFolder();
// Creates a new empty file with a unique name beginning with prefix in
// folder; returns its path, or empty on failure.
[[nodiscard]] std::string CreateTempFile(const std::string& folder, const std::string& prefix);
// Whether the volume (the root of the drive) of a path can be read.
[[nodiscard]] bool VolumeAccessible(const std::string& path);
// Label of the removable volume (a floppy disk) holding path; empty when the
// volume is not removable or has no label. Such volumes have no labels on
// this machine.
std::string RemovableVolumeLabel(const std::string& path);
// Makes folder the process's current folder.
[[nodiscard]] bool SetCurrentDir(const std::string& folder);

}  // namespace platform
