#include "platform/random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <latch>
#include <set>
#include <thread>
#include <vector>

namespace pelrion::platform {
namespace {

// The classic generator's first outputs for seed 1 (what an unseeded thread produces).
const std::vector<int> kSeedOneSequence = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};

std::vector<int> Draw(std::size_t count) {
  std::vector<int> out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(Rand());
  return out;
}

TEST(RandomTest, SeedOneGivesTheClassicSequence) {
  SeedRand(1);
  EXPECT_EQ(Draw(kSeedOneSequence.size()), kSeedOneSequence);
}

TEST(RandomTest, ValuesStayInFifteenBits) {
  SeedRand(0xDEADBEEF);
  for (int i = 0; i < 10000; ++i) {
    const int value = Rand();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 0x7FFF);
  }
}

TEST(RandomTest, ReseedingRepeatsTheSequence) {
  SeedRand(12345);
  const auto first = Draw(20);
  SeedRand(12345);
  EXPECT_EQ(Draw(20), first);
}

// Each thread has its own state: a new thread starts at seed 1 whatever this thread did,
// and draws on another thread do not advance this one.
TEST(RandomTest, StateIsPerThread) {
  SeedRand(777);
  const int expected_next = [] {
    SeedRand(777);
    return Rand();
  }();
  SeedRand(777);
  std::vector<int> other;
  std::thread([&] { other = Draw(kSeedOneSequence.size()); }).join();
  EXPECT_EQ(other, kSeedOneSequence);
  EXPECT_EQ(Rand(), expected_next);
}

// Sequences drawn by kThreads threads that all start together; seed(thread) is called by
// each thread once every thread is running, so they seed within the same moment.
template <typename Seed>
std::vector<std::vector<int>> DrawOnThreadsStartedTogether(Seed seed) {
  constexpr int kThreads = 8;
  std::vector<std::vector<int>> sequences(kThreads);
  std::latch all_running(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      all_running.arrive_and_wait();
      seed();
      sequences[t] = Draw(16);
    });
  }
  for (auto& thread : threads) thread.join();
  return sequences;
}

void ExpectAllDifferent(const std::vector<std::vector<int>>& sequences) {
  const std::set<std::vector<int>> distinct(sequences.begin(), sequences.end());
  EXPECT_EQ(distinct.size(), sequences.size());
  // Not merely shifted copies of one stream either: the first values differ too.
  std::set<int> firsts;
  for (const auto& sequence : sequences) firsts.insert(sequence.front());
  EXPECT_GT(firsts.size(), 1u);
}

TEST(RandomThreadTest, ThreadsSeededTogetherDrawDifferentSequences) {
  ExpectAllDifferent(DrawOnThreadsStartedTogether([] { SeedRandForThread(); }));
}

// The same clock reading on every thread (threads started in one millisecond): the thread's
// identity alone must set them apart, and keep them apart in the 15 bits drawn.
TEST(RandomThreadTest, SameClockSeedOnDifferentThreadsGivesDifferentSequences) {
  constexpr std::uint32_t kClockSeed = 0x5F3A1234;
  ExpectAllDifferent(DrawOnThreadsStartedTogether([] { SeedRand(ThreadSeed(kClockSeed)); }));
  // On one thread the seed is a pure function of the clock reading.
  EXPECT_EQ(ThreadSeed(kClockSeed), ThreadSeed(kClockSeed));
  EXPECT_NE(ThreadSeed(kClockSeed), ThreadSeed(kClockSeed + 1));
}

TEST(RandomTest, Random32TakesItsHighHalfFromTheGenerator) {
  SeedRand(1);
  for (int expected : kSeedOneSequence) {
    const std::uint32_t value = Random32();
    EXPECT_NE(value, 0u);
    EXPECT_EQ(value >> 16, static_cast<std::uint32_t>(expected));
  }
}

}  // namespace
}  // namespace pelrion::platform
