#include "platform/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace pelrion::platform {
namespace {

class ClockTest : public testing::Test {
 protected:
  void TearDown() override { SetNowForTesting(std::nullopt); }
};

TEST_F(ClockTest, PinnedValueIsReturnedUntilRestored) {
  SetNowForTesting(1'000'000'000);
  EXPECT_EQ(Now(), 1'000'000'000);
  SetNowForTesting(-1);  // a pinned -1 is a value like any other, not "unpinned"
  EXPECT_EQ(Now(), -1);
  const std::int64_t before = std::time(nullptr);
  SetNowForTesting(std::nullopt);
  const std::int64_t now = Now();
  EXPECT_GE(now, before);
  EXPECT_LE(now, static_cast<std::int64_t>(std::time(nullptr)));
}

TEST_F(ClockTest, TickCountDoesNotGoBackwards) {
  std::uint32_t previous = TickCount();
  for (int i = 0; i < 1000; ++i) {
    const std::uint32_t tick = TickCount();
    // Differences are taken modulo 2^32, as callers do across the wrap.
    ASSERT_LT(tick - previous, 0x80000000u);
    previous = tick;
  }
}

// Readers on other threads see either the pinned value or the real clock, never anything
// else, while the main thread pins and unpins.
TEST_F(ClockTest, ClockThreadTestPinningIsSafeFromAnyThread) {
  constexpr std::int64_t kPinned = 42;
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        const std::int64_t now = Now();
        if (now != kPinned && now < 1'600'000'000) bad.fetch_add(1);
      }
    });
  }
  for (int i = 0; i < 2000; ++i) SetNowForTesting(i % 2 == 0 ? std::optional(kPinned) : std::nullopt);
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace pelrion::platform
