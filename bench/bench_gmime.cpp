// The message road beside GMime 3 in the same run, on one generated corpus: Pelrion scans each
// message line by line, builds its part table and decodes every part from the stored file into
// memory; GMime parses each message and decodes every leaf part into memory. Both report the
// corpus bytes per second. Also base64 decoding alone, ours and GMime's, on one large body.
//
// The corpus size is a parameter: --corpus_messages=N (default 200 messages, about 50 MB).
#include <benchmark/benchmark.h>
#include <gmime/gmime.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "mail_corpus.h"
#include "mailformat/base64.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/mime_scanner.h"
#include "mailformat/part_decoder.h"

namespace {

using namespace pelrion::mailformat;
using namespace pelrion::bench;

std::size_t corpus_messages = 200;

struct Corpus {
  Folder folder;
  std::vector<std::string> messages;
  std::vector<std::string> paths;
  std::int64_t bytes = 0;
};

// Generated and stored once, for every benchmark of the run.
const Corpus& TheCorpus() {
  static const Corpus* corpus = [] {
    auto* c = new Corpus;
    c->messages = MixedCorpus(corpus_messages);
    for (std::size_t i = 0; i < c->messages.size(); ++i) {
      c->paths.push_back(c->folder.Store(std::to_string(i) + ".eml", c->messages[i]));
      c->bytes += static_cast<std::int64_t>(c->messages[i].size());
    }
    return c;
  }();
  return *corpus;
}

// Grows buffer to at least n bytes (never shrinks, so it is filled once).
char* Room(std::string& buffer, std::size_t n) {
  if (buffer.size() < n) buffer.resize(n);
  return buffer.data();
}

// Scans as the download does (the line split included) and builds the part table.
PartTable ScanMessage(std::string_view message, const std::string& path) {
  MimeScanner scanner;
  std::size_t start = 0;
  while (start < message.size()) {
    const std::size_t lf = message.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? message.size() : lf + 1;
    scanner.FeedLine(message.substr(start, end - start), static_cast<std::uint32_t>(end));
    start = end;
  }
  return BuildPartTable(scanner, path);
}

// Decodes every part or segment of the table from the stored file; returns the bytes decoded.
std::size_t DecodeEveryPart(const PartTable& table, const std::string& path, std::string& buffer) {
  std::size_t decoded = 0;
  std::size_t placed = 0;
  for (const PartEntry& part : table.parts) {
    if (!DecodePartToMemory(part.body_offset, part.body_line_count, true, part.transfer_encoding,
                            path, Room(buffer, part.decoded_size), part.decoded_size, placed)) {
      std::abort();
    }
    decoded += placed;
  }
  for (const SegmentEntry& segment : table.segments) {
    if (!DecodePartToMemory(segment.data_offset, segment.data_line_count, segment.uuencoded == 0,
                            TransferEncoding::k7Bit, path, Room(buffer, segment.data_size),
                            segment.data_size, placed)) {
      std::abort();
    }
    decoded += placed;
  }
  return decoded;
}

std::size_t ScanAndDecode(std::string_view message, const std::string& path,
                          std::string& buffer) {
  return DecodeEveryPart(ScanMessage(message, path), path, buffer);
}

void BM_PelrionScanAndDecode(benchmark::State& state) {
  const Corpus& corpus = TheCorpus();
  std::string buffer;
  std::size_t decoded = 0;
  for (auto _ : state) {
    decoded = 0;
    for (std::size_t i = 0; i < corpus.messages.size(); ++i) {
      decoded += ScanAndDecode(corpus.messages[i], corpus.paths[i], buffer);
    }
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(state.iterations() * corpus.bytes);
  state.counters["corpus_MB"] = static_cast<double>(corpus.bytes) / 1e6;
  state.counters["decoded_MB"] = static_cast<double>(decoded) / 1e6;
}
BENCHMARK(BM_PelrionScanAndDecode)->Unit(benchmark::kMillisecond);

// The two halves of the above apart, to see where the time goes.
void BM_PelrionScanOnly(benchmark::State& state) {
  const Corpus& corpus = TheCorpus();
  for (auto _ : state) {
    for (std::size_t i = 0; i < corpus.messages.size(); ++i) {
      PartTable table = ScanMessage(corpus.messages[i], corpus.paths[i]);
      benchmark::DoNotOptimize(table);
    }
  }
  state.SetBytesProcessed(state.iterations() * corpus.bytes);
}
BENCHMARK(BM_PelrionScanOnly)->Unit(benchmark::kMillisecond);

void BM_PelrionDecodeOnly(benchmark::State& state) {
  const Corpus& corpus = TheCorpus();
  std::vector<PartTable> tables;
  for (std::size_t i = 0; i < corpus.messages.size(); ++i) {
    tables.push_back(ScanMessage(corpus.messages[i], corpus.paths[i]));
  }
  std::string buffer;
  for (auto _ : state) {
    for (std::size_t i = 0; i < corpus.messages.size(); ++i) {
      benchmark::DoNotOptimize(DecodeEveryPart(tables[i], corpus.paths[i], buffer));
    }
  }
  state.SetBytesProcessed(state.iterations() * corpus.bytes);
}
BENCHMARK(BM_PelrionDecodeOnly)->Unit(benchmark::kMillisecond);

// Decodes every leaf below object into array (emptied per part); returns the bytes decoded.
// A forwarded message is descended into, as GMime has parsed it already.
std::size_t GMimeDecodeLeaves(GMimeObject* object, GByteArray* array) {
  if (GMIME_IS_MULTIPART(object)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    std::size_t decoded = 0;
    for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
      decoded += GMimeDecodeLeaves(g_mime_multipart_get_part(multipart, i), array);
    }
    return decoded;
  }
  if (GMIME_IS_MESSAGE_PART(object)) {
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
    GMimeObject* body = inner != nullptr ? g_mime_message_get_mime_part(inner) : nullptr;
    return body != nullptr ? GMimeDecodeLeaves(body, array) : 0;
  }
  if (!GMIME_IS_PART(object)) return 0;
  GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(object));
  if (content == nullptr) return 0;
  g_byte_array_set_size(array, 0);
  GMimeStream* out = g_mime_stream_mem_new_with_byte_array(array);
  g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(out), FALSE);
  g_mime_data_wrapper_write_to_stream(content, out);
  g_object_unref(out);
  return array->len;
}

