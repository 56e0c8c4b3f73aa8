#include "transfer/FtpReplies.h"

#include <gtest/gtest.h>

namespace transfer {
namespace {

TEST(FtpReplies, ReplyLinesAndCodes) {
  const auto lines = ReplyLines("230-Welcome\r\n\r\n230 Logged in\r\n213 4\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_FALSE(IsFinalReplyLine(lines[0]));
  EXPECT_TRUE(IsFinalReplyLine(lines[1]));
  EXPECT_EQ(ReplyCode(lines[1]), 230);
  EXPECT_EQ(ReplyCode("22"), 0);
  EXPECT_EQ(ReplyCode("2a0 x"), 0);
}

TEST(FtpReplies, SizeOnlyFromAWholeNumberAnswer) {
  const struct {
    const char* line;
    std::optional<std::int64_t> size;
  } cases[] = {
      {"213 1234", 1234},
      {"213 0", 0},
      {"213 999999999999999999", 999999999999999999},
      {"213 9999999999999999999", std::nullopt},  // would overflow
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
  EXPECT_TRUE(ListingNames("", 0) && ListingNames("", 0)->empty());
  EXPECT_TRUE(ListingNames("a\nb\n", 2));
  EXPECT_FALSE(ListingNames("a\nb\nc\n", 2));
}

}  // namespace
}  // namespace transfer
