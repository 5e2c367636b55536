// pelrion-msg parts FILE: the part table of a stored message as one JSON object.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "command_registry.h"
#include "common/json_writer.h"
#include "message_scan.h"

namespace pelrion::msgtool {
namespace {

void WritePart(tools::JsonWriter& json, const mailformat::PartEntry& part) {
  json.BeginObject();
  json.Key("type");
  json.String(part.type);
  json.Key("subtype");
  json.String(part.subtype);
  json.Key("name");
  json.String(part.name);
  json.Key("attachment");
  json.Bool(part.attachment != 0);
  json.Key("encoding");
  json.Int(mailformat::TransferEncodingWord(part.transfer_encoding));
  json.Key("size");
  json.Int(part.decoded_size);
  json.Key("lines");
  json.Int(part.body_line_count);
  json.Key("offset");
  json.Int(part.body_offset);
  json.Key("group");
  json.Int(part.group_identity);
  json.Key("alternative");
  json.Bool(part.in_alternative != 0);
  json.EndObject();
}

void WriteSegment(tools::JsonWriter& json, const mailformat::SegmentEntry& segment) {
  json.BeginObject();
  json.Key("name");
  json.String(segment.name);
  json.Key("uuencoded");
  json.Bool(segment.uuencoded != 0);
  json.Key("size");
  json.Int(segment.data_size);
  json.Key("lines");
  json.Int(segment.data_line_count);
  json.Key("offset");
  json.Int(segment.data_offset);
  json.EndObject();
}

int RunParts(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::cerr << "usage: pelrion-msg parts FILE\n";
    return kUsageStatus;
  }
  const std::optional<ScannedMessage> scanned = ScanMessage(args[0], "parts");
  if (!scanned) return 1;
  const mailformat::PartTable& table = scanned->table;
  tools::JsonWriter json(std::cout);
  json.BeginObject();
  json.Key("mime");
  json.Bool(table.mime != 0);
  json.Key("headers_ended");
  json.Bool(scanned->headers_ended);
  json.Key("header_length");
  json.Int(scanned->headers_ended ? static_cast<std::int64_t>(scanned->header_length) : -1);
  json.Key("body_lines");
  json.Int(scanned->body_lines);
  json.Key("text_first");
  json.Int(table.first_text_index);
  json.Key("text_count");
  json.Int(table.text_part_count);
  json.Key("uuencoded_count");
  json.Int(table.uuencoded_count);
  json.Key("parts");
  json.BeginArray();
  for (const mailformat::PartEntry& part : table.parts) WritePart(json, part);
  json.EndArray();
  json.Key("segments");
  json.BeginArray();
  for (const mailformat::SegmentEntry& segment : table.segments) WriteSegment(json, segment);
  json.EndArray();
  json.EndObject();
  return 0;
}

const bool kRegistered = RegisterCommand(
    "parts", {"FILE",
              "print the part table of a stored message (parts of a MIME message, text and "
              "uuencoded segments of a plain one) as JSON",
              RunParts});

}  // namespace
}  // namespace pelrion::msgtool
