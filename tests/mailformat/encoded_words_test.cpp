#include "mailformat/encoded_words.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "mailformat/base64.h"

namespace pelrion::mailformat {
namespace {

using namespace std::string_literals;

struct DecodeRow {
  const char* name;
  std::string input;
  std::string want;
};

void CheckDecodeRows(const std::vector<DecodeRow>& rows) {
  for (const DecodeRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DecodeHeaderText(row.input), row.want) << "input: " << row.input;
  }
}

TEST(DecodeHeaderTextTest, DecodesWellFormedWords) {
  CheckDecodeRows({
      {"q with escape and underscores", "=?iso-8859-1?Q?Caf=E9_au_lait?=", "Caf\xe9 au lait"},
      {"q escape of zero gives 0xFF", "=?x?Q?=00?=", "\xff"},
      {"lower-case q and hex", "=?x?q?caf=e9?=", "caf\xe9"},
      {"b", "=?utf-8?B?Q2Fm6SBhdSBsYQ==?=", "Caf\xe9 au la"},
      {"lower-case b", "=?utf-8?b?YWJj?=", "abc"},
      {"space between two words stays", "=?a?B?YQ==?= =?a?B?Yg==?=", "a b"},
      {"tabs and spaces copied", "\t=?a?Q?x?=  y\t", "\tx  y\t"},
      {"plain words around", "Re: =?a?Q?caf=E9?= now", "Re: caf\xe9 now"},
      {"shortest word", "=?a?Q?x?=", "x"},
      {"question mark inside q text", "=?a?Q?a?b?=", "a?b"},
      {"charset with language", "=?iso-8859-1*fr?Q?=E9t=E9?=", "\xe9t\xe9"},
      {"longest word of 511", "=?a?Q?" + std::string(503, 'z') + "?=", std::string(503, 'z')},
  });
}

TEST(DecodeHeaderTextTest, CopiesMalformedWordsAsWritten) {
  const std::string too_long = "=?a?Q?" + std::string(504, 'z') + "?=";
  CheckDecodeRows({
      {"b text not a multiple of 4", "=?utf-8?B?abc?=", "=?utf-8?B?abc?="},
      {"two-letter encoding", "=?us-ascii?QP?x?=", "=?us-ascii?QP?x?="},
      {"unknown encoding", "=?a?X?abcd?=", "=?a?X?abcd?="},
      {"invalid base64", "=?a?B?ab!d?=", "=?a?B?ab!d?="},
      {"empty charset", "=??Q?abcd?=", "=??Q?abcd?="},
      {"word of 8",
       "=?a?Q?"
       "?=",
       "=?a?Q?"
       "?="},
      {"fewer than 5 after the charset", "=?abcd?B?=", "=?abcd?B?="},
      {"empty encoded text",
       "=?ab?Q?"
       "?=",
       "=?ab?Q?"
       "?="},
      {"word of 512", too_long, too_long},
      {"no closing", "=?a?Q?abc", "=?a?Q?abc"},
      {"text glued before", "x=?a?Q?b?=", "x=?a?Q?b?="},
      {"plain text", "Hello world", "Hello world"},
      {"empty", "", ""},
  });
}

TEST(DecodeHeaderTextTest, KeepsBrokenQEscapes) {
  CheckDecodeRows({
      {"non-hex after equals", "=?a?Q?a=zz?=", "a=zz"},
      {"one character after equals", "=?a?Q?ab=4?=", "ab=4"},
      {"equals at the end of the text", "=?a?Q?abc=?=", "abc="},
      {"high bytes in the text", "=?a?Q?\xe9t\xe9?=", "\xe9t\xe9"},
  });
}

TEST(DecodeHeaderTextTest, EndsAtTheFirstZeroByte) {
  CheckDecodeRows({
      {"decoded zero cuts the rest", "x =?a?B?YQBi?= tail", "x a"},
      {"encoded zero byte first", "=?a?B?AA==?= tail", ""},
      {"zero in plain text", "ab\0cd"s, "ab"},
  });
}

TEST(IsSevenBitTest, Table) {
  struct Row {
    const char* name;
    std::string text;
    bool want;
  };
  const std::vector<Row> rows = {
      {"empty", "", true},          {"letters", "abc", true}, {"DEL", "\x7f", true},
      {"zero byte", "a\0b"s, true}, {"0x80", "\x80", false},  {"high byte last", "abc\xff", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsSevenBit(row.text), row.want);
  }
}

std::string Word(std::string_view bytes) {
  return "=?UNKNOWN?B?" + Base64Encode(bytes) + "?=";
}

TEST(EncodeHeaderTextTest, Table) {
  const std::string high40(40, '\xe9');
  const std::string high44(44, '\xe4');
  const std::string high45 = std::string(30, '\xf6') + std::string(15, '\xfc');
  const std::string high70(70, '\xe8');
  struct Row {
    const char* name;
    std::string phrase;
    std::string want;
  };
  const std::vector<Row> rows = {
      // Base64 texts of these rows from coreutils base64.
      {"ten bytes become one word", "Caf\xe9 au la", "=?UNKNOWN?B?Q2Fm6SBhdSBsYQ==?="},
      {"outer white space inside the word", " Caf\xe9 ", "=?UNKNOWN?B?IENhZukg?="},
      {"phrase of 44 is encoded whole", high40 + " abc", Word(high40 + " abc")},
      {"phrase of 45: plain word kept", "abcd " + high40, "abcd " + Word(high40)},
      {"plain words quoted where needed", "J.R. " + high44 + " Smith",
       "\"J.R.\" " + Word(high44) + " Smith"},
      {"word of 45 cut into chunks of 30", "Ann " + high45 + " Lee",
       "Ann " + Word(high45.substr(0, 30)) + " " + Word(high45.substr(30)) + "  Lee"},
      {"word of 70 in three chunks", high70,
       Word(high70.substr(0, 30)) + " " + Word(high70.substr(30, 30)) + " " +
           Word(high70.substr(60)) + " "},
      {"tab between words kept", "abcdef\t" + high40, "abcdef\t" + Word(high40)},
      {"seven-bit phrase", "John Q. Public", "John \"Q.\" Public"},
      {"empty", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(EncodeHeaderText(row.phrase), row.want);
  }
}

TEST(EncodeHeaderTextTest, SixtyBytePhraseMixesPlainAndEncodedWords) {
  // 5 + 44 + 11 = 60 bytes: too long to be encoded whole.
  const std::string high44 = "M\xfcller" + std::string(38, '\xdf');
  const std::string phrase = "Herr " + high44 + " [Berlin-W]";
  ASSERT_EQ(phrase.size(), 60u);
  EXPECT_EQ(EncodeHeaderText(phrase), "Herr " + Word(high44) + " \"[Berlin-W]\"");
}

std::string RandomPhrase(std::mt19937& rng, std::size_t max_word) {
  std::uniform_int_distribution<int> words(1, 6);
  std::uniform_int_distribution<std::size_t> length(1, max_word);
  std::uniform_int_distribution<int> high(0x80, 0xff);
  std::uniform_int_distribution<int> letter('a', 'z');
  std::bernoulli_distribution pick_high(0.3);
  std::bernoulli_distribution pick_tab(0.2);
  std::string phrase;
  const int count = words(rng);
  for (int w = 0; w < count; ++w) {
    if (w > 0) phrase += pick_tab(rng) ? '\t' : ' ';
    const std::size_t n = length(rng);
    for (std::size_t i = 0; i < n; ++i) {
      phrase += static_cast<char>(pick_high(rng) ? high(rng) : letter(rng));
    }
  }
  phrase[0] = static_cast<char>(0xe9);  // the callers encode only phrases with high bytes
  return phrase;
}

TEST(EncodeHeaderTextTest, DecodesBackToThePhrase) {
  std::mt19937 rng(99);
  for (int round = 0; round < 500; ++round) {
    // Words of up to 44 bytes are never cut into chunks, so decoding restores the phrase.
    const std::string phrase = RandomPhrase(rng, 44);
    SCOPED_TRACE(phrase);
    const std::string encoded = EncodeHeaderText(phrase);
    EXPECT_TRUE(IsSevenBit(encoded)) << encoded;
    EXPECT_EQ(DecodeHeaderText(encoded), phrase);
  }
}

TEST(EncodeHeaderTextTest, ChunkedWordsDecodeToTheirBytesWithSpacesBetween) {
  std::mt19937 rng(7);
  const auto without_blanks = [](std::string s) {
    std::erase_if(s, [](char c) { return c == ' ' || c == '\t'; });
    return s;
  };
  for (int round = 0; round < 200; ++round) {
    const std::string phrase = RandomPhrase(rng, 120);
    SCOPED_TRACE(phrase);
    const std::string decoded = DecodeHeaderText(EncodeHeaderText(phrase));
    EXPECT_EQ(without_blanks(decoded), without_blanks(phrase));
  }
}

}  // namespace
}  // namespace pelrion::mailformat
