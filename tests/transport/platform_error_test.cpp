#include "transport/platform_error.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <set>
#include <string>

#include "transport/net_error.h"

namespace pelrion::transport {
namespace {

struct ErrnoCase {
  int host_errno;
  std::uint16_t expected;
};

TEST(PlatformErrorTest, ErrnoValuesTakeTheWinsockNumbers) {
  const ErrnoCase cases[] = {
      {ECONNREFUSED, 10061},
      {EADDRINUSE, 10048},
      {ETIMEDOUT, 10060},
      {ECONNRESET, 10054},
      {EHOSTUNREACH, 10065},
      {ENETUNREACH, 10051},
      {EACCES, 10013},
      {EADDRNOTAVAIL, 10049},
      {EMFILE, 10024},
      {ENFILE, 10024},
      {EPIPE, 10058},
      {ESHUTDOWN, 10058},
      {ENOTCONN, 10057},
      {ECONNABORTED, 10053},
      {EAFNOSUPPORT, 10047},
      {EINTR, 10004},
      {EINVAL, 10022},
      {EWOULDBLOCK, 10035},
      {EAGAIN, 10035},
      {EINPROGRESS, 10036},
      {EALREADY, 10037},
      {ENOTSOCK, 10038},
      {EDESTADDRREQ, 10039},
      {EMSGSIZE, 10040},
      {EPROTOTYPE, 10041},
      {ENOPROTOOPT, 10042},
      {EPROTONOSUPPORT, 10043},
      {ESOCKTNOSUPPORT, 10044},
      {EOPNOTSUPP, 10045},
      {ENETDOWN, 10050},
      {ENETRESET, 10052},
      {ENOBUFS, 10055},
      {EISCONN, 10056},
      {EHOSTDOWN, 10064},
      {EFAULT, 10014},
      // Numbers without a counterpart give no platform error, so the operation's text shows.
      {ENOENT, 0},
      {0, 0},
      {EDOM, 0},
  };
  for (const ErrnoCase& c : cases) {
    EXPECT_EQ(PlatformErrorFromErrno(c.host_errno), c.expected) << "errno " << c.host_errno;
  }
}

TEST(PlatformErrorTest, EveryMappedNumberHasItsOwnTextAndEachErrnoOneRow) {
  std::set<int> seen;
  for (const ErrnoMapping& row : ErrnoMappings()) {
    EXPECT_TRUE(seen.insert(row.host_errno).second) << "errno " << row.host_errno << " twice";
    // A known platform number shows its text with the number, whatever the operation.
    const std::string text = ErrorText(MakeNetError(kNetReceive, row.platform_error));
    EXPECT_NE(text, "Receive error") << row.platform_error;
    EXPECT_NE(text.find("(" + std::to_string(row.platform_error) + ")"), std::string::npos);
  }
}

struct LookupCase {
  int status;
  int host_errno;
  std::uint16_t expected;
};

TEST(PlatformErrorTest, ResolverResultsTakeTheHostErrorNumbers) {
  const LookupCase cases[] = {
      {EAI_NONAME, 0, 11001},
      {EAI_AGAIN, 0, 11002},
      {EAI_FAIL, 0, 11003},
      {EAI_NODATA, 0, 11004},
      {EAI_SYSTEM, ECONNREFUSED, 10061},
      {EAI_SYSTEM, ENOENT, 0},
      {0, 0, 0},
      {EAI_BADFLAGS, 0, 0},
  };
  for (const LookupCase& c : cases) {
    EXPECT_EQ(PlatformErrorFromLookup(c.status, c.host_errno), c.expected) << c.status;
  }
  EXPECT_EQ(ErrorText(MakeNetError(kNetResolve, PlatformErrorFromLookup(EAI_NONAME, 0))),
            "Host not found (11001)");
}

}  // namespace
}  // namespace pelrion::transport