void BM_GMimeParseAndDecode(benchmark::State& state) {
  const Corpus& corpus = TheCorpus();
  // The messages sit in memory streams made once, the cheapest input GMime has.
  std::vector<GMimeStream*> streams;
  for (const std::string& message : corpus.messages) {
    streams.push_back(g_mime_stream_mem_new_with_buffer(message.data(), message.size()));
  }
  GByteArray* array = g_byte_array_new();
  std::size_t decoded = 0;
  for (auto _ : state) {
    decoded = 0;
    for (GMimeStream* stream : streams) {
      g_mime_stream_reset(stream);
      GMimeParser* parser = g_mime_parser_new_with_stream(stream);
      GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
      if (message == nullptr) std::abort();
      decoded += GMimeDecodeLeaves(g_mime_message_get_mime_part(message), array);
      g_object_unref(message);
      g_object_unref(parser);
    }
    benchmark::DoNotOptimize(decoded);
  }
  g_byte_array_unref(array);
  for (GMimeStream* stream : streams) g_object_unref(stream);
  state.SetBytesProcessed(state.iterations() * corpus.bytes);
  state.counters["corpus_MB"] = static_cast<double>(corpus.bytes) / 1e6;
  state.counters["decoded_MB"] = static_cast<double>(decoded) / 1e6;
}
BENCHMARK(BM_GMimeParseAndDecode)->Unit(benchmark::kMillisecond);

// A 6 MB attachment body in 76-character lines; bytes per second count the encoded text.
const std::string& EncodedBody() {
  static const std::string body = Base64EncodeLines(RandomBytes(5, 6'000'000));
  return body;
}

// As DecodePartToMemory calls it: line by line into a reused buffer.
void BM_Base64DecodeByLine(benchmark::State& state) {
  const std::vector<Line> lines = SplitLines(EncodedBody());
  std::string out;
  for (auto _ : state) {
    for (const Line& line : lines) {
      out.clear();
      benchmark::DoNotOptimize(Base64Decode(line.text, out));
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(EncodedBody().size()));
}
BENCHMARK(BM_Base64DecodeByLine)->Unit(benchmark::kMicrosecond);

void BM_Base64DecodeWholeBody(benchmark::State& state) {
  const std::string& body = EncodedBody();
  std::string out;
  for (auto _ : state) {
    out.clear();
    benchmark::DoNotOptimize(Base64Decode(body, out));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_Base64DecodeWholeBody)->Unit(benchmark::kMicrosecond);

void BM_GMimeBase64DecodeWholeBody(benchmark::State& state) {
  const std::string& body = EncodedBody();
  std::string out(body.size(), '\0');
  for (auto _ : state) {
    int decode_state = 0;
    guint32 save = 0;
    benchmark::DoNotOptimize(g_mime_encoding_base64_decode_step(
        reinterpret_cast<const unsigned char*>(body.data()), body.size(),
        reinterpret_cast<unsigned char*>(out.data()), &decode_state, &save));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_GMimeBase64DecodeWholeBody)->Unit(benchmark::kMicrosecond);

// Takes --corpus_messages=N out of the arguments before the benchmark library sees them.
void TakeCorpusFlag(int& argc, char** argv) {
  constexpr std::string_view kFlag = "--corpus_messages=";
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with(kFlag)) {
      corpus_messages = std::strtoul(argv[i] + kFlag.size(), nullptr, 10);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
}

}  // namespace

int main(int argc, char** argv) {
  TakeCorpusFlag(argc, argv);
  g_mime_init();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_mime_shutdown();
  return 0;
}
