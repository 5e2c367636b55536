#include "transport/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/fatal_stop.h"
#include "transport/net_error.h"
#include "transport/platform_error.h"
#include "transport/process_setup.h"

namespace pelrion::transport {
namespace {

constexpr std::size_t kMaxHostLength = 255;
constexpr auto kPollInterval = std::chrono::milliseconds(100);
// The lookup thread runs below normal priority: it only waits on the resolver.
constexpr int kLookupNiceness = 5;

enum LookupState : int { kPending = 0, kResolved = 1, kFailedOrAbandoned = 2 };

std::atomic<std::size_t> g_live_records{0};

// Shared by the requester and the lookup thread. Whoever sees the other side finished frees it:
// the requester after state 1 or 2 set by the lookup thread, the lookup thread when it finds the
// requester has set 2 (abandoned).
struct LookupRecord {
  LookupRecord() { g_live_records.fetch_add(1); }
  ~LookupRecord() { g_live_records.fetch_sub(1); }
  LookupRecord(const LookupRecord&) = delete;
  LookupRecord& operator=(const LookupRecord&) = delete;

  std::atomic<int> state{kPending};
  std::uint32_t address = 0;
  std::uint16_t platform_error = 0;
  char host[kMaxHostLength + 1] = {};
  LookupFunction lookup = nullptr;
};

void RunLookup(LookupRecord* record) {
  BlockMainThreadSignals();
  // Lowers this thread alone: on Linux the nice value belongs to the thread.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kLookupNiceness);
  std::uint32_t address = 0;
  const int status = record->lookup(record->host, &address);
  const int lookup_errno = errno;
  int expected = kPending;
  if (status == 0) {
    record->address = address;
    if (record->state.compare_exchange_strong(expected, kResolved)) return;
  } else {
    record->platform_error = PlatformErrorFromLookup(status, lookup_errno);
    if (record->state.compare_exchange_strong(expected, kFailedOrAbandoned)) return;
  }
  delete record;  // the requester has gone
}

}  // namespace

int SystemLookup(const char* host, std::uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(host, nullptr, &hints, &found);
  if (status != 0) return status;
  const int result = found ? 0 : EAI_NONAME;
  if (found) {
    *address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  }
  freeaddrinfo(found);
  return result;
}

std::uint32_t ResolveHost(std::string_view host, const std::function<void()>& stop_check,
                          LookupFunction lookup) {
  char text[kMaxHostLength + 1] = {};
  std::memcpy(text, host.data(), std::min(host.size(), kMaxHostLength));
  in_addr dotted{};
  if (inet_pton(AF_INET, text, &dotted) == 1) return ntohl(dotted.s_addr);

  auto* record = new LookupRecord;
  std::memcpy(record->host, text, sizeof text);
  record->lookup = lookup;
  try {
    std::thread(RunLookup, record).detach();
  } catch (const std::system_error&) {
    platform::FatalStop(platform::kThreadStartFailed);
  }

  for (;;) {
    std::this_thread::sleep_for(kPollInterval);
    const int state = record->state.load();
    if (state == kResolved) {
      const std::uint32_t address = record->address;
      delete record;
      return address;
    }
    if (state == kFailedOrAbandoned) {
      const std::uint16_t platform_error = record->platform_error;
      delete record;
      throw MakeNetError(kNetResolve, platform_error);
    }
    try {
      stop_check();
    } catch (...) {
      int expected = kPending;
      // Still pending: the lookup thread frees the record. Finished meanwhile: it is ours.
      if (!record->state.compare_exchange_strong(expected, kFailedOrAbandoned)) delete record;
      throw;
    }
  }
}

std::size_t LiveLookupRecords() {
  return g_live_records.load();
}

}  // namespace pelrion::transport
