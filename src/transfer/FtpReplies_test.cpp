#include "transfer/FtpReplies.h"

#include <gtest/gtest.h>

namespace transfer {
namespace {

TEST(FtpReplies, ReplyLinesAndCodes) {
  // A reply of several lines whose inner lines carry no code, then another.
  const auto lines = ReplyLines("213-Status\r\n\r\n size follows\r\n213 End\r\n213 4\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_FALSE(IsFinalReplyLine(lines[0]));
  EXPECT_FALSE(IsFinalReplyLine(lines[1]));
  EXPECT_TRUE(IsFinalReplyLine(lines[2]));
  EXPECT_EQ(ReplyCode(lines[2]), 213);
  EXPECT_TRUE(IsFinalReplyLine("421"));
  EXPECT_FALSE(IsFinalReplyLine("size 12"));
  const struct {
    const char* line;
    int code;
  } codes[] = {{"421 Bye", 421}, {"230-Hello", 230}, {"226", 226}, {"22", 0}, {"2a0 x", 0}, {"2301 x", 0}, {" 230 x", 0}};
  for (const auto& c : codes) EXPECT_EQ(ReplyCode(c.line), c.code) << c.line;
}

TEST(FtpReplies, SizeOnlyFromAWholeNumberAnswer) {
  const struct {
    const char* line;
    std::optional<std::int64_t> size;
  } cases[] = {
      {"213 1234", 1234},
      {"213 0", 0},
      {"213 999999999999999999", 999999999999999999},
      {"213 9223372036854775807", 9223372036854775807},
      {"213 9223372036854775808", std::nullopt},  // would overflow
      {"213 9999999999999999999", std::nullopt},
      {"213 00000000000000000000042", 42},
      {"213 12ab", std::nullopt},
      {"213 ", std::nullopt},
      {"213-1234", std::nullopt},
      {"550 No such file", std::nullopt},
      {"213 -5", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeFromReply(c.line), c.size) << c.line;
}

TEST(FtpReplies, ListingNamesWithoutTheFolderItselfAndWithinBounds) {
  const auto names = ListingNames(".\r\n..\r\na.jpg\r\n\r\nb c.jpg\nlast", 10);
  ASSERT_TRUE(names);
  EXPECT_EQ(*names, (std::vector<std::string>{"a.jpg", "b c.jpg", "last"}));
  // A CR alone ends a line as well: no name holds a line break.
  const auto crLines = ListingNames("a.jpg\rb.jpg\r\r\n.\r..\rc.jpg\r", 10);
  ASSERT_TRUE(crLines);
  EXPECT_EQ(*crLines, (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
  EXPECT_TRUE(ListingNames("", 0) && ListingNames("", 0)->empty());
  EXPECT_TRUE(ListingNames("a\nb\n", 2));
  EXPECT_FALSE(ListingNames("a\nb\nc\n", 2));
}

}  // namespace
}  // namespace transfer
