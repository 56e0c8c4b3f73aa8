#include "platform/TextRewriter.h"

#include <cstring>

#include "platform/Ansi.h"

namespace platform {
namespace {

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// pattern (ASCII, folded) at text[at], comparing ASCII letters ignoring case.
bool MatchesFolded(std::string_view text, std::size_t at, std::string_view pattern) {
  if (text.size() - at < pattern.size()) return false;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    if (FoldAscii(text[at + k]) != pattern[k]) return false;
  }
  return true;
}

}  // namespace

TTextRewriter::TTextRewriter(std::vector<TTextRule> rules) {
  for (TTextRule& rule : rules) {
    if (rule.Pattern.empty()) continue;
    if (!rule.ExactCase && !IsAscii(rule.Pattern)) ascii_ = false;
    rules_.push_back(std::move(rule));
  }
  for (TTextRule& rule : rules_) {
    if (!rule.ExactCase) rule.Pattern = FoldCase(rule.Pattern);
    // An exact-case pattern begins at its own first byte of the text; an
    // any-case one at its folded first byte of the folded text, which for an
    // ASCII letter is either case of the text's byte.
    const auto first = static_cast<unsigned char>(rule.Pattern[0]);
    canStart_[first] = true;
    if (!rule.ExactCase && first >= 'A' && first <= 'Z') canStart_[first + 0x20] = true;
  }
  for (int b = 0; b < 256; ++b) {
    if (!canStart_[b]) continue;
    ++startCount_;
    onlyStart_ = static_cast<char>(b);
  }
}

std::size_t TTextRewriter::MatchAt(std::string_view text, std::string_view folded, std::size_t at) const {
  for (std::size_t r = 0; r < rules_.size(); ++r) {
    const TTextRule& rule = rules_[r];
    bool match;
    if (rule.ExactCase) {
      match = text.compare(at, rule.Pattern.size(), rule.Pattern) == 0;
    } else if (ascii_) {
      match = MatchesFolded(text, at, rule.Pattern);
    } else {
      match = folded.compare(at, rule.Pattern.size(), rule.Pattern) == 0;
    }
    if (match) return r;
  }
  return rules_.size();
}

std::string TTextRewriter::Apply(std::string_view text) const {
  if (rules_.empty()) return std::string(text);
  // Folding keeps byte lengths, so positions in the folded copy are positions in the text.
  const std::string foldedCopy = ascii_ ? std::string() : FoldCase(text);
  const std::string_view scanned = ascii_ ? text : std::string_view(foldedCopy);

  std::string out;
  out.reserve(text.size() + text.size() / 16);
  std::size_t copied = 0;
  std::size_t at = 0;
  const char* base = scanned.data();
  while (at < scanned.size()) {
    if (ascii_ && startCount_ == 1) {
      const void* hit = std::memchr(base + at, onlyStart_, scanned.size() - at);
      if (!hit) break;
      at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    } else if (!canStart_[static_cast<unsigned char>(scanned[at])] &&
               !canStart_[static_cast<unsigned char>(text[at])]) {
      ++at;
      continue;
    }
    const std::size_t r = MatchAt(text, scanned, at);
    if (r == rules_.size()) {
      ++at;
      continue;
    }
    out.append(text, copied, at - copied);
    out += rules_[r].Replacement;
    at += rules_[r].Pattern.size();
    copied = at;
  }
  out.append(text, copied, std::string_view::npos);
  return out;
}

}  // namespace platform
