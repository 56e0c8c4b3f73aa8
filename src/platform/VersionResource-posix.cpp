#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include <cstring>

#include "platform/FileDescriptors.h"
#include "platform/Paths.h"
#include "platform/VersionResource.h"

namespace platform {
namespace {
constexpr const char* kSectionName = ".annoncia.version";
constexpr std::uint64_t kLargestBlock = 1 << 20;

// The executable, read where its headers point rather than whole: with its
// debugging information it is tens of megabytes, read at every start.
class TElfFile {
public:
  explicit TElfFile(const std::string& file) : fd_(open(NativePath(file).c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat st;
    if (fd_.get() >= 0 && fstat(fd_.get(), &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
  }

  // Length bytes at offset, all of them inside the file; false otherwise.
  bool Read(std::uint64_t offset, void* out, std::uint64_t length) const {
    if (offset > size_ || size_ - offset < length) return false;
    auto* at = static_cast<char*>(out);
    while (length > 0) {
      const ssize_t n = pread(fd_.get(), at, length, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      at += n;
      offset += static_cast<std::uint64_t>(n);
      length -= static_cast<std::uint64_t>(n);
    }
    return true;
  }
  template <typename T>
  bool ReadAt(std::uint64_t offset, T& out) const {
    return Read(offset, &out, sizeof(T));
  }

private:
  TFd fd_;
  std::uint64_t size_ = 0;
};
}  // namespace

std::optional<std::string> ReadVersionBlock(const std::string& file) {
  const TElfFile elf(file);
  Elf64_Ehdr eh;
  if (!elf.ReadAt(0, eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) {
    return std::nullopt;
  }
  Elf64_Shdr names;
  if (eh.e_shstrndx == SHN_UNDEF || !elf.ReadAt(eh.e_shoff + std::uint64_t{eh.e_shstrndx} * eh.e_shentsize, names)) {
    return std::nullopt;
  }
  const std::size_t nameLength = std::strlen(kSectionName);
  for (unsigned k = 0; k < eh.e_shnum; ++k) {
    Elf64_Shdr sh;
    if (!elf.ReadAt(eh.e_shoff + std::uint64_t{k} * eh.e_shentsize, sh)) return std::nullopt;
    if (sh.sh_name >= names.sh_size) continue;
    // The name and its terminating NUL, or as much of it as the table holds.
    char name[32] = {};
    const std::uint64_t room = names.sh_size - sh.sh_name;
    const std::uint64_t want = room < nameLength + 1 ? room : nameLength + 1;
    if (!elf.Read(names.sh_offset + sh.sh_name, name, want)) continue;
    if (want != nameLength + 1 || std::memcmp(name, kSectionName, nameLength + 1) != 0) continue;
    if (sh.sh_type == SHT_NOBITS || sh.sh_size > kLargestBlock) return std::nullopt;
    std::string block(sh.sh_size, '\0');
    if (!elf.Read(sh.sh_offset, block.data(), sh.sh_size)) return std::nullopt;
    return block;
  }
  return std::nullopt;
}

}  // namespace platform
