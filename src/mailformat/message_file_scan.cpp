#include "mailformat/message_file_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace pelrion::mailformat {

bool FeedMessageFile(const std::string& path, MimeScanner& scanner, std::size_t chunk_size) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return false;
  std::vector<char> chunk(std::max<std::size_t>(chunk_size, 1));
  std::string pending;  // the start of a line that runs past the chunk
  std::uint32_t offset = 0;
  bool ok = true;
  for (;;) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
    if (got == 0) {
      ok = std::ferror(file) == 0;
      break;
    }
    std::string_view data(chunk.data(), got);
    std::size_t lf;
    while ((lf = data.find('\n')) != std::string_view::npos) {
      const std::string_view piece = data.substr(0, lf + 1);
      offset += static_cast<std::uint32_t>(pending.size() + piece.size());
      if (pending.empty()) {
        scanner.FeedLine(piece, offset);
      } else {
        pending.append(piece);
        scanner.FeedLine(pending, offset);
        pending.clear();
      }
      data.remove_prefix(lf + 1);
    }
    pending.append(data);
  }
  std::fclose(file);
  if (ok && !pending.empty()) {
    offset += static_cast<std::uint32_t>(pending.size());
    scanner.FeedLine(pending, offset);
  }
  return ok;
}

}  // namespace pelrion::mailformat
