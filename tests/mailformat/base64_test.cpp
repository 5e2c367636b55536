#include "mailformat/base64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::mailformat {
namespace {

using namespace std::string_literals;

std::string RandomBytes(std::mt19937& rng, std::size_t n) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(byte(rng));
  return s;
}

// The decoder as it was before its fast path, one character at a time: the oracle the
// decoder and the size count must agree with byte for byte.
Base64DecodeResult ReferenceDecode(std::string_view text, std::string& out) {
  static const std::string_view alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Base64DecodeResult result;
  std::string decoded;
  std::uint32_t acc = 0;
  int count = 0;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') continue;
    if (c == '=') {
      result.ended_at_pad = true;
      break;
    }
    const std::size_t digit = alphabet.find(c);
    if (c == '\0' || digit == std::string_view::npos) return {};
    acc = (acc << 6) | static_cast<std::uint32_t>(digit);
    if (++count == 4) {
      decoded += static_cast<char>(acc >> 16);
      decoded += static_cast<char>(acc >> 8);
      decoded += static_cast<char>(acc);
      acc = 0;
      count = 0;
    }
  }
  if (count >= 2) decoded += static_cast<char>(acc >> (6 * count - 8));
  if (count == 3) decoded += static_cast<char>(acc >> 2);
  result.ok = true;
  result.size = decoded.size();
  out += decoded;
  return result;
}

// Checks Base64Decode and Base64DecodedSize of text against the oracle.
void ExpectSameAsReference(std::string_view text) {
  std::string want = "prefix";
  const Base64DecodeResult expected = ReferenceDecode(text, want);
  std::string got = "prefix";
  const Base64DecodeResult decoded = Base64Decode(text, got);
  ASSERT_EQ(decoded.ok, expected.ok);
  ASSERT_EQ(decoded.size, expected.size);
  ASSERT_EQ(decoded.ended_at_pad, expected.ended_at_pad);
  ASSERT_EQ(got, want);
  const Base64DecodeResult counted = Base64DecodedSize(text);
  ASSERT_EQ(counted.ok, expected.ok);
  ASSERT_EQ(counted.size, expected.size);
  ASSERT_EQ(counted.ended_at_pad, expected.ended_at_pad);
}

TEST(Base64EncodedSizeTest, GivenValues) {
  struct Row {
    std::size_t n;
    std::size_t want;
  };
  const Row rows[] = {{0, 5}, {1, 5}, {2, 5}, {3, 9}, {44, 61}, {45, 65}, {57, 81}, {1000, 1337}};
  for (const Row& row : rows) {
    SCOPED_TRACE("n=" + std::to_string(row.n));
    EXPECT_EQ(Base64EncodedSize(row.n), row.want);
  }
}

TEST(Base64EncodedSizeTest, HoldsEncodingAndZeroWithAtMostFourSpare) {
  for (std::size_t n = 0; n < 3000; ++n) {
    const std::size_t needed = (n + 2) / 3 * 4 + 1;
    const std::size_t e = Base64EncodedSize(n);
    ASSERT_GE(e, needed) << "n=" << n;
    ASSERT_EQ(e % 4, 1u) << "n=" << n;
    // A multiple of 3 is the case with 4 characters to spare.
    ASSERT_EQ(e - needed, n % 3 == 0 ? 4u : 0u) << "n=" << n;
  }
}

// Rows cross-checked with coreutils base64.
TEST(Base64EncodeTest, MatchesIndependentEncoder) {
  struct Row {
    const char* name;
    std::string input;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"empty", "", ""},
      {"one byte", "a", "YQ=="},
      {"two bytes", "ab", "YWI="},
      {"three bytes", "abc", "YWJj"},
      {"rfc 4648 f", "f", "Zg=="},
      {"rfc 4648 fo", "fo", "Zm8="},
      {"rfc 4648 foobar", "foobar", "Zm9vYmFy"},
      {"text with padding", "Hello, World!", "SGVsbG8sIFdvcmxkIQ=="},
      {"plus slash and zero", "\xfb\xff\xbf\x00\x10\x83"s, "+/+/ABCD"},
      {"zero byte", "\0"s, "AA=="},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Base64Encode(row.input), row.want);
    // The buffer form with a buffer of E(n) gives the same text, zero-terminated.
    std::vector<char> buffer(Base64EncodedSize(row.input.size()), '#');
    const std::size_t written = Base64Encode(row.input, buffer.data(), buffer.size());
    EXPECT_EQ(std::string(buffer.data(), written), row.want);
    EXPECT_EQ(buffer[written], '\0');
  }
}

