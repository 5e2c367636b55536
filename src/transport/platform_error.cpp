#include "transport/platform_error.h"

#include <netdb.h>

#include <array>
#include <cerrno>

namespace pelrion::transport {
namespace {

// Linux gives some numbers two names (EAGAIN/EWOULDBLOCK, EOPNOTSUPP/ENOTSUP), so each appears
// once. Rows whose Winsock number has no errno counterpart (10067, 10091-10093, 10101) are absent.
constexpr std::array<ErrnoMapping, 37> kErrnoTable{{
    {EAGAIN, 10035},        {EACCES, 10013},       {EPERM, 10013},        {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {EAFNOSUPPORT, 10047}, {EALREADY, 10037},     {ECONNABORTED, 10053},
    {ECONNREFUSED, 10061},  {ECONNRESET, 10054},   {EDESTADDRREQ, 10039}, {EFAULT, 10014},
    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065}, {EINPROGRESS, 10036},  {EINTR, 10004},
    {EINVAL, 10022},        {EISCONN, 10056},      {EMFILE, 10024},       {ENFILE, 10024},
    {EMSGSIZE, 10040},      {ENETDOWN, 10050},     {ENETRESET, 10052},    {ENETUNREACH, 10051},
    {ENOBUFS, 10055},       {ENOMEM, 10055},       {ENOPROTOOPT, 10042},  {ENOTCONN, 10057},
    {ENOTSOCK, 10038},      {EBADF, 10038},        {EOPNOTSUPP, 10045},   {EPROTONOSUPPORT, 10043},
    {EPROTOTYPE, 10041},    {EPIPE, 10058},        {ESHUTDOWN, 10058},    {ESOCKTNOSUPPORT, 10044},
    {ETIMEDOUT, 10060},
}};

}  // namespace

std::span<const ErrnoMapping> ErrnoMappings() {
  return kErrnoTable;
}

std::uint16_t PlatformErrorFromErrno(int host_errno) {
  for (const ErrnoMapping& row : kErrnoTable) {
    if (row.host_errno == host_errno) return row.platform_error;
  }
  return 0;
}

std::uint16_t PlatformErrorFromLookup(int lookup_status, int host_errno) {
  switch (lookup_status) {
    case EAI_NONAME:
      return 11001;
    case EAI_AGAIN:
      return 11002;
    case EAI_FAIL:
      return 11003;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return 11004;
    case EAI_MEMORY:
      return 10055;
    case EAI_SYSTEM:
      return PlatformErrorFromErrno(host_errno);
    default:
      return 0;
  }
}

}  // namespace pelrion::transport
