// The MIME parser on the download path and part decoding on the reading path: FeedLine +
// BuildPartTable over large mixed messages, many small messages and plain messages with
// uuencoded blocks; DecodePartToMemory of base64 and quoted-printable parts from the file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mail_corpus.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/mime_scanner.h"
#include "mailformat/part_decoder.h"

namespace {

using namespace pelrion::mailformat;
using namespace pelrion::bench;

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