TEST(Base64EncodeTest, BufferFormEncodesOnlyTheGroupsThatFit) {
  struct Row {
    const char* name;
    std::string input;
    std::size_t out_size;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"six bytes into five", "abcdef", 5, "YWJj"},
      {"six bytes into eight", "abcdef", 8, "YWJj"},
      {"six bytes into nine", "abcdef", 9, "YWJjZGVm"},
      {"partial last group fits", "abcd", 9, "YWJjZA=="},
      {"partial last group cut", "abcd", 8, "YWJj"},
      {"room for the zero only", "abc", 1, ""},
      {"room for nothing", "abc", 4, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<char> buffer(row.out_size + 8, '#');
    const std::size_t written = Base64Encode(row.input, buffer.data(), row.out_size);
    EXPECT_EQ(std::string(buffer.data(), written), row.want);
    EXPECT_EQ(buffer[written], '\0');
    for (std::size_t i = written + 1; i < buffer.size(); ++i) {
      ASSERT_EQ(buffer[i], '#') << "byte written past the text at " << i;
    }
  }
}

TEST(Base64EncodeTest, ZeroSizeBufferIsLeftUntouched) {
  char canary = '#';
  EXPECT_EQ(Base64Encode("abc", &canary, 0), 0u);
  EXPECT_EQ(canary, '#');
}

TEST(Base64EncodeTextTest, EncodesTheTerminatingZero) {
  struct Row {
    const char* name;
    std::string text;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"abc", "abc", "YWJjAA=="},
      {"empty text", "", "AA=="},
      {"two letters", "ab", "YWIA"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Base64EncodeText(row.text), row.want);
  }
}

TEST(Base64EncodeLinesTest, CutsLinesOf57Bytes) {
  const std::string line76 =
      "eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4";
  struct Row {
    const char* name;
    std::size_t n;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"empty", 0, ""},
      {"one byte", 1, "eA==\r\n"},
      {"exactly one line", 57, line76 + "\r\n"},
      {"one byte more", 58, line76 + "\r\neA==\r\n"},
      {"two full lines, no empty line", 114, line76 + "\r\n" + line76 + "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Base64EncodeLines(std::string(row.n, 'x')), row.want);
  }
}

// The decoders have a byte-shuffle path where the processor has one and an SSE2 path
// elsewhere: the tests against the reference run with each.
class Base64PathTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (Base64UseShuffles(GetParam()) != GetParam()) GTEST_SKIP() << "no byte shuffles here";
  }
  void TearDown() override { Base64UseShuffles(true); }
};

INSTANTIATE_TEST_SUITE_P(Paths, Base64PathTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Shuffles" : "Sse2";
                         });

