#include "platform/Paths.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/Ansi.h"
#include "platform/FolderListings.h"

namespace platform {
namespace {

bool Exists(const std::string& p) {
  struct stat st;
  return lstat(p.empty() ? "." : p.c_str(), &st) == 0;
}

struct TStamp {
  dev_t Device = 0;
  ino_t Inode = 0;
  timespec Modified{};
  bool operator==(const TStamp& o) const {
    return Device == o.Device && Inode == o.Inode && Modified.tv_sec == o.Modified.tv_sec &&
           Modified.tv_nsec == o.Modified.tv_nsec;
  }
};

bool StampOf(const std::string& folder, TStamp& stamp) {
  struct stat st;
  if (stat(folder.empty() ? "." : folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  stamp = {st.st_dev, st.st_ino, st.st_mtim};
  return true;
}

struct TListing {
  TStamp Stamp;
  // Entries by folded name, in the order the folder gave them (two names may
  // fold alike on a case-sensitive file system: the first one wins).
  std::unordered_map<std::string, std::vector<std::string>> ByFoldedName;
  // The name last looked up against a stamp just checked: a create of that
  // name follows its look-up, so only that create may move the stamp on
  // without hiding someone else's change.
  std::string LookedUp;

  void Add(const std::string& name) {
    std::vector<std::string>& same = ByFoldedName[FoldCase(name)];
    for (const std::string& s : same) {
      if (s == name) return;
    }
    same.push_back(name);
  }
};

// Listings by native folder path ("" or ending in "/"). Curl's helper thread
// may look up paths too, hence the lock.
std::mutex listingsLock;
std::unordered_map<std::string, TListing> listings;
constexpr std::size_t kMaxListings = 64;

bool ReadListing(const std::string& folder, TListing& listing) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()), closedir);
  if (!dir) return false;
  while (const dirent* e = readdir(dir.get())) {
    const std::string entry = e->d_name;
    if (entry != "." && entry != "..") listing.Add(entry);
  }
  return true;
}

// Splits a native path into its folder (with the "/") and its last name.
void SplitNative(const std::string& native, std::string& folder, std::string& name) {
  std::string path = native;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::size_t slash = path.rfind('/');
  folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Folders reached through a name spelled in another case than on disk (the
// work folder is Windir + "\\Temp\\..." where the folder is TEMP), by the path
// as given: every file of such a folder is looked up through the same
// spelling, which would otherwise be walked again from the top each time.
std::mutex foldersLock;
std::unordered_map<std::string, std::string> resolvedFolders;
constexpr std::size_t kMaxResolvedFolders = 64;

bool IsFolder(const std::string& native) {
  struct stat st;
  return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The native folder for given (a native path without "." or ".." names):
// given itself when it exists so spelled, whatever it is, or the existing
// folder it stands for; false when neither.
bool KnownFolder(const std::string& given, std::string& native) {
  native.clear();
  {
    std::lock_guard<std::mutex> hold(foldersLock);
    const auto it = resolvedFolders.find(given);
    if (it != resolvedFolders.end()) native = it->second;
  }
  if (!native.empty()) {
    // Kept while the folder as spelled is still missing and the one found is still there.
    if (!Exists(given) && IsFolder(native)) return true;
    std::lock_guard<std::mutex> hold(foldersLock);
    resolvedFolders.erase(given);
  }
  struct stat st;
  bool exists = false;
  native = NativePathStat(given, st, exists);
  if (exists && native == given) return true;
  if (exists ? !S_ISDIR(st.st_mode) && !(S_ISLNK(st.st_mode) && IsFolder(native)) : !IsFolder(native)) return false;
  std::lock_guard<std::mutex> hold(foldersLock);
  if (resolvedFolders.size() >= kMaxResolvedFolders) resolvedFolders.clear();
  resolvedFolders.insert_or_assign(given, native);
  return true;
}

}  // namespace

std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name) {
  TStamp stamp;
  if (!StampOf(folder, stamp)) return {};
  std::lock_guard<std::mutex> hold(listingsLock);
  auto it = listings.find(folder);
  if (it == listings.end() || !(it->second.Stamp == stamp)) {
    TListing fresh;
    fresh.Stamp = stamp;
    if (!ReadListing(folder, fresh)) return {};
    if (it == listings.end()) {
      if (listings.size() >= kMaxListings) listings.clear();
      it = listings.emplace(folder, std::move(fresh)).first;
    } else {
      it->second = std::move(fresh);
    }
  }
  it->second.LookedUp = name;
  const auto found = it->second.ByFoldedName.find(FoldCase(name));
  if (found == it->second.ByFoldedName.end()) return {};
  for (const std::string& entry : found->second) {
    if (entry.size() == name.size()) return entry;
  }
  return {};
}

void NoteEntryCreated(const std::string& native) {
  std::string folder, name;
  SplitNative(native, folder, name);
  std::lock_guard<std::mutex> hold(listingsLock);
  const auto it = listings.find(folder);
  if (it != listings.end()) {
    TStamp stamp;
    if (it->second.LookedUp == name && StampOf(folder, stamp) && stamp.Device == it->second.Stamp.Device &&
        stamp.Inode == it->second.Stamp.Inode) {
      it->second.Add(name);
      it->second.Stamp = stamp;
      it->second.LookedUp.clear();
    } else {
      listings.erase(it);
    }
  }
}

void NoteFolderCreated(const std::string& native) {
  NoteEntryCreated(native);
  std::string folder, name;
  SplitNative(native, folder, name);
  TListing created;
  std::lock_guard<std::mutex> hold(listingsLock);
  if (StampOf(folder + name, created.Stamp)) {
    if (listings.size() >= kMaxListings) listings.clear();
    listings.insert_or_assign(folder + name + "/", std::move(created));
  }
}

void NoteEntryRemoved(const std::string& native) {
  std::string folder, name;
  SplitNative(native, folder, name);
  // Forgotten rather than edited: removals are few, and a listing read again
  // cannot hide another program's change.
  std::lock_guard<std::mutex> hold(listingsLock);
  const std::string inside = folder + name + "/";
  std::erase_if(listings, [&](const auto& kept) { return kept.first == folder || kept.first.starts_with(inside); });
}

std::string NativePath(std::string_view path) {
  struct stat st;
  bool found = false;
  return NativePathStat(path, st, found);
}

std::string NativePathStat(std::string_view path, struct stat& st, bool& exists) {
  exists = false;
  std::string p(path);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z'))) {
    p.erase(0, 2);
    if (p.empty() || p[0] != '/') p.insert(p.begin(), '/');
  }
  if (p.empty()) return p;

  // The components as given, without empty ones.
  const bool absolute = p[0] == '/';
  std::vector<std::string> parts;
  std::string given = absolute ? "/" : "";
  for (std::size_t i = given.size(); i <= p.size();) {
    std::size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    if (j > i) {
      parts.push_back(p.substr(i, j - i));
      given += parts.back();
      if (j < p.size()) given += '/';
    }
    i = j + 1;
  }
  // Most paths name what exists, spelled as it is.
  if (lstat(given.c_str(), &st) == 0) {
    exists = true;
    return given;
  }
  // Most others name a new or differently spelled entry of a folder known
  // already.
  const std::size_t slash = given.rfind('/');
  const bool plainNames =
      std::none_of(parts.begin(), parts.end(), [](const std::string& s) { return s == "." || s == ".."; });
  if (slash != std::string::npos && slash > 0 && slash + 1 < given.size() && plainNames) {
    const std::string folderGiven = given.substr(0, slash);
    std::string folder;
    if (KnownFolder(folderGiven, folder)) {
      const std::string last = given.substr(slash + 1);
      const std::string native = folder + "/" + last;
      if (folder != folderGiven && lstat(native.c_str(), &st) == 0) {
        exists = true;
        return native;
      }
      const std::string found = FindEntryIgnoringCase(folder + "/", last);
      return found.empty() ? native : folder + "/" + found;
    }
  }

  // Where it does not, usually only its last name is new: the longest leading
  // stretch that exists is spelled as given and is not looked at again (nor
  // is the name after it, known to be missing as spelled).
  std::string out = absolute ? "/" : "";
  std::size_t known = 0;
  for (std::size_t n = parts.empty() ? 0 : parts.size() - 1; n > 0; --n) {
    std::string prefix = out;
    for (std::size_t k = 0; k < n; ++k) prefix += parts[k] + (k + 1 < n ? "/" : "");
    if (Exists(prefix)) {
      out = prefix + "/";
      known = n;
      break;
    }
  }
  bool resolving = true;
  for (std::size_t k = known; k < parts.size(); ++k) {
    const std::string& comp = parts[k];
    std::string actual = comp;
    if (resolving && comp != "." && comp != "..") {
      if (k == known || !Exists(out + comp)) {
        const std::string found = FindEntryIgnoringCase(out, comp);
        if (found.empty()) resolving = false;
        else actual = found;
      }
    }
    out += actual;
    if (k + 1 < parts.size() || given.back() == '/') out += '/';
  }
  return out;
}

std::string ExecutablePath() {
  std::vector<char> buf(PATH_MAX + 1);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::string ExecutableFolder() { return ExtractFilePath(ExecutablePath()); }

}  // namespace platform
