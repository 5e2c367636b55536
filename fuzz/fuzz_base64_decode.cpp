// Base64Decode on arbitrary bytes: no crash, no read outside the input, and the decoded size
// stays within three quarters of the input; decoded bytes re-encode and decode to themselves;
// the size count without decoding reports exactly what decoding reports; the SSE2 and the
// byte-shuffle paths decode alike; a run of clean lines decodes as its lines one by one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mailformat/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::mailformat;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string out = "kept";
  const Base64DecodeResult result = Base64Decode(text, out);
  const Base64DecodeResult counted = Base64DecodedSize(text);
  if (counted.ok != result.ok || counted.size != result.size ||
      counted.ended_at_pad != result.ended_at_pad) {
    std::abort();
  }
  Base64UseShuffles(false);
  std::string plain = "kept";
  const Base64DecodeResult plain_result = Base64Decode(text, plain);
  Base64UseShuffles(true);
  if (plain_result.ok != result.ok || plain_result.size != result.size || plain != out) {
    std::abort();
  }
  std::string run_out(Base64DecodeRoom(size), '\0');
  const Base64LineRun run = Base64DecodeCleanLines(text, SIZE_MAX, run_out.data(), run_out.size());
  std::string by_line;
  std::size_t at = 0;
  for (std::size_t i = 0; i < run.lines; ++i) {
    const std::size_t lf = text.find('\n', at);
    if (lf == std::string_view::npos || !Base64Decode(text.substr(at, lf + 1 - at), by_line).ok) {
      std::abort();
    }
    at = lf + 1;
  }
  if (at != run.consumed || run.size != by_line.size() ||
      run_out.compare(0, run.size, by_line) != 0) {
    std::abort();
  }
  if (!result.ok) {
    if (out != "kept") std::abort();
    return 0;
  }
  if (out.size() != 4 + result.size || result.size * 4 > size * 3) std::abort();
  const std::string decoded = out.substr(4);
  std::string again;
  if (!Base64Decode(Base64Encode(decoded), again).ok || again != decoded) std::abort();
  return 0;
}
