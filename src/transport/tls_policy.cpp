#include "transport/tls_policy.h"

namespace pelrion::transport {

TlsMode TlsModeFromNumber(std::optional<std::uint32_t> number) {
  if (!number || *number > static_cast<std::uint32_t>(TlsMode::kNever)) return TlsMode::kAutomatic;
  return static_cast<TlsMode>(*number);
}

bool UsesImplicitTls(TlsMode mode, std::uint16_t server_port) {
  if (mode == TlsMode::kImplicit) return true;
  return mode == TlsMode::kAutomatic && (server_port == 995 || server_port == 465);
}

bool IsLoopbackAddress(std::uint32_t address) { return (address >> 24) == 127; }

PlainConversation DecidePlainConversation(TlsMode mode, bool server_offers_tls,
                                          std::uint32_t server_address) {
  switch (mode) {
    case TlsMode::kNever:
      return PlainConversation::kContinue;
    case TlsMode::kUpgradeRequired:
      return server_offers_tls ? PlainConversation::kUpgrade : PlainConversation::kRefuse;
    case TlsMode::kImplicit:
      // The conversation should have been protected from the start.
      return PlainConversation::kRefuse;
    case TlsMode::kAutomatic:
      break;
  }
  if (server_offers_tls) return PlainConversation::kUpgrade;
  return IsLoopbackAddress(server_address) ? PlainConversation::kContinue
                                           : PlainConversation::kRefuse;
}

}  // namespace pelrion::transport