TEST_P(Base64PathTest, TableRows) {
  struct Row {
    const char* name;
    std::string input;
    bool ok;
    std::string want;
    bool ended_at_pad;
  };
  const std::vector<Row> rows = {
      {"whole groups", "YWJj", true, "abc", false},
      {"space skipped", "YW Jj", true, "abc", false},
      {"all white space kinds skipped", "Y\tW\r\nJ\vj\f ", true, "abc", false},
      {"padded one byte", "YQ==", true, "a", true},
      {"padded two bytes", "YWI=", true, "ab", true},
      {"text after the pad is not read", "YQ==!!!\xff", true, "a", true},
      {"pad alone", "=", true, "", true},
      {"empty", "", true, "", false},
      {"three digits give two bytes", "YWJ", true, "ab", false},
      {"two digits give one byte", "YW", true, "a", false},
      {"one digit gives nothing", "Y", true, "", false},
      {"invalid character", "Y!==", false, "", false},
      {"invalid after good groups", "YWJjYW#j", false, "", false},
      {"high byte fails", "YW\xe9j", false, "", false},
      {"zero byte fails", "YW\0j"s, false, "", false},
      {"plus and slash", "+/+/ABCD", true, "\xfb\xff\xbf\x00\x10\x83"s, false},
      {"line of a multi-line body", "eHh4eHh4\r\n", true, "xxxxxx", false},
      {"white space inside the second group", "YWJjYW\r\nJj", true, "abcabc", false},
      {"clean groups then the pad", "YWJjYQ==", true, "abca", true},
      {"pad inside a whole group", "YWJjY=Jj", true, "abc", true},
      {"pad after an incomplete group", "YWJjYWJ=", true, "abcab", true},
      {"bad byte after the pad is not seen", "YWJj=\x80", true, "abc", true},
      {"bad byte in the last partial group", "YWJjYW!", false, "", false},
      {"digits after white space after a group", "YWJj \tYWJj", true, "abcabc", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string out = "prefix";
    const Base64DecodeResult result = Base64Decode(row.input, out);
    EXPECT_EQ(result.ok, row.ok);
    // The size count reports what decoding reports, without the bytes.
    const Base64DecodeResult counted = Base64DecodedSize(row.input);
    EXPECT_EQ(counted.ok, row.ok);
    EXPECT_EQ(counted.size, row.ok ? row.want.size() : 0u);
    EXPECT_EQ(counted.ended_at_pad, row.ok && row.ended_at_pad);
    if (row.ok) {
      EXPECT_EQ(out, "prefix" + row.want);
      EXPECT_EQ(result.size, row.want.size());
      EXPECT_EQ(result.ended_at_pad, row.ended_at_pad);
    } else {
      EXPECT_EQ(out, "prefix") << "a failed decoding must not leave partial output";
    }
  }
}

// Random lines: encoded data as the scanner meets it, then mutated with junk bytes, "=" in odd
// places and stray white space, so that the fast path stops and resumes at every position.
TEST_P(Base64PathTest, RandomLinesAgreeWithReference) {
  std::mt19937 rng(4242);
  const std::string noise = " \t\r\n\v\f=!-.*_\x80\xff\x00:"s;
  std::uniform_int_distribution<std::size_t> pick_noise(0, noise.size() - 1);
  std::uniform_int_distribution<int> percent(0, 99);
  for (int i = 0; i < 20000; ++i) {
    std::string line =
        Base64Encode(RandomBytes(rng, std::uniform_int_distribution<std::size_t>(0, 70)(rng)));
    // Most real lines end in CR LF; some are cut or lose their padding.
    if (percent(rng) < 30 && !line.empty()) line.resize(line.size() - 1 - rng() % line.size());
    if (percent(rng) < 80) line += "\r\n";
    const int mutations = percent(rng) < 40 ? 0 : 1 + static_cast<int>(rng() % 4);
    for (int m = 0; m < mutations; ++m) {
      const std::size_t at = line.empty() ? 0 : rng() % (line.size() + 1);
      const char c = percent(rng) < 50 ? noise[pick_noise(rng)] : static_cast<char>(rng());
      if (percent(rng) < 50 && at < line.size()) {
        line[at] = c;
      } else {
        line.insert(at, 1, c);
      }
    }
    SCOPED_TRACE("line " + std::to_string(i));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(line));
  }
}

// Whole bodies (many lines in one text) and short texts of every byte.
TEST_P(Base64PathTest, BodiesAndArbitraryBytesAgreeWithReference) {
  std::mt19937 rng(77);
  for (std::size_t n = 0; n < 3000; n += 1 + n / 8) {
    std::string body = Base64EncodeLines(RandomBytes(rng, n));
    SCOPED_TRACE("n=" + std::to_string(n));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(body));
    if (!body.empty()) body[rng() % body.size()] = static_cast<char>(rng());
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(body));
  }
  // Long texts, with and without line breaks, so that counting runs over many blocks.
  const std::string large = RandomBytes(rng, 100'000);
  ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(Base64EncodeLines(large)));
  ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(Base64Encode(large)));
  ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(Base64Encode(large) + "!"));
  for (int c = 0; c < 256; ++c) {
    for (const std::string& around : {"QUJD"s, "QU"s, ""s}) {
      const std::string text = around + static_cast<char>(c) + "QUJD";
      SCOPED_TRACE("byte " + std::to_string(c) + " after '" + around + "'");
      ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(text));
    }
  }
  // Every byte at every kind of place in a line of whole groups (the usual body line, which
  // the count checks 16 bytes at a time, its last block overlapping the one before).
  const std::string usual = Base64Encode(RandomBytes(rng, 57));
  for (int c = 0; c < 256; ++c) {
    for (std::size_t at : {0, 7, 15, 16, 40, 63, 64, 70, 75}) {
      std::string line = usual;
      line[at] = static_cast<char>(c);
      SCOPED_TRACE("byte " + std::to_string(c) + " at " + std::to_string(at));
      ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(line + "\r\n"));
      ASSERT_NO_FATAL_FAILURE(ExpectSameAsReference(line.substr(0, 20) + "\n"));
    }
  }
}

