#include "shell/MemoTail.h"

#include <algorithm>

namespace shell {
namespace {

// At most `length` bytes, cut before a UTF-8 continuation byte.
std::string Shortened(std::string line, std::size_t length) {
  if (line.size() <= length) return line;
  std::size_t cut = length;
  while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
  line.resize(cut);
  return line + "...";
}

}  // namespace

void TMemoTail::Add(const std::string& line) {
  // The physical lines of the text, last first, as far back as they are kept.
  std::vector<std::string> last;
  std::size_t end = line.size();
  while (last.size() < kRecordedLines) {
    std::size_t begin = end == 0 ? std::string::npos : line.find_last_of("\r\n", end - 1);
    const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
    const std::size_t length = std::min(end - from, kRecordedLineLength + 4);
    last.push_back(Shortened(line.substr(from, length), kRecordedLineLength));
    if (begin == std::string::npos) break;
    // CR LF is one break.
    if (line[begin] == '\n' && begin > 0 && line[begin - 1] == '\r') --begin;
    end = begin;
  }
  for (auto it = last.rbegin(); it != last.rend(); ++it) lines_.push_back(std::move(*it));
  while (lines_.size() > kRecordedLines) lines_.pop_front();
}

}  // namespace shell
