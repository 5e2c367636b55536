// The EHLO reply the mail program sees: the keywords that would take it around the relay's
// stamping are gone, and what is left is still one well-formed reply.
#include "transport/ehlo_reply_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelrion::transport {
namespace {

std::string Filtered(const std::vector<std::string>& reply) {
  EhloReplyFilter filter;
  std::string out;
  for (const std::string& line : reply) out += filter.Pass(line);
  return out;
}

struct FilterCase {
  const char* name;
  std::vector<std::string> reply;
  std::string expected;
};

TEST(EhloReplyFilterTest, WithheldKeywordsLeaveAWellFormedReply) {
  const FilterCase cases[] = {
      {"nothing withheld",
       {"250-mx.example\r\n", "250-SIZE 1000\r\n", "250 8BITMIME\r\n"},
       "250-mx.example\r\n250-SIZE 1000\r\n250 8BITMIME\r\n"},
      {"last line withheld",
       {"250-mx.example\r\n", "250-PIPELINING\r\n", "250 CHUNKING\r\n"},
       "250-mx.example\r\n250 PIPELINING\r\n"},
      {"middle line withheld",
       {"250-mx.example\r\n", "250-STARTTLS\r\n", "250 SIZE\r\n"},
       "250-mx.example\r\n250 SIZE\r\n"},
      {"last two withheld, any case, with parameters",
       {"250-mx.example\r\n", "250-SIZE\r\n", "250-binarymime\r\n", "250 Chunking x\r\n"},
       "250-mx.example\r\n250 SIZE\r\n"},
      {"only the greeting line is left",
       {"250-mx.example\r\n", "250 STARTTLS\r\n"},
       "250 mx.example\r\n"},
      {"the server's name line always passes",
       {"250-STARTTLS\r\n", "250 SIZE\r\n"},
       "250-STARTTLS\r\n250 SIZE\r\n"},
      {"a keyword only beginning the same passes",
       {"250-mx.example\r\n", "250-STARTTLSX\r\n", "250 CHUNKINGS\r\n"},
       "250-mx.example\r\n250-STARTTLSX\r\n250 CHUNKINGS\r\n"},
      {"a refusal passes unchanged",
       {"502 5.5.1 no EHLO here\r\n"},
       "502 5.5.1 no EHLO here\r\n"},
  };
  for (const FilterCase& row : cases) {
    EXPECT_EQ(Filtered(row.reply), row.expected) << row.name;
  }
}

TEST(EhloReplyFilterTest, HoldsBackAtMostOneLine) {
  EhloReplyFilter filter;
  EXPECT_EQ(filter.Pass("250-mx.example\r\n"), "");
  EXPECT_EQ(filter.Pass("250-SIZE\r\n"), "250-mx.example\r\n");
  EXPECT_EQ(filter.Pass("250-STARTTLS\r\n"), "");
  EXPECT_EQ(filter.Pass("250-8BITMIME\r\n"), "250-SIZE\r\n");
}

}  // namespace
}  // namespace pelrion::transport
