#include "transport/host_lookup.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <atomic>
#include <chrono>
#include <semaphore>
#include <string>
#include <thread>

#include "transport/net_error.h"
#include "transport/socket_helpers.h"

namespace pelrion::transport {
namespace {

using testing::CaughtNetError;

void NeverStop() {}
void AlwaysStop() {
  throw MakeNetError(kNetStopped);
}

// Fake resolvers. Tests never ask a real resolver about anything but "localhost": a query for
// an unknown name would leave the machine.
std::atomic<int> g_lookups{0};
std::atomic<int> g_fake_status{0};
std::atomic<std::size_t> g_host_length{0};
constexpr std::uint32_t kFakeAddress = 0x0A000203;  // 10.0.2.3

int CountingLookup(const char* host, std::uint32_t* address) {
  g_lookups.fetch_add(1);
  g_host_length.store(std::string(host).size());
  *address = kFakeAddress;
  return g_fake_status.load();
}

std::binary_semaphore g_release_lookup{0};

int BlockedLookup(const char*, std::uint32_t* address) {
  g_release_lookup.acquire();
  *address = kFakeAddress;
  return 0;
}

// The lookup thread frees an abandoned record when its resolver returns; wait for that.
bool LookupRecordsFreed() {
  for (int i = 0; i < 500 && LiveLookupRecords() != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return LiveLookupRecords() == 0;
}

struct DottedCase {
  const char* text;
  std::uint32_t address;
};

TEST(HostLookupTest, DottedQuadNeedsNoLookup) {
  const DottedCase cases[] = {
      {"127.0.0.1", 0x7F000001},
      {"10.1.2.3", 0x0A010203},
      {"255.255.255.255", 0xFFFFFFFF},
      {"0.0.0.0", 0},
  };
  g_lookups = 0;
  for (const DottedCase& c : cases) {
    EXPECT_EQ(ResolveHost(c.text, AlwaysStop, CountingLookup), c.address) << c.text;
  }
  // No lookup ran (so no thread started), and the stop check was never needed.
  EXPECT_EQ(g_lookups.load(), 0);
  EXPECT_EQ(LiveLookupRecords(), 0u);
}

TEST(HostLookupThreadTest, LocalhostResolvesThroughTheSystem) {
  EXPECT_EQ(ResolveHost("localhost", NeverStop), 0x7F000001u);
  EXPECT_EQ(LiveLookupRecords(), 0u);
}

TEST(HostLookupThreadTest, NameGoesToTheResolverCutAt255Characters) {
  g_fake_status = 0;
  EXPECT_EQ(ResolveHost(std::string(300, 'h'), NeverStop, CountingLookup), kFakeAddress);
  EXPECT_EQ(g_host_length.load(), 255u);
  EXPECT_EQ(ResolveHost("mail.example", NeverStop, CountingLookup), kFakeAddress);
  EXPECT_EQ(g_host_length.load(), 12u);
  EXPECT_EQ(LiveLookupRecords(), 0u);
}

struct FailureCase {
  int status;
  const char* text;
};

TEST(HostLookupThreadTest, ResolverFailureIsCodeTwelveWithItsReason) {
  const FailureCase cases[] = {
      {EAI_NONAME, "Host not found (11001)"},
      {EAI_AGAIN, "Non-authoritative host not found (11002)"},
      {EAI_FAIL, "This is a non-recoverable error (11003)"},
      {EAI_BADFLAGS, "Cannot find server or DNS Error"},
  };
  for (const FailureCase& c : cases) {
    g_fake_status = c.status;
    const NetError error =
        CaughtNetError([] { ResolveHost("no.such.name", NeverStop, CountingLookup); });
    EXPECT_EQ(NetOperationOf(error), kNetResolve) << c.status;
    EXPECT_EQ(ErrorText(error), c.text);
  }
  g_fake_status = 0;
  EXPECT_EQ(LiveLookupRecords(), 0u);
}

// The requester gives up at its first poll (about 100 ms) with the stop; the resolver is still
// busy, so the record is left to the lookup thread, which frees it once the resolver returns.
TEST(HostLookupThreadTest, StopDuringALookupAbandonsItToTheLookupThread) {
  const NetError error =
      CaughtNetError([] { ResolveHost("slow.example", AlwaysStop, BlockedLookup); });
  EXPECT_EQ(error, MakeNetError(kNetStopped));
  EXPECT_EQ(LiveLookupRecords(), 1u);
  g_release_lookup.release();
  EXPECT_TRUE(LookupRecordsFreed());
}

}  // namespace
}  // namespace pelrion::transport
