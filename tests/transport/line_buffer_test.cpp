#include "transport/line_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace pelrion::transport {
namespace {

using Lines = std::vector<std::string>;

void Feed(LineBuffer& buffer, const std::string& chunk) {
  const std::span<char> tail = buffer.PrepareAppend(chunk.size());
  if (!chunk.empty()) std::memcpy(tail.data(), chunk.data(), chunk.size());
  buffer.Commit(chunk.size());
}

// Feeds the chunks in order, taking every whole line after each chunk.
Lines CutInto(LineBuffer& buffer, const std::vector<std::string>& chunks) {
  Lines lines;
  for (const std::string& chunk : chunks) {
    Feed(buffer, chunk);
    while (const auto line = buffer.TakeLine()) lines.emplace_back(*line);
  }
  return lines;
}

// What the lines must be: the whole input cut after each LF, NUL as '^', CR added before a
// bare LF. The trailing partial line is what stays pending.
Lines CutWhole(const std::string& input) {
  Lines lines;
  std::string line;
  for (char c : input) {
    if (c == '\n') {
      if (line.empty() || line.back() != '\r') line += '\r';
      lines.push_back(line + '\n');
      line.clear();
    } else {
      line += c == '\0' ? '^' : c;
    }
  }
  return lines;
}

struct CutCase {
  const char* name;
  std::vector<std::string> chunks;
  Lines expected;
  std::size_t pending;
};

TEST(LineBufferTest, CutsLinesAcrossChunks) {
  const CutCase cases[] = {
      {"bare LF gets its CR", {"one\ntwo\r\n"}, {"one\r\n", "two\r\n"}, 0},
      {"lone LF", {"\n"}, {"\r\n"}, 0},
      {"empty CR LF line", {"\r\n"}, {"\r\n"}, 0},
      {"NUL becomes caret", {std::string("a\0b\0\r\n", 6)}, {"a^b^\r\n"}, 0},
      {"NUL in a later chunk", {"ab", std::string("\0\n", 2)}, {"ab^\r\n"}, 0},
      {"CR at a chunk's end, LF in the next", {"abc\r", "\n"}, {"abc\r\n"}, 0},
      {"CR not before the LF", {"a\rb\n"}, {"a\rb\r\n"}, 0},
      {"two CRs stay", {"a\r\r\n"}, {"a\r\r\n"}, 0},
      {"two lines in one chunk", {"a\r\nb\r\n"}, {"a\r\n", "b\r\n"}, 0},
      {"line split over three chunks", {"he", "ll", "o\r\nwor"}, {"hello\r\n"}, 3},
      {"empty chunks change nothing", {"", "x\n", ""}, {"x\r\n"}, 0},
      {"no LF yet", {"partial"}, {}, 7},
  };
  for (const CutCase& c : cases) {
    LineBuffer buffer;
    EXPECT_EQ(CutInto(buffer, c.chunks), c.expected) << c.name;
    EXPECT_EQ(buffer.pending(), c.pending) << c.name;
  }
}

TEST(LineBufferTest, ClearForgetsBufferedBytes) {
  LineBuffer buffer;
  Feed(buffer, "a\r\nb\r\npart");
  ASSERT_TRUE(buffer.TakeLine());
  buffer.Clear();
  EXPECT_EQ(buffer.pending(), 0u);
  EXPECT_EQ(CutInto(buffer, {"c\n"}), Lines{"c\r\n"});
}

// Lines longer than the storage, storage that must move its partial line forward, and many
// receives: random inputs in random chunks against cutting the whole input.
TEST(LineBufferTest, RandomChunkingGivesTheLinesOfTheWholeInput) {
  std::mt19937 random(20261210);
  const char alphabet[] = {'a', 'b', '\r', '\n', '\0', 'z'};
  for (int round = 0; round < 300; ++round) {
    std::string input(random() % 5000, 'x');
    for (char& c : input) c = alphabet[random() % sizeof alphabet];
    if (round % 10 == 0) input.insert(input.size() / 2, 70000, 'L');  // longer than a receive
    std::vector<std::string> chunks;
    for (std::size_t at = 0; at < input.size();) {
      const std::size_t size = std::min<std::size_t>(1 + random() % 3000, input.size() - at);
      chunks.push_back(input.substr(at, size));
      at += size;
    }
    LineBuffer buffer;
    const Lines expected = CutWhole(input);
    ASSERT_EQ(CutInto(buffer, chunks), expected) << "round " << round;
    const std::size_t last_lf = input.rfind('\n');
    EXPECT_EQ(buffer.pending(),
              last_lf == std::string::npos ? input.size() : input.size() - last_lf - 1);
  }
}

}  // namespace
}  // namespace pelrion::transport
