// Generated mail for the MIME benchmarks: single large or small messages for the parser alone,
// and a mixed corpus for the side-by-side runs, with the helpers to split and store them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::bench {

// n bytes close to uniformly random, like compressed attachments.
std::string RandomBytes(std::uint32_t seed, std::size_t n);

// Letter-like text with accented bytes and CR LF line ends, at least n bytes.
std::string LetterText(std::size_t n);

// A message of a few MB: text and HTML alternatives (quoted-printable), nested mixed parts,
// and base64 attachments.
std::string LargeMessage();

// Everyday small messages: plain ones, quoted-printable ones, ones with a small attachment.
std::vector<std::string> SmallMessages();

// A plain message with text and uuencoded blocks.
std::string PlainUuencodedMessage();

// `count` messages of mixed kinds, about 265 KB each on average: plain letters,
// quoted-printable text/HTML alternatives, base64 attachments, forwarded messages and plain
// mail with uuencoded files. The same count always gives the same messages.
std::vector<std::string> MixedCorpus(std::size_t count);

struct Line {
  std::string_view text;        // CR LF included
  std::uint32_t offset_after;  // file offset following the line
};

// The message's lines, each with its LF, as a download hands them to the scanner.
std::vector<Line> SplitLines(std::string_view message);

// A private folder holding the benchmark's message files; removed with everything in it.
class Folder {
 public:
  Folder();
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  // Writes bytes to the file `name` in the folder and returns its path; aborts on failure.
  std::string Store(const std::string& name, std::string_view bytes) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace pelrion::bench
