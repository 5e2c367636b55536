#include "platform/random.h"

#include <ctime>

#include "platform/clock.h"

namespace pelrion::platform {
namespace {

// One generator per thread, like the C runtime's per-thread rand() state; the seed of 1 is
// what an unseeded thread starts with.
thread_local std::uint32_t g_state = 1;

}  // namespace

int Rand() {
  g_state = g_state * 214013u + 2531011u;
  return static_cast<int>((g_state >> 16) & 0x7FFF);
}

void SeedRand(std::uint32_t seed) { g_state = seed; }

void SeedRandFromClock() {
  const auto seconds = static_cast<std::uint32_t>(std::time(nullptr));
  SeedRand((seconds << 16) | (TickCount() & 0xFFFF));
}

std::uint32_t Random32() {
  std::uint32_t value;
  do {
    value = (static_cast<std::uint32_t>(Rand()) << 16) | (TickCount() & 0xFFFF);
  } while (value == 0);
  return value;
}

}  // namespace pelrion::platform
