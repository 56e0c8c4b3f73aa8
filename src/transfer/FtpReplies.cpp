#include "transfer/FtpReplies.h"

#include <limits>

namespace transfer {

int ReplyCode(std::string_view line) {
  // Three digits, then the end of the line, a blank or the "-" of a leading line.
  if (line.size() < 3 || (line.size() > 3 && line[3] != ' ' && line[3] != '-')) return 0;
  int code = 0;
  for (const char c : line.substr(0, 3)) {
    if (c < '0' || c > '9') return 0;
    code = code * 10 + (c - '0');
  }
  return code;
}

std::vector<std::string_view> ReplyLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// The text lines inside a reply of several lines need not begin with a code:
// only a code followed by a blank (or nothing) ends the reply.
bool IsFinalReplyLine(std::string_view line) {
  return ReplyCode(line) != 0 && (line.size() == 3 || line[3] == ' ');
}

std::optional<std::int64_t> SizeFromReply(std::string_view line) {
  if (ReplyCode(line) != 213 || line.size() < 5 || line[3] != ' ') return std::nullopt;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t size = 0;
  for (const char c : line.substr(4)) {
    if (c < '0' || c > '9') return std::nullopt;
    const int digit = c - '0';
    if (size > (kMax - digit) / 10) return std::nullopt;
    size = size * 10 + digit;
  }
  return size;
}

std::optional<std::vector<std::string>> ListingNames(std::string_view listing, std::size_t maxNames) {
  // A CR alone ends a line too (old servers): no name holds a line break.
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < listing.size()) {
    std::size_t end = listing.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = listing.size();
    const std::string_view line = listing.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line == "." || line == "..") continue;
    if (names.size() == maxNames) return std::nullopt;
    names.emplace_back(line);
  }
  return names;
}

}  // namespace transfer
