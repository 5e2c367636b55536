#include "mime_test_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "support/run_command.h"

namespace pelrion::mailformat::mimetest {

std::vector<std::string> FileNamesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Crlf(std::string_view text) {
  return LfToCrlf(text);
}

std::string LfToCrlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void FeedText(MimeScanner& scanner, std::string_view message) {
  std::size_t start = 0;
  while (start < message.size()) {
    std::size_t end = message.find('\n', start);
    end = end == std::string_view::npos ? message.size() : end + 1;
    scanner.FeedLine(message.substr(start, end - start), static_cast<std::uint32_t>(end));
    start = end;
  }
}

Scanned ScanMessage(const TempDir& dir, std::string_view message) {
  Scanned result;
  result.path = dir.File("message.eml");
  WriteFile(result.path, message);
  MimeScanner scanner;
  FeedText(scanner, message);
  result.headers_ended = scanner.headers_ended();
  result.header_length = scanner.header_length();
  result.body_line_count = scanner.body_line_count();
  result.table = BuildPartTable(scanner, result.path);
  return result;
}

std::string RandomBytes(std::uint32_t seed, std::size_t n) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string out(n, '\0');
  for (char& c : out) c = static_cast<char>(byte(generator));
  return out;
}

std::string RandomTextLines(std::uint32_t seed, std::size_t n) {
  static constexpr std::string_view kAlphabet =
      "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ0123456789.,;:=\t-_\xe9\xfc\xa0";
  std::mt19937 generator(seed);
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::uniform_int_distribution<int> line_length(0, 120);
  std::string out;
  while (out.size() < n) {
    const int length = line_length(generator);
    for (int i = 0; i < length; ++i) out += kAlphabet[pick(generator)];
    out += "\r\n";
  }
  return out;
}

std::string UuencodeBlock(std::string_view payload) {
  auto uu_char = [](unsigned value) { return static_cast<char>(value == 0 ? '`' : value + 32); };
  std::string out;
  for (std::size_t start = 0; start < payload.size(); start += 45) {
    const std::string_view chunk = payload.substr(start, 45);
    out += uu_char(static_cast<unsigned>(chunk.size()));
    for (std::size_t i = 0; i < chunk.size(); i += 3) {
      unsigned char b[3] = {0, 0, 0};
      for (std::size_t k = 0; k < 3 && i + k < chunk.size(); ++k) {
        b[k] = static_cast<unsigned char>(chunk[i + k]);
      }
      out += uu_char(b[0] >> 2);
      out += uu_char(((b[0] & 3) << 4) | (b[1] >> 4));
      out += uu_char(((b[1] & 15) << 2) | (b[2] >> 6));
      out += uu_char(b[2] & 63);
    }
    out += "\r\n";
  }
  out += "`\r\nend\r\n";
  return out;
}

std::uint32_t CountLines(std::string_view text) {
  std::uint32_t count = 0;
  for (char c : text) count += c == '\n' ? 1 : 0;
  return count;
}

std::string RunFilter(const TempDir& dir, const std::string& command, std::string_view input) {
  const std::string in_path = dir.File("filter-input");
  WriteFile(in_path, input);
  const test_support::RunResult run = test_support::RunCommand("IN='" + in_path + "'; " + command);
  EXPECT_EQ(run.status, 0) << "command failed: " << command;
  return run.out;
}

}  // namespace pelrion::mailformat::mimetest
