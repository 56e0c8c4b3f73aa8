// What an FTP or SFTP server says, on any bytes: the reply lines of the
// control connection, their codes and whether they end a reply, the size of a
// SIZE answer, and the names of a names-only listing. Each is compared with a
// plain check written from the reply forms: a size only from "213 " and
// digits, its value printed again being those digits without leading zeros;
// names never empty, "." or "..", never holding a line break, and read again
// the same from their own listing.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "transfer/FtpReplies.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckReplyLine(std::string_view line) {
  const bool coded = line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) &&
                     (line.size() == 3 || line[3] == ' ' || line[3] == '-');
  const int expected = coded ? (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0') : 0;
  fuzz::Check(transfer::ReplyCode(line) == expected, "ReplyCode of: " + std::string(line));
  fuzz::Check(transfer::IsFinalReplyLine(line) == (expected != 0 && (line.size() == 3 || line[3] == ' ')),
              "IsFinalReplyLine of: " + std::string(line));

  const std::optional<std::int64_t> size = transfer::SizeFromReply(line);
  const std::string_view rest = line.size() > 4 ? line.substr(4) : std::string_view();
  bool sizeForm = line.substr(0, 4) == "213 " && !rest.empty();
  for (const char c : rest) sizeForm = sizeForm && IsDigit(c);
  if (!sizeForm) {
    fuzz::Check(!size, "a size from: " + std::string(line));
    return;
  }
  std::string digits(rest.substr(std::min(rest.find_first_not_of('0'), rest.size())));
  if (digits.empty()) digits = "0";
  const std::string kMax = "9223372036854775807";
  const bool fits = digits.size() < kMax.size() || (digits.size() == kMax.size() && digits <= kMax);
  fuzz::Check(size.has_value() == fits, "size given or refused wrongly: " + std::string(line));
  if (size) fuzz::Check(std::to_string(*size) == digits, "size " + std::to_string(*size) + " from: " + std::string(line));
}

std::string Joined(const std::vector<std::string>& names, const char* separator) {
  std::string text;
  for (const std::string& name : names) text += name + separator;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::Bytes(data, size);

  // Reply lines: pieces of the text in order, nothing lost but line ends.
  const std::vector<std::string_view> lines = transfer::ReplyLines(text);
  const char* next = text.data();
  std::string kept, rejoined;
  for (const char c : text)
    if (c != '\r' && c != '\n') kept += c;
  for (const std::string_view line : lines) {
    fuzz::Check(!line.empty() && line.find('\n') == std::string_view::npos && line.back() != '\r',
                "a reply line empty or with its line end: " + std::string(line));
    fuzz::Check(line.data() >= next && line.data() + line.size() <= text.data() + text.size(),
                "a reply line out of order or outside the text");
    next = line.data() + line.size();
    for (const char c : line)
      if (c != '\r') rejoined += c;
    CheckReplyLine(line);
  }
  fuzz::Check(rejoined == kept, "reply lines lost or added text");
  CheckReplyLine(text);

  // Listing names.
  const auto names = transfer::ListingNames(text, static_cast<std::size_t>(-1));
  fuzz::Check(names.has_value(), "a listing without bound refused");
  std::size_t from = 0;
  for (const std::string& name : *names) {
    fuzz::Check(!name.empty() && name != "." && name != "..", "listed: \"" + name + "\"");
    fuzz::Check(name.find_first_of("\r\n") == std::string::npos, "a listed name holds a line break");
    const std::size_t at = text.find(name, from);
    fuzz::Check(at != std::string_view::npos, "a listed name is not in the listing, in order: " + name);
    from = at + name.size();
  }
  for (const char* separator : {"\r\n", "\n", "\r"}) {
    const auto again = transfer::ListingNames(Joined(*names, separator), names->size());
    fuzz::Check(again && *again == *names, "the names do not read again from their own listing");
  }
  if (!names->empty()) {
    fuzz::Check(!transfer::ListingNames(text, names->size() - 1), "more names than the bound given");
  }
  return 0;
}
