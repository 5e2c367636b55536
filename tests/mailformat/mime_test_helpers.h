// Scaffolding for the MIME parser tests: a private temporary folder, file helpers, messages
// written with "\n" and stored with CR LF, a line-by-line feed written independently of the
// library's file scanner, random payloads and outside encoders run as commands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/mime_scanner.h"
#include "mailformat/part_table.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace pelrion::mailformat::mimetest {

// A fresh directory under $TMPDIR, removed with its files on destruction. path() ends in
// '/', as the program's folders do.
class TempDir {
 public:
  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + std::string(name); }

 private:
  test_support::TempDir dir_;
  std::string path_ = dir_.path() + "/";
};

using test_support::FileExists;
using test_support::ReadFile;
using test_support::WriteFile;
// The names of the files in dir, sorted.
std::vector<std::string> FileNamesIn(const TempDir& dir);

// text with every "\n" turned into CR LF (test messages are written readably with "\n").
std::string Crlf(std::string_view text);

// Feeds message to scanner one line at a time (split after each LF), with offsets.
void FeedText(MimeScanner& scanner, std::string_view message);

// Stores message in dir as "message.eml", scans it line by line and builds its table.
struct Scanned {
  std::string path;
  PartTable table;
  bool headers_ended = false;
  std::uint32_t header_length = 0;
  std::uint32_t body_line_count = 0;
};
Scanned ScanMessage(const TempDir& dir, std::string_view message);

// n pseudo-random bytes from seed (any byte value).
std::string RandomBytes(std::uint32_t seed, std::size_t n);
// Random printable text lines (with some spaces, tabs, "=" and 8-bit bytes), each ended by
// CR LF; about n bytes.
std::string RandomTextLines(std::uint32_t seed, std::size_t n);

// Runs a shell command with input written to a file given as "$IN"; returns its standard
// output. Fails the current test when the command fails.
std::string RunFilter(const TempDir& dir, const std::string& command, std::string_view input);

// A uuencoded block body written by the tests' own small encoder: data lines of up to 45
// bytes with backquote padding, the zero-length line "`" and "end", each ended by CR LF (the
// "begin" line is the caller's).
std::string UuencodeBlock(std::string_view payload);

// Number of LF bytes in text.
std::uint32_t CountLines(std::string_view text);

// The bytes of a line-wrapped encoding with LF line ends turned into CR LF line ends.
std::string LfToCrlf(std::string_view text);

}  // namespace pelrion::mailformat::mimetest
