#include "reference_loops.h"

#include <cstring>

// Every loop writes through a volatile pointer: each store is kept, in order, in every pass,
// and none becomes a memset, vector or non-temporal store. The loops count down a block count,
// as FillWords does, so that they differ from it only in how many stores an iteration issues.

void StoreLoop32x1(uint32_t* words, uint32_t value, uint32_t count) {
  volatile uint32_t* word = words;
  for (uint32_t rest = count; rest != 0; --rest) {
    *word++ = value;
  }
}

void StoreLoop32x2(uint32_t* words, uint32_t value, uint32_t count) {
  volatile uint32_t* word = words;
  for (uint32_t blocks = count / 2; blocks != 0; --blocks) {
    word[0] = value;
    word[1] = value;
    word += 2;
  }
  if (count % 2 != 0) {
    *word = value;
  }
}

void StoreLoop32x4(uint32_t* words, uint32_t value, uint32_t count) {
  volatile uint32_t* word = words;
  for (uint32_t blocks = count / 4; blocks != 0; --blocks) {
    word[0] = value;
    word[1] = value;
    word[2] = value;
    word[3] = value;
    word += 4;
  }
  for (uint32_t rest = count % 4; rest != 0; --rest) {
    *word++ = value;
  }
}

void StoreLoop64(uint32_t* words, uint32_t value, uint32_t count) {
  const uint64_t pair = (static_cast<uint64_t>(value) << 32) | value;
  volatile uint64_t* quad = reinterpret_cast<uint64_t*>(words);
  for (uint32_t blocks = count / 8; blocks != 0; --blocks) {
    quad[0] = pair;
    quad[1] = pair;
    quad[2] = pair;
    quad[3] = pair;
    quad += 4;
  }
  volatile uint32_t* word = reinterpret_cast<volatile uint32_t*>(quad);
  for (uint32_t rest = count % 8; rest != 0; --rest) {
    *word++ = value;
  }
}

void MemsetLoop(uint32_t* words, uint32_t value, uint32_t count) {
  // The destination is the caller's memory, reached through a parameter, so the call cannot be
  // dropped; the callers also pass the array to benchmark::DoNotOptimize / read it back.
  std::memset(words, static_cast<unsigned char>(value), static_cast<std::size_t>(count) * 4u);
}
