#include "store/installation_id.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/random.h"
#include "store/byte_writer.h"
#include "store/record_digest.h"
#include "store/store_file.h"

namespace pelrion::store {

std::string FormatInstallationId(std::uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%s%08X", "USR", static_cast<unsigned>(number));
  return text;
}

std::string NewInstallationId() {
  const std::uint32_t number = (static_cast<std::uint32_t>(platform::Rand()) << 16) |
                               (platform::TickCount() & 0xFFFF);
  return FormatInstallationId(number);
}

std::string EncodeIdentityFile(std::string_view id) {
  ByteWriter body;
  body.Text(id, kInstallationIdSize);
  std::string bytes = RecordDigest(body.bytes());
  bytes.append(body.bytes());
  return bytes;
}

std::optional<std::string> ParseIdentityFile(std::string_view bytes) {
  if (bytes.size() < kIdentityFileSize) return std::nullopt;
  std::string_view digest = bytes.substr(0, kDigestSize);
  std::string_view body = bytes.substr(kDigestSize, kInstallationIdSize);
  if (!DigestMatches(digest, body)) return std::nullopt;
  return std::string(body.substr(0, body.find('\0')));
}

std::string LoadInstallationId(const std::string& path) {
  StoreFile file = OpenForLoad(path, FileKind::kIdentityFile);
  std::string bytes(kIdentityFileSize, '\0');
  bytes.resize(ReadAtOrDie(file, 0, bytes.data(), bytes.size()));
  if (auto id = ParseIdentityFile(bytes)) return *id;
  std::string id = NewInstallationId();
  SetLengthOrDie(file, kIdentityFileSize);
  WriteAtOrDie(file, 0, EncodeIdentityFile(id));
  return id;
}

}  // namespace pelrion::store
