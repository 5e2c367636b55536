#include "platform/clock.h"

#include <atomic>
#include <limits>

namespace pelrion::platform {
namespace {

// One atomic word, so a reader on any thread sees either the pinned value or "not pinned",
// never a half-updated pair.
constexpr std::int64_t kNotPinned = std::numeric_limits<std::int64_t>::min();
std::atomic<std::int64_t> g_pinned_now{kNotPinned};

}  // namespace

std::uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

std::int64_t Now() {
  const std::int64_t pinned = g_pinned_now.load(std::memory_order_acquire);
  if (pinned != kNotPinned) return pinned;
  return static_cast<std::int64_t>(std::time(nullptr));
}

void SetNowForTesting(std::optional<std::int64_t> seconds) {
  g_pinned_now.store(seconds.value_or(kNotPinned), std::memory_order_release);
}

}  // namespace pelrion::platform
