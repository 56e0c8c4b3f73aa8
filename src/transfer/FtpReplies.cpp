#include "transfer/FtpReplies.h"

namespace transfer {

int ReplyCode(std::string_view line) {
  if (line.size() < 3) return 0;
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

bool IsFinalReplyLine(std::string_view line) { return !(line.size() > 3 && line[3] == '-'); }

std::optional<std::int64_t> SizeFromReply(std::string_view line) {
  if (ReplyCode(line) != 213 || line.size() < 5 || line[3] != ' ') return std::nullopt;
  const std::string_view digits = line.substr(4);
  if (digits.size() > 18) return std::nullopt;
  std::int64_t size = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    size = size * 10 + (c - '0');
  }
  return size;
}

std::optional<std::vector<std::string>> ListingNames(std::string_view listing, std::size_t maxNames) {
  std::vector<std::string> names;
  for (const std::string_view line : ReplyLines(listing)) {
    if (line == "." || line == "..") continue;
    if (names.size() == maxNames) return std::nullopt;
    names.emplace_back(line);
  }
  return names;
}

}  // namespace transfer
