// The program's random generator: the 15-bit linear congruential generator of
// the Microsoft C library, supplied on every target so that the same seed and
// folder give the same order everywhere.
#pragma once

#include <cstdint>

// Sets the generator's state; the driver seeds it once with the calendar time.
void SeedRandom(uint32_t seed);
// state = state * 214013 + 2531011 (mod 2^32); returns bits 16..30: 0..32767.
int32_t NextRandom();
