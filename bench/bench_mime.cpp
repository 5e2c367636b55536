// The MIME parser on the download path and part decoding on the reading path: FeedLine +
// BuildPartTable over large mixed messages, many small messages and plain messages with
// uuencoded blocks; DecodePartToMemory of base64 and quoted-printable parts from the file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/mime_scanner.h"
#include "mailformat/part_decoder.h"
#include "mailformat/quoted_printable.h"

namespace {

using namespace pelrion::mailformat;

std::string RandomBytes(std::uint32_t seed, std::size_t n) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string data(n, '\0');
  for (char& c : data) c = static_cast<char>(byte(rng));
  return data;
}

// Letter-like text with accented bytes and CR LF line ends.
std::string LetterText(std::size_t n) {
  const std::string paragraph =
      "Dear colleagues, thank you for the minutes of the meeting on 3 March. We checked the "
      "figures and found them correct; the caf\xe9 budget = 1200 EUR.\r\n"
      "Kind regards, Jos\xe9 and the team\r\n\r\n";
  std::string text;
  while (text.size() < n) text += paragraph;
  return text;
}

// A message of a few MB: text and HTML alternatives (quoted-printable), nested mixed parts,
// and base64 attachments.
std::string LargeMessage() {
  std::string m =
      "From: a@example.com\r\nSubject: quarterly report\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"=_outer\"\r\n\r\nThis is MIME.\r\n";
  m += "--=_outer\r\nContent-Type: multipart/alternative; boundary=\"=_alt\"\r\n\r\n";
  m += "--=_alt\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
       "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
       QuotedPrintableEncode(LetterText(300'000));
  m += "--=_alt\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" +
       QuotedPrintableEncode("<html><body>" + LetterText(300'000) + "</body></html>\r\n");
  m += "--=_alt--\r\n";
  for (int i = 0; i < 3; ++i) {
    m += "--=_outer\r\nContent-Type: multipart/mixed; boundary=\"=_in" + std::to_string(i) +
         "\"\r\n\r\n";
    for (int k = 0; k < 4; ++k) {
      m += "--=_in" + std::to_string(i) + "\r\nContent-Type: application/pdf; name=\"r" +
           std::to_string(k) + ".pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           Base64EncodeLines(RandomBytes(static_cast<std::uint32_t>(10 * i + k), 200'000)) + "\r\n";
    }
    m += "--=_in" + std::to_string(i) + "--\r\n";
  }
  m += "--=_outer\r\nContent-Type: image/png; name=\"chart.png\"\r\n"
       "Content-Transfer-Encoding: base64\r\n\r\n" +
       Base64EncodeLines(RandomBytes(99, 400'000)) + "--=_outer--\r\n";
  return m;
}

// Everyday small messages: a plain one, a quoted-printable one, one with a small attachment.
std::vector<std::string> SmallMessages() {
  std::vector<std::string> messages;
  for (int i = 0; i < 300; ++i) {
    messages.push_back("From: b@example.com\r\nSubject: hi " + std::to_string(i) + "\r\n\r\n" +
                       LetterText(1500));
    messages.push_back(
        "From: c@example.com\r\nMIME-Version: 1.0\r\nContent-Type: text/plain\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
        QuotedPrintableEncode(LetterText(2500)));
    messages.push_back(
        "From: d@example.com\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\n" +
        LetterText(800) +
        "--b\r\nContent-Type: image/gif; name=x.gif\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        Base64EncodeLines(RandomBytes(static_cast<std::uint32_t>(i), 3000)) + "--b--\r\n");
  }
  return messages;
}

// A plain message with text and uuencoded blocks (data lines of 45 bytes).
std::string PlainUuencodedMessage() {
  std::string m = "From: e@example.com\r\nSubject: files\r\n\r\n" + LetterText(100'000);
  const std::string data_line = "M" + std::string(60, '!') + "\r\n";
  for (int block = 0; block < 10; ++block) {
    m += "begin 644 file" + std::to_string(block) + ".bin\r\n";
    for (int i = 0; i < 5000; ++i) m += data_line;
    m += "`\r\nend\r\n" + LetterText(10'000);
  }
  return m;
}

struct Line {
  std::string_view text;
  std::uint32_t offset_after;
};

std::vector<Line> SplitLines(std::string_view message) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < message.size()) {
    std::size_t end = message.find('\n', start);
    end = end == std::string_view::npos ? message.size() : end + 1;
    lines.push_back({message.substr(start, end - start), static_cast<std::uint32_t>(end)});
    start = end;
  }
  return lines;
}

// A private folder with the benchmark messages stored in it, removed at the end.
class Folder {
 public:
  Folder() {
    std::string pattern = "/tmp/bench-mime-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern + "/";
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Store(const std::string& name, std::string_view bytes) const {
    const std::string path = path_ + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
      std::abort();
    }
    std::fclose(file);
    return path;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

PartTable Scan(const std::vector<Line>& lines, const std::string& path) {
  MimeScanner scanner;
  for (const Line& line : lines) scanner.FeedLine(line.text, line.offset_after);
  return BuildPartTable(scanner, path);
}

void ScanBenchmark(benchmark::State& state, const std::vector<std::string>& messages) {
  Folder folder;
  std::vector<std::vector<Line>> lines;
  std::vector<std::string> paths;
  std::int64_t bytes = 0;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    lines.push_back(SplitLines(messages[i]));
    paths.push_back(folder.Store(std::to_string(i) + ".eml", messages[i]));
    bytes += static_cast<std::int64_t>(messages[i].size());
  }
  for (auto _ : state) {
    for (std::size_t i = 0; i < messages.size(); ++i) {
      PartTable table = Scan(lines[i], paths[i]);
      benchmark::DoNotOptimize(table);
    }
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_ScanLargeMessage(benchmark::State& state) {
  ScanBenchmark(state, {LargeMessage()});
}
BENCHMARK(BM_ScanLargeMessage)->Unit(benchmark::kMillisecond);

void BM_ScanSmallMessages(benchmark::State& state) {
  ScanBenchmark(state, SmallMessages());
}
BENCHMARK(BM_ScanSmallMessages)->Unit(benchmark::kMillisecond);

void BM_ScanPlainUuencodedMessage(benchmark::State& state) {
  ScanBenchmark(state, {PlainUuencodedMessage()});
}
BENCHMARK(BM_ScanPlainUuencodedMessage)->Unit(benchmark::kMillisecond);

// Decodes the first part of the large message with the given encoding, whole, into memory.
void DecodeBenchmark(benchmark::State& state, TransferEncoding encoding) {
  Folder folder;
  const std::string message = LargeMessage();
  const std::string path = folder.Store("large.eml", message);
  const PartTable table = Scan(SplitLines(message), path);
  const PartEntry* part = nullptr;
  for (const PartEntry& entry : table.parts) {
    if (entry.transfer_encoding == encoding) {
      part = &entry;
      break;
    }
  }
  if (part == nullptr) {
    state.SkipWithError("no part with that encoding");
    return;
  }
  std::string buffer(part->decoded_size, '\0');
  for (auto _ : state) {
    std::size_t placed = 0;
    const bool ok = DecodePartToMemory(part->body_offset, part->body_line_count, true, encoding,
                                       path, buffer.data(), buffer.size(), placed);
    if (!ok || placed != buffer.size()) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(part->decoded_size));
}

void BM_DecodeBase64PartToMemory(benchmark::State& state) {
  DecodeBenchmark(state, TransferEncoding::kBase64);
}
BENCHMARK(BM_DecodeBase64PartToMemory)->Unit(benchmark::kMicrosecond);

void BM_DecodeQuotedPrintablePartToMemory(benchmark::State& state) {
  DecodeBenchmark(state, TransferEncoding::kQuotedPrintable);
}
BENCHMARK(BM_DecodeQuotedPrintablePartToMemory)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
