// pelrion-msg decode FILE N OUT: writes entry N (counted from 0) of the message's part table
// decoded to OUT: a part of a MIME message, or a segment of a plain message.
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_registry.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/part_decoder.h"
#include "message_scan.h"

namespace pelrion::msgtool {
namespace {

// The whole argument as an unsigned decimal number.
std::optional<std::size_t> ParseIndexArgument(std::string_view text) {
  std::size_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

int RunDecode(const std::vector<std::string>& args) {
  if (args.size() != 3) {
    std::cerr << "usage: pelrion-msg decode FILE N OUT\n";
    return kUsageStatus;
  }
  const std::optional<std::size_t> index = ParseIndexArgument(args[1]);
  if (!index) {
    std::cerr << "pelrion-msg decode: N must be a number from 0, not '" << args[1] << "'\n";
    return kUsageStatus;
  }
  const std::optional<ScannedMessage> scanned = ScanMessage(args[0], "decode");
  if (!scanned) return 1;
  const mailformat::PartTable& table = scanned->table;
  const std::size_t count = table.mime != 0 ? table.parts.size() : table.segments.size();
  if (*index >= count) {
    std::cerr << "pelrion-msg decode: the message has " << count
              << (table.mime != 0 ? " part" : " segment") << (count == 1 ? "" : "s")
              << "; there is no entry " << *index << '\n';
    return 1;
  }
  bool ok = false;
  if (table.mime != 0) {
    const mailformat::PartEntry& part = table.parts[*index];
    ok = mailformat::DecodePartToFile(part.body_offset, part.body_line_count, true,
                                      part.transfer_encoding, args[0], args[2]);
  } else {
    // Text segments are copied line by line; uuencoded blocks are uudecoded.
    const mailformat::SegmentEntry& segment = table.segments[*index];
    ok = mailformat::DecodePartToFile(segment.data_offset, segment.data_line_count,
                                      segment.uuencoded == 0, mailformat::TransferEncoding::k7Bit, args[0],
                                      args[2]);
  }
  if (!ok) {
    std::cerr << "pelrion-msg decode: Decode error. (entry " << *index << " to '" << args[2]
              << "')\n";
    return 1;
  }
  return 0;
}

const bool kRegistered = RegisterCommand(
    "decode", {"FILE N OUT",
               "write entry N (from 0, in the order 'parts' lists them) of a stored message, "
               "decoded, to OUT",
               RunDecode});

}  // namespace
}  // namespace pelrion::msgtool
