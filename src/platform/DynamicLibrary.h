// Libraries loaded at run time.
//
// A bare name is looked for the way the system this program comes from looks
// for it: first beside the running executable, then in ../lib beside it (the
// installed layout), then through the system's own search.
#pragma once

#include <memory>
#include <string>

namespace platform {

class TDynamicLibrary {
public:
  // nullptr when the library cannot be loaded; error then holds the reason.
  static std::unique_ptr<TDynamicLibrary> Load(const std::string& name, std::string& error);
  ~TDynamicLibrary();
  TDynamicLibrary(const TDynamicLibrary&) = delete;
  TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

  // Address of an exported entry point, or nullptr.
  void* EntryPoint(const std::string& name) const;

private:
  explicit TDynamicLibrary(void* handle) : handle_(handle) {}
  void* handle_;
};

// The file name this platform gives a shared library called base ("libbase.so").
std::string SharedLibraryFileName(const std::string& base);

}  // namespace platform
