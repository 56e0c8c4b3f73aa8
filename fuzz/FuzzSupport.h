// What the harnesses share: a scratch folder of the process's own, for the
// readers that take a file name, and the check that stops a run on a wrong
// result (a crash libFuzzer reports, with the input that caused it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// A new folder under the system's temporary folder, made on first use and
// removed when the process ends normally.
const std::string& ScratchFolder();

// Writes the bytes to ScratchFolder()/name, replacing the file; returns its path.
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

// Prints what went wrong and aborts, so libFuzzer keeps the input.
[[noreturn]] void Fail(const std::string& what);

inline void Check(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzz
