#include <elf.h>

#include <cstring>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/VersionResource.h"

namespace platform {
namespace {
constexpr const char* kSectionName = ".annoncia.version";

template <typename T>
bool ReadAt(const std::string& bytes, std::uint64_t offset, T& out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, bytes.data() + offset, sizeof(T));
  return true;
}
}  // namespace

std::optional<std::string> ReadVersionBlock(const std::string& file) {
  std::string bytes;
  try {
    bytes = ReadFileBytes(file);
  } catch (const EInOutError&) {
    return std::nullopt;
  }
  Elf64_Ehdr eh;
  if (!ReadAt(bytes, 0, eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) {
    return std::nullopt;
  }
  Elf64_Shdr names;
  if (eh.e_shstrndx == SHN_UNDEF || !ReadAt(bytes, eh.e_shoff + std::uint64_t{eh.e_shstrndx} * eh.e_shentsize, names)) {
    return std::nullopt;
  }
  for (unsigned k = 0; k < eh.e_shnum; ++k) {
    Elf64_Shdr sh;
    if (!ReadAt(bytes, eh.e_shoff + std::uint64_t{k} * eh.e_shentsize, sh)) return std::nullopt;
    const std::uint64_t nameAt = names.sh_offset + sh.sh_name;
    if (nameAt >= bytes.size()) continue;
    if (std::strncmp(bytes.data() + nameAt, kSectionName, bytes.size() - nameAt) != 0) continue;
    if (sh.sh_type == SHT_NOBITS || sh.sh_offset > bytes.size() || bytes.size() - sh.sh_offset < sh.sh_size) {
      return std::nullopt;
    }
    return bytes.substr(sh.sh_offset, sh.sh_size);
  }
  return std::nullopt;
}

}  // namespace platform
