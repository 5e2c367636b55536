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

// (Rand() << 16) | (tick count & 0xFFFF), drawn again while 0: identifiers of messages,
// contacts, boundaries and the like.
std::uint32_t Random32();

}  // namespace pelrion::platform
