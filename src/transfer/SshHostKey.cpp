#include "transfer/SshHostKey.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <algorithm>

namespace transfer {
namespace {

bool IsBase64Char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// A SHA-256 digest in base64 is 43 characters and one "=" of padding.
constexpr std::size_t kDigestBase64Length = 43;

}  // namespace

std::string HostKeyFingerprint(const void* key, std::size_t size) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  unsigned int digestSize = 0;
  if (EVP_Digest(key, size, digest, &digestSize, EVP_sha256(), nullptr) != 1) return "";
  unsigned char encoded[2 * SHA256_DIGEST_LENGTH + 1];
  const int length = EVP_EncodeBlock(encoded, digest, static_cast<int>(digestSize));
  std::string text(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(std::max(length, 0)));
  while (!text.empty() && text.back() == '=') text.pop_back();
  return "SHA256:" + text;
}

std::string HostKeyFingerprintOfBase64(const char* base64) {
  std::string_view text(base64);
  if (text.empty() || text.size() % 4 != 0 || text.size() > (1u << 20)) return "";
  std::string key(text.size() / 4 * 3, '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(key.data()),
                                     reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (length < 0) return "";
  // The decoder counts the padding as bytes.
  std::size_t size = static_cast<std::size_t>(length);
  for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && size > 0; --i) --size;
  return HostKeyFingerprint(key.data(), size);
}

std::optional<std::string> NormalisedFingerprint(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.size() >= 7 && (text.substr(0, 7) == "SHA256:" || text.substr(0, 7) == "sha256:")) text.remove_prefix(7);
  if (text.size() == kDigestBase64Length + 1 && text.back() == '=') text.remove_suffix(1);
  if (text.size() != kDigestBase64Length || !std::all_of(text.begin(), text.end(), IsBase64Char)) return std::nullopt;
  return "SHA256:" + std::string(text);
}

}  // namespace transfer
