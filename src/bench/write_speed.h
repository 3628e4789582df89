// The timed fill and its report, shared by the three benchmarks.
#pragma once

#include <cstdint>

// Words written per pass: 4 MiB.
constexpr uint32_t kArrayWords = 1048576;
constexpr uint32_t kArrayBytes = kArrayWords * 4;

// Stores `value` into `count` consecutive words from `words` upwards, one 32-bit store per
// word, every store performed, nothing read.
void FillWords(uint32_t* words, uint32_t value, uint32_t count);

// MB/s for 1000 passes over the array in `elapsedMilliseconds` (which must not be 0).
uint32_t ComputeWriteSpeed(uint32_t elapsedMilliseconds);

// Announces, settles, times 1000 fills of `words` (kArrayWords words), and prints the speed
// with `resultFormat` (one %u). Allocates nothing.
void MeasureWriteSpeed(uint32_t* words, const char* announcement, const char* resultFormat);
