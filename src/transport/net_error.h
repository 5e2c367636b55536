#pragma once
// NetError: every failure of a network conversation is thrown as one 32-bit value. The high 16
// bits hold the platform error (Winsock numbering, see platform_error.h), the low 16 bits the
// operation that failed. ErrorText turns it into the words the user sees.
#include <cstdint>
#include <string>

namespace pelrion::transport {

using NetError = std::uint32_t;

// Operation codes (the low 16 bits).
enum NetOperation : std::uint16_t {
  kNetStopped = 1,         // the owner's stop flag is set
  kNetEnded = 2,           // the conversation ended normally or was ended by the session
  kNetCreate = 4,
  kNetConnect = 5,
  kNetWaitTimeout = 6,
  kNetWait = 7,
  kNetSendZero = 8,
  kNetSend = 9,
  kNetClosedByPeer = 10,
  kNetReceive = 11,
  kNetResolve = 12,
  kNetBind = 13,
  kNetListen = 14,
  kNetAccept = 15,
  kNetSocketName = 16,
  kNetProxy = 17,
  kNetNoMemory = 18,
  kNetLineTooLong = 19,    // a peer's line passed the caller's limit
  kNetTlsHandshake = 20,   // the TLS handshake failed
  kNetTlsCertificate = 21, // the server's certificate failed verification and is not pinned
  kNetTlsRequired = 22,    // TLS is required but the server does not offer it
  kNetTlsInjection = 23,   // plain text arrived after the server's go-ahead for TLS
};

constexpr NetError MakeNetError(std::uint16_t operation, std::uint16_t platform_error = 0) {
  return (static_cast<NetError>(platform_error) << 16) | operation;
}
constexpr std::uint16_t NetOperationOf(NetError error) { return error & 0xFFFF; }
constexpr std::uint16_t PlatformErrorOf(NetError error) { return error >> 16; }

// "%s (%d)" from the platform table when the high half is a known platform error, else the
// operation's text, else "Operation couldn't be performed". For kNetTlsCertificate the high half
// holds the certificate verification result instead, and its reason follows the text after ": ".
std::string ErrorText(NetError error);

}  // namespace pelrion::transport
