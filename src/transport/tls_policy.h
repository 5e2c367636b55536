#pragma once
// When a conversation with a mail server is protected by TLS, and when it may go on in plain
// text. Passwords must not cross the network unprotected: plain text is allowed only with a
// server on this machine (loopback) or when the user has said "never" for that server.
#include <cstdint>
#include <functional>
#include <optional>

namespace pelrion::transport {

// Stored as the listener's "TlsMode" number.
enum class TlsMode : std::uint32_t {
  kAutomatic = 0,        // implicit TLS on 995 and 465, else upgrade when offered
  kUpgradeRequired = 1,  // STLS/STARTTLS must be offered and used
  kImplicit = 2,         // TLS from the first byte
  kNever = 3,            // plain text always
};

// A stored number as a mode: missing or unknown numbers are automatic.
TlsMode TlsModeFromNumber(std::optional<std::uint32_t> number);

// Whether TLS starts right after connecting (before the server's greeting).
bool UsesImplicitTls(TlsMode mode, std::uint16_t server_port);

enum class PlainConversation {
  kUpgrade,   // send STLS/STARTTLS and go on over TLS
  kContinue,  // go on in plain text
  kRefuse,    // end before any user name or password is sent (kNetTlsRequired)
};

// For a conversation that did not start with TLS, after the server listed what it offers.
// server_address is the address connected to, in host byte order.
PlainConversation DecidePlainConversation(TlsMode mode, bool server_offers_tls,
                                          std::uint32_t server_address);

// The decision above as the sessions take it; tests give their own.
using PlainConversationPolicy =
    std::function<PlainConversation(TlsMode, bool server_offers_tls, std::uint32_t address)>;

// 127.0.0.0/8, host byte order.
bool IsLoopbackAddress(std::uint32_t address);

}  // namespace pelrion::transport
