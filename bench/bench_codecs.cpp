// Transfer encodings and RFC 2047 words on the path of every downloaded message: base64
// attachments line by line, quoted-printable text, encoded subjects and names.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/encoded_words.h"
#include "mailformat/quoted_printable.h"

namespace {

using namespace pelrion::mailformat;

constexpr std::size_t kAttachmentBytes = 300 * 1024;

// Attachment-like bytes: compressed data is close to uniformly random.
std::string AttachmentBytes() {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string data(kAttachmentBytes, '\0');
  for (char& c : data) c = static_cast<char>(byte(rng));
  return data;
}

// Western European letter text with accented bytes, full stops and CR LF line ends.
std::string LetterText() {
  const std::string paragraph =
      "Sehr geehrte Damen und Herren, vielen Dank f\xfcr Ihre Nachricht vom 3. M\xe4rz. "
      "Wir haben die Unterlagen gepr\xfc"
      "ft und melden uns in K\xfcrze bei Ihnen.\r\n"
      "Mit freundlichen Gr\xfc\xdf"
      "en = Ihr Kundenservice\r\n\r\n";
  std::string text;
  while (text.size() < kAttachmentBytes) text += paragraph;
  return text;
}

// Splits a text at CR LF into lines without their line ends.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t begin = 0; begin < text.size();) {
    std::size_t end = text.find("\r\n", begin);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 2;
  }
  return lines;
}

void BM_Base64EncodeLines(benchmark::State& state) {
  const std::string data = AttachmentBytes();
  for (auto _ : state) {
    std::string encoded = Base64EncodeLines(data);
    benchmark::DoNotOptimize(encoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Base64EncodeLines);

// As the MIME parser decodes a body: one 76-character line at a time into a reused buffer.
void BM_Base64DecodeLines(benchmark::State& state) {
  const std::string encoded = Base64EncodeLines(AttachmentBytes());
  const std::vector<std::string_view> lines = Lines(encoded);
  std::string out;
  for (auto _ : state) {
    out.clear();
    for (std::string_view line : lines) benchmark::DoNotOptimize(Base64Decode(line, out));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * encoded.size()));
}
BENCHMARK(BM_Base64DecodeLines);

void BM_Base64DecodeWhole(benchmark::State& state) {
  const std::string encoded = Base64EncodeLines(AttachmentBytes());
  std::string out;
  for (auto _ : state) {
    out.clear();
    benchmark::DoNotOptimize(Base64Decode(encoded, out));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * encoded.size()));
}
BENCHMARK(BM_Base64DecodeWhole);

void BM_QuotedPrintableEncode(benchmark::State& state) {
  const std::string text = LetterText();
  for (auto _ : state) {
    std::string encoded = QuotedPrintableEncode(text);
    benchmark::DoNotOptimize(encoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_QuotedPrintableEncode);

void BM_QuotedPrintableDecodeLine(benchmark::State& state) {
  const std::string encoded = QuotedPrintableEncode(LetterText());
  const std::vector<std::string_view> lines = Lines(encoded);
  std::string out;
  for (auto _ : state) {
    out.clear();
    for (std::string_view line : lines) {
      benchmark::DoNotOptimize(QuotedPrintableDecodeLine(line, out));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * encoded.size()));
}
BENCHMARK(BM_QuotedPrintableDecodeLine);

// Subjects and display names as they arrive: plain, Q-encoded, B-encoded, several words.
const std::vector<std::string> kHeaderValues = {
    "Re: Meeting notes for Thursday",
    "=?iso-8859-1?Q?Caf=E9_au_lait_et_cr=E8me_br=FBl=E9e?=",
    "=?utf-8?B?w4RuZGVydW5nIElocmVyIEJlc3RlbGx1bmcgTnIuIDQ3MTE=?=",
    "Fwd: =?windows-1252?Q?Pr=E4sentation?= =?windows-1252?Q?_f=FCr_M=E4rz?=",
    "=?koi8-r?B?8NLJ18XU?= =?koi8-r?B?INfTxc0=?=",
    "Andr=E9 Dupont <andre@example.fr> (not encoded: no word markers)",
};

void BM_DecodeHeaderText(benchmark::State& state) {
  std::size_t bytes = 0;
  for (const std::string& value : kHeaderValues) bytes += value.size();
  for (auto _ : state) {
    for (const std::string& value : kHeaderValues) {
      std::string decoded = DecodeHeaderText(value);
      benchmark::DoNotOptimize(decoded);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kHeaderValues.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_DecodeHeaderText);

void BM_EncodeHeaderText(benchmark::State& state) {
  const std::string name =
      "Fran\xe7ois M\xfcller-L\xfc"
      "denscheid on behalf of J\xfcrgen";
  for (auto _ : state) {
    std::string encoded = EncodeHeaderText(name);
    benchmark::DoNotOptimize(encoded);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_EncodeHeaderText);

}  // namespace

BENCHMARK_MAIN();
