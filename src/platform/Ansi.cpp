#include "platform/Ansi.h"

#include "platform/TextRewriter.h"

#include <array>
#include <cstdint>

namespace platform {
namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252 (0 = undefined there).
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes the code point at text[i]; len receives its byte length. A byte
// that does not start a valid sequence decodes as itself with length 1 and
// is reported as invalid (-1).
long DecodeAt(std::string_view text, std::size_t i, std::size_t& len) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  len = 1;
  if (b0 < 0x80) return b0;
  std::size_t need;
  char32_t cp;
  if ((b0 & 0xE0) == 0xC0) { need = 1; cp = b0 & 0x1F; }
  else if ((b0 & 0xF0) == 0xE0) { need = 2; cp = b0 & 0x0F; }
  else if ((b0 & 0xF8) == 0xF0) { need = 3; cp = b0 & 0x07; }
  else return -1;
  if (i + need >= text.size()) return -1;
  for (std::size_t k = 1; k <= need; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[need] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  len = need + 1;
  return static_cast<long>(cp);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Upper-case partner of a lower-case Latin letter whose UTF-8 form has the
// same length; the code point itself otherwise.
char32_t FoldLetter(char32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 0x20;
  if (cp < 0x80) return cp;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
  if (cp == 0xFF) return 0x178;
  // Latin Extended-A pairs (Ā/ā ... Ž/ž), all two bytes in UTF-8; ı and ſ
  // have no same-length partner and are left alone.
  if (cp >= 0x100 && cp <= 0x17F && cp != 0x131 && cp != 0x17F && cp != 0x138 && cp != 0x149) {
    // In these two runs the capital is the odd code point.
    const bool oddCapitals = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
    if (oddCapitals) return (cp % 2 == 0) ? cp - 1 : cp;
    return (cp % 2 == 1) ? cp - 1 : cp;
  }
  return cp;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t len;
    const long cp = DecodeAt(utf8, i, len);
    i += len;
    if (cp < 0) { out += '?'; continue; }
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) { out += static_cast<char>(cp); continue; }
    char mapped = '?';
    for (std::size_t k = 0; k < kHighControls.size(); ++k) {
      if (kHighControls[k] == static_cast<char32_t>(cp) || (kHighControls[k] == 0 && cp == static_cast<long>(0x80 + k))) {
        mapped = static_cast<char>(0x80 + k);
        break;
      }
    }
    out += mapped;
  }
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 8);
  for (const char c : ansi) {
    const auto b = static_cast<unsigned char>(c);
    char32_t cp = b;
    if (b >= 0x80 && b <= 0x9F && kHighControls[b - 0x80] != 0) cp = kHighControls[b - 0x80];
    AppendUtf8(out, cp);
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len;
    if (DecodeAt(text, i, len) < 0) return false;
    i += len;
  }
  return true;
}

std::string UpperCaseAZ(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
  }
  return out;
}

std::string FoldCase(std::string_view text) {
  // The folded text is built by appending, so runs of ASCII (most of a feed)
  // take no decoding and nothing is moved.
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out.push_back(b >= 'a' && b <= 'z' ? static_cast<char>(b - 0x20) : static_cast<char>(b));
      ++i;
      continue;
    }
    std::size_t len;
    const long cp = DecodeAt(text, i, len);
    if (cp >= 0) {
      AppendUtf8(out, FoldLetter(static_cast<char32_t>(cp)));
    } else {
      out.append(text.substr(i, len));
    }
    i += len;
  }
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

std::size_t FindText(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (from > haystack.size()) return std::string_view::npos;
  const std::string h = FoldCase(haystack.substr(from));
  const std::size_t pos = h.find(FoldCase(needle));
  return pos == std::string::npos ? std::string_view::npos : pos + from;
}

std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view replacement) {
  return TTextRewriter({{std::string(pattern), std::string(replacement), true}}).Apply(text);
}

std::string ReplaceAllText(std::string_view text, std::string_view pattern, std::string_view replacement) {
  return TTextRewriter({{std::string(pattern), std::string(replacement)}}).Apply(text);
}

std::size_t CharLength(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++n) {
    std::size_t len;
    DecodeAt(text, i, len);
    i += len;
  }
  return n;
}

std::string CopyChars(std::string_view text, std::size_t start, std::size_t count) {
  std::size_t i = 0;
  std::size_t len;
  for (std::size_t n = 0; n < start && i < text.size(); ++n) {
    DecodeAt(text, i, len);
    i += len;
  }
  const std::size_t begin = i;
  for (std::size_t n = 0; n < count && i < text.size(); ++n) {
    DecodeAt(text, i, len);
    i += len;
  }
  return std::string(text.substr(begin, i - begin));
}

std::string TrimLeftBlanks(std::string_view text) {
  std::size_t b = 0;
  while (b < text.size() && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  return std::string(text.substr(b));
}

std::string TrimRightBlanks(std::string_view text) {
  std::size_t e = text.size();
  while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return std::string(text.substr(0, e));
}

std::string TrimBlanks(std::string_view text) { return TrimLeftBlanks(TrimRightBlanks(text)); }

}  // namespace platform
