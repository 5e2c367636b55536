// The process's pseudo-random numbers: the classic linear congruential generator
// (state * 214013 + 2531011, result bits 16..30, values 0..32767), one state per thread.
#pragma once

#include <cstdint>

namespace pelrion::platform {

// Next value 0..32767 of the calling thread's generator.
int Rand();
void SeedRand(std::uint32_t seed);

// Seeds the calling thread's generator with (seconds since 1970 << 16) | (tick count & 0xFFFF),
// as start-up and each worker thread do.
void SeedRandFromClock();

// The seed a thread starting now takes: the clock seed above with the calling thread's
// identity mixed into bits 0..30, so that threads seeded in the same millisecond (same
// clock_seed) get different states. Bit 31 is left alone on purpose: two states differing
// only there give the same values 0..32767 forever.
std::uint32_t ThreadSeed(std::uint32_t clock_seed);

// Seeds the calling thread's generator with ThreadSeed of the clock seed. Every worker
// thread that draws numbers calls it first thing; the main thread keeps SeedRandFromClock.
void SeedRandForThread();

// (Rand() << 16) | (tick count & 0xFFFF), drawn again while 0: identifiers of messages,
// contacts, boundaries and the like.
std::uint32_t Random32();

}  // namespace pelrion::platform
