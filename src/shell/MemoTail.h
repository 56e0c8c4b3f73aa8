// The last lines a run added to the memo, kept for the run's record (the
// alert quotes them). A memo line holding line breaks counts as several
// lines; only its last lines are copied, each at most kRecordedLineLength
// bytes, so a whole document logged as one line costs no copy of it.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace shell {

inline constexpr std::size_t kRecordedLines = 50;
inline constexpr std::size_t kRecordedLineLength = 1000;

class TMemoTail {
public:
  void Add(const std::string& line);
  // The kept lines, oldest first, and a fresh start.
  std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }
  void Reset() { lines_.clear(); }

private:
  std::deque<std::string> lines_;
};

}  // namespace shell
