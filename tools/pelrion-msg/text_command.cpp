// pelrion-msg text FILE: the first 4096 bytes of a stored message's text, as arrival analysis
// reads them, written to standard output unchanged.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "command_registry.h"
#include "mailformat/message_text.h"
#include "message_scan.h"

namespace pelrion::msgtool {
namespace {

constexpr std::size_t kTextLimit = 4096;

int RunText(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::cerr << "usage: pelrion-msg text FILE\n";
    return kUsageStatus;
  }
  const std::optional<ScannedMessage> scanned = ScanMessage(args[0], "text");
  if (!scanned) return 1;
  const std::string text = mailformat::ReadMessageText(scanned->table, args[0], kTextLimit);
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
  std::cout.flush();
  return std::cout ? 0 : 1;
}

const bool kRegistered = RegisterCommand(
    "text", {"FILE",
             "write the first 4096 bytes of a stored message's text (as arrival analysis reads "
             "it) to standard output",
             RunText});

}  // namespace
}  // namespace pelrion::msgtool
