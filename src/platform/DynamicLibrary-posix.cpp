#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include "platform/Files.h"
#include "platform/Paths.h"

namespace platform {

std::unique_ptr<TDynamicLibrary> TDynamicLibrary::Load(const std::string& name, std::string& error) {
  std::string candidates[3];
  int count = 0;
  if (name.find_first_of("\\/") == std::string::npos) {
    const std::string folder = ExecutableFolder();
    candidates[count++] = folder + name;
    candidates[count++] = folder + "../lib/" + name;
  } else {
    candidates[count++] = NativePath(name);
  }
  for (int k = 0; k < count; ++k) {
    if (!FileExists(candidates[k])) continue;
    if (void* h = dlopen(candidates[k].c_str(), RTLD_NOW | RTLD_LOCAL)) {
      return std::unique_ptr<TDynamicLibrary>(new TDynamicLibrary(h));
    }
    error = dlerror();
    return nullptr;
  }
  if (void* h = dlopen(name.find_first_of("\\/") == std::string::npos ? name.c_str() : candidates[0].c_str(),
                       RTLD_NOW | RTLD_LOCAL)) {
    return std::unique_ptr<TDynamicLibrary>(new TDynamicLibrary(h));
  }
  error = dlerror();
  return nullptr;
}

TDynamicLibrary::~TDynamicLibrary() { dlclose(handle_); }

void* TDynamicLibrary::EntryPoint(const std::string& name) const { return dlsym(handle_, name.c_str()); }

std::string SharedLibraryFileName(const std::string& base) { return "lib" + base + ".so"; }

}  // namespace platform
