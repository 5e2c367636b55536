#include "store/listener_record.h"

#include "store/byte_reader.h"
#include "store/byte_writer.h"

namespace pelrion::store {

std::string EncodeListener(const Listener& listener) {
  ByteWriter out;
  out.U32(listener.id);
  out.Bytes(listener.server_host.Raw());
  out.U32(listener.server_port);
  out.U32(static_cast<std::uint32_t>(listener.protocol));
  out.U32(listener.local_address);
  out.U32(listener.local_port);
  return out.Take();
}

std::optional<Listener> DecodeListener(std::string_view stored) {
  if (stored.size() != kListenerRecordSize) return std::nullopt;
  ByteReader in(stored);
  Listener listener;
  listener.id = in.U32();
  listener.server_host.SetRaw(in.Bytes(kHostFieldSize));
  listener.server_port = in.U32();
  const std::uint32_t protocol = in.U32();
  listener.local_address = in.U32();
  listener.local_port = in.U32();
  if (!in.ok()) return std::nullopt;
  // Only the two protocols exist; anything else is a damaged record.
  if (protocol > static_cast<std::uint32_t>(ListenerProtocol::kSmtp)) return std::nullopt;
  listener.protocol = static_cast<ListenerProtocol>(protocol);
  return listener;
}

bool SameStoredListener(const Listener& a, const Listener& b) {
  return EncodeListener(a) == EncodeListener(b);
}

std::string DottedQuad(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

}  // namespace pelrion::store
