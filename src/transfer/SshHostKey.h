// SSH host key fingerprints as `ssh-keygen -l` prints them: "SHA256:" and
// the base64 of the key's SHA-256 digest without "=" padding.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace transfer {

// The fingerprint of a host key (the key blob as the server sends it).
std::string HostKeyFingerprint(const void* key, std::size_t size);
// The same of a key given in base64 ("" for text that is not base64).
std::string HostKeyFingerprintOfBase64(const char* base64);

// A fingerprint as an operator may write it ("SHA256:abc…", "abc…", with or
// without padding, blanks around it) in the printed form; nullopt for text
// that is no SHA-256 fingerprint (an MD5 one "aa:bb:…" included).
std::optional<std::string> NormalisedFingerprint(std::string_view text);

}  // namespace transfer
