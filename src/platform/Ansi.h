// Text helpers for the system's 8-bit text.
//
// All text inside the program is UTF-8. The system this program comes from
// handles 8-bit text in Windows-1252; these helpers convert to and from it
// where bytes must be 1252, and give the comparisons the system relies on:
// upper-casing of a-z only, and case-insensitive search and replace that folds
// Latin letters the way Windows' locale-aware comparison does (é matches É,
// but é never matches e). Lengths and positions given "in characters" count
// code points; every other position is a byte offset into the UTF-8 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 -> Windows-1252. A character 1252 cannot hold becomes '?'.
std::string Utf8ToAnsi(std::string_view utf8);
// Windows-1252 -> UTF-8. The five bytes 1252 leaves undefined map to the
// C1 control characters of the same value.
std::string AnsiToUtf8(std::string_view ansi);

// Whether the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Upper-cases the letters a to z; every other byte is kept.
std::string UpperCaseAZ(std::string_view text);

// The text with every letter folded to its upper-case form (Latin letters
// only). The result has the same byte length as the input, so positions found
// in folded text are positions in the original.
std::string FoldCase(std::string_view text);

bool SameText(std::string_view a, std::string_view b);
// Byte offset of the first occurrence of needle at or after from, ignoring
// case; npos when absent. An empty needle is found at from.
std::size_t FindText(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// Every occurrence replaced, left to right, in one pass; replaced text is not
// searched again. An empty pattern replaces nothing.
std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view replacement);
std::string ReplaceAllText(std::string_view text, std::string_view pattern, std::string_view replacement);

// Number of characters (code points; a byte that is not valid UTF-8 counts as one).
std::size_t CharLength(std::string_view text);
// count characters from character index start (0-based), clipped to the text.
std::string CopyChars(std::string_view text, std::size_t start, std::size_t count);

// The text without leading and trailing characters up to and including the
// blank (control characters and spaces).
std::string TrimBlanks(std::string_view text);
std::string TrimLeftBlanks(std::string_view text);
std::string TrimRightBlanks(std::string_view text);

}  // namespace platform