TEST(Base64RoundTripTest, RandomDataThroughEveryEncoder) {
  std::mt19937 rng(20261210);
  for (std::size_t n = 0; n < 400; n += 1 + n / 16) {
    const std::string data = RandomBytes(rng, n);
    SCOPED_TRACE("n=" + std::to_string(n));

    std::string decoded;
    Base64DecodeResult result = Base64Decode(Base64Encode(data), decoded);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(decoded, data);
    EXPECT_EQ(result.ended_at_pad, n % 3 != 0);

    // As the MIME parser reads a body: line by line, stopping after the line with "=".
    const std::string lines = Base64EncodeLines(data);
    decoded.clear();
    std::size_t begin = 0;
    while (begin < lines.size()) {
      const std::size_t end = lines.find("\r\n", begin) + 2;
      ASSERT_LE(end - begin, 78u);
      result = Base64Decode(std::string_view(lines).substr(begin, end - begin), decoded);
      ASSERT_TRUE(result.ok);
      begin = end;
      if (result.ended_at_pad) break;
    }
    EXPECT_EQ(begin, lines.size());
    EXPECT_EQ(decoded, data);
  }
}


// A random run of base64 lines as a body holds them: mostly clean (whole groups, then CR LF or
// LF), some empty, some with a partial group or padding, some damaged, maybe a last line cut.
std::string RandomBase64Lines(std::mt19937& rng) {
  const auto pick = [&rng](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  std::string text;
  const std::size_t lines = pick(40);
  for (std::size_t i = 0; i < lines; ++i) {
    std::string raw(pick(4) == 0 ? pick(200) : 57, '\0');
    for (char& c : raw) c = static_cast<char>(pick(256));
    std::string line = Base64Encode(raw);
    if (pick(8) == 0 && !line.empty()) {
      static constexpr char kJunk[] = {'=', ' ', '\t', '!', '\x80', '\0', '\r', '-'};
      line[pick(line.size())] = kJunk[pick(sizeof kJunk)];
    }
    text += line + (pick(3) == 0 ? "\n" : "\r\n");
  }
  if (pick(3) == 0) text += "QUJD";  // a last line without its end
  return text;
}

// The lines of text, each with its LF (a last piece without one is left out).
std::vector<std::string_view> WholeLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t lf; (lf = text.find('\n')) != std::string_view::npos;) {
    lines.push_back(text.substr(0, lf + 1));
    text.remove_prefix(lf + 1);
  }
  return lines;
}

bool IsCleanLine(std::string_view line) {
  line.remove_suffix(line.size() >= 2 && line[line.size() - 2] == '\r' ? 2 : 1);
  if (line.size() % 4 != 0) return false;
  for (char c : line) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/') return false;
  }
  return true;
}

// Decoding runs of clean lines at once must give what decoding each line alone gives, write
// nothing past the room, and take every clean line that fits (or the fast path is never used).
TEST_P(Base64PathTest, CleanLinesAgreeWithLineByLineDecoding) {
  std::mt19937 rng(1211);
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string text = RandomBase64Lines(rng);
    const std::vector<std::string_view> lines = WholeLines(text);
    const std::size_t max_lines = std::uniform_int_distribution<std::size_t>(0, 45)(rng);
    const std::size_t room = std::uniform_int_distribution<std::size_t>(0, 3 * text.size())(rng);
    std::string buffer(room + 16, '\x5a');
    const Base64LineRun run = Base64DecodeCleanLines(text, max_lines, buffer.data(), room);

    ASSERT_LE(run.lines, std::min(max_lines, lines.size()));
    std::string want;
    std::size_t consumed = 0;
    for (std::size_t i = 0; i < run.lines; ++i) {
      EXPECT_TRUE(IsCleanLine(lines[i])) << "took line " << i << ": " << lines[i];
      ASSERT_TRUE(Base64Decode(lines[i], want).ok);
      consumed += lines[i].size();
    }
    EXPECT_EQ(run.consumed, consumed);
    ASSERT_EQ(run.size, want.size());
    EXPECT_TRUE(buffer.compare(0, run.size, want) == 0) << "decoded bytes differ";
    if (run.lines > 0) {
      EXPECT_LE(Base64DecodeRoom(run.consumed), room);
    }
    EXPECT_EQ(buffer.substr(room), std::string(16, '\x5a')) << "wrote past the room";
    if (run.lines < std::min(max_lines, lines.size())) {
      const std::string_view next = lines[run.lines];
      EXPECT_FALSE(IsCleanLine(next) && Base64DecodeRoom(consumed + next.size()) <= room)
          << "stopped before a clean line that fits: " << next;
    }
  }
}

}  // namespace
}  // namespace pelrion::mailformat
