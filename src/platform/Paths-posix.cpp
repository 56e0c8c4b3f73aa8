#include "platform/Paths.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "platform/Ansi.h"

namespace platform {
namespace {

bool Exists(const std::string& p) {
  struct stat st;
  return lstat(p.empty() ? "." : p.c_str(), &st) == 0;
}

// The entry of folder whose name equals name ignoring case, or empty.
std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()), closedir);
  if (!dir) return {};
  const std::string wanted = FoldCase(name);
  while (const dirent* e = readdir(dir.get())) {
    const std::string entry = e->d_name;
    if (entry.size() == name.size() && FoldCase(entry) == wanted) return entry;
  }
  return {};
}

}  // namespace

std::string NativePath(std::string_view path) {
  std::string p(path);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z'))) {
    p.erase(0, 2);
    if (p.empty() || p[0] != '/') p.insert(p.begin(), '/');
  }
  if (p.empty()) return p;

  std::string out = p[0] == '/' ? "/" : "";
  bool resolving = true;
  std::size_t i = out.size();
  while (i <= p.size()) {
    std::size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    const std::string comp = p.substr(i, j - i);
    if (!comp.empty()) {
      std::string actual = comp;
      if (resolving && comp != "." && comp != "..") {
        if (!Exists(out + comp)) {
          const std::string found = FindEntryIgnoringCase(out, comp);
          if (found.empty()) resolving = false;
          else actual = found;
        }
      }
      out += actual;
      if (j < p.size()) out += '/';
    }
    i = j + 1;
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
