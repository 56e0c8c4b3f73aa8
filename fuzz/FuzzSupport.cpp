#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace fuzz {
namespace {
struct TScratch {
  std::filesystem::path Path;
  TScratch() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      Path = base / ("annoncia-fuzz-" + std::to_string(random()));
      if (std::filesystem::create_directory(Path)) break;
    }
  }
  ~TScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
};
}  // namespace

const std::string& ScratchFolder() {
  static const TScratch scratch;
  static const std::string path = scratch.Path.string();
  return path;
}

std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
  const std::string path = ScratchFolder() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write " + path);
  return path;
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz
