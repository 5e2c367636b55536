#include "transport/net_error.h"

#include <openssl/x509.h>

#include <array>
#include <cstdio>
#include <string_view>

namespace pelrion::transport {
namespace {

struct PlatformRow {
  int number;
  std::string_view text;
};

// Searched in this order; the texts are shown to the user as they stand.
constexpr std::array<PlatformRow, 41> kPlatformTable{{
    {10013, "Permission denied"},
    {10048, "Address already in use"},
    {10049, "Cannot assign requested address"},
    {10047, "Address family not supported by protocol family"},
    {10037, "Operation already in progress"},
    {10053, "Software caused connection abort"},
    {10061, "Connection refused"},
    {10054, "Connection reset by peer"},
    {10039, "Destination address required"},
    {10014, "Bad address"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10036, "Operation now in progress"},
    {10004, "Interrupted function call"},
    {10022, "Invalid argument"},
    {10056, "Socket is already connected"},
    {10024, "Too many open files"},
    {10040, "Message too long"},
    {10050, "Network is down"},
    {10052, "Network dropped connection by reset"},
    {10051, "Network is unreachable"},
    {10055, "No buffer space available"},
    {10042, "Bad protocol option"},
    {10057, "Socket is not connected"},
    {10038, "Socket operation on non-socket"},
    {10045, "Operation not supported"},
    {10067, "Too many processes"},
    {10043, "Protocal not supported"},
    {10041, "Protocol wrong type for socket"},
    {10058, "Cannot send after socket shutdown"},
    {10044, "Socket type not supported"},
    {10060, "Connection timed out"},
    {10035, "Resource temporarily unavailable"},
    {11001, "Host not found"},
    {10093, "Successful WSAStartup not yet performed"},
    {11004, "Valid name, no data record of requested type"},
    {11003, "This is a non-recoverable error"},
    {10091, "Network subsystem is unavailable"},
    {11002, "Non-authoritative host not found"},
    {10092, "WINSOCK.DLL version out of range"},
    {10101, "Graceful shutdown in progress"},
}};

struct OperationRow {
  std::uint16_t code;
  std::string_view text;
};

constexpr std::array<OperationRow, 20> kOperationTable{{
    {kNetCreate, "Create socket error"},
    {kNetConnect, "Connect error"},
    {kNetWaitTimeout, "Select error timeout"},
    {kNetWait, "Select error"},
    {kNetSendZero, "tcp_send_0"},
    {kNetSend, "Send error"},
    {kNetClosedByPeer, "Connection unexpectedly closed"},
    {kNetReceive, "Receive error"},
    {kNetResolve, "Cannot find server or DNS Error"},
    {kNetBind, "Bind error"},
    {kNetListen, "Listen error"},
    {kNetAccept, "Accept error"},
    {kNetSocketName, "Get socket name error"},
    {kNetProxy, "Proxy negotiate error"},
    {kNetNoMemory, "Error insufficient memory"},
    {kNetLineTooLong, "The other side sent a line longer than allowed"},
    {kNetTlsHandshake,
     "The secure connection (TLS) could not be set up - check the server name, the port and "
     "the account's security setting"},
    {kNetTlsCertificate, "The server's certificate could not be verified"},
    {kNetTlsRequired,
     "The server does not offer a secure connection (TLS), which is required - check the "
     "server's port or the account's security setting"},
    {kNetTlsInjection,
     "The server sent unprotected data while the secure connection was being set up - the "
     "connection may have been tampered with and was ended"},
}};

}  // namespace

std::string ErrorText(NetError error) {
  const std::uint16_t operation = NetOperationOf(error);
  const std::uint16_t platform = PlatformErrorOf(error);
  if (operation != kNetTlsCertificate) {
    for (const PlatformRow& row : kPlatformTable) {
      if (row.number == platform) {
        char number[16];
        std::snprintf(number, sizeof number, " (%d)", row.number);
        return std::string(row.text) + number;
      }
    }
  }
  for (const OperationRow& row : kOperationTable) {
    if (row.code != operation) continue;
    std::string text(row.text);
    if (operation == kNetTlsCertificate && platform != 0) {
      text += ": ";
      text += X509_verify_cert_error_string(platform);
    }
    return text;
  }
  return "Operation couldn't be performed";
}

}  // namespace pelrion::transport
