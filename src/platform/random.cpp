#include "platform/random.h"

#include <unistd.h>

#include <ctime>

#include "platform/clock.h"

namespace pelrion::platform {
namespace {

// One generator per thread, like the C runtime's per-thread rand() state; the seed of 1 is
// what an unseeded thread starts with.
thread_local std::uint32_t g_state = 1;

std::uint32_t ClockSeed() {
  const auto seconds = static_cast<std::uint32_t>(std::time(nullptr));
  return (seconds << 16) | (TickCount() & 0xFFFF);
}

// A one-to-one scrambling of 31-bit values (multiplication by an odd number and an
// xor-shift, both invertible modulo 2^31), so nearby thread ids end far apart in the seed
// and distinct ids never give the same mix.
std::uint32_t Mix31(std::uint32_t value) {
  constexpr std::uint32_t kMask = 0x7FFFFFFFu;
  value = (value * 0x9E3779B1u) & kMask;
  value ^= value >> 15;
  value = (value * 0x85EBCA6Bu) & kMask;
  value ^= value >> 13;
  return value;
}

}  // namespace

int Rand() {
  g_state = g_state * 214013u + 2531011u;
  return static_cast<int>((g_state >> 16) & 0x7FFF);
}

void SeedRand(std::uint32_t seed) { g_state = seed; }

void SeedRandFromClock() { SeedRand(ClockSeed()); }

std::uint32_t ThreadSeed(std::uint32_t clock_seed) {
  // The kernel's thread id is unique among the threads alive at the same time.
  return clock_seed ^ Mix31(static_cast<std::uint32_t>(gettid()));
}

void SeedRandForThread() { SeedRand(ThreadSeed(ClockSeed())); }

std::uint32_t Random32() {
  std::uint32_t value;
  do {
    value = (static_cast<std::uint32_t>(Rand()) << 16) | (TickCount() & 0xFFFF);
  } while (value == 0);
  return value;
}

}  // namespace pelrion::platform
