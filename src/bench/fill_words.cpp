#include "bench/write_speed.h"

// This loop is what Brevonix measures, so the compiler must emit exactly the stores written
// here: volatile keeps every 32-bit store, in order, in every pass, and stops the loop from
// becoming a memset, vector or non-temporal stores. The body issues eight stores per
// iteration so that the loop's own branch does not cap the store rate.
void FillWords(uint32_t* words, uint32_t value, uint32_t count) {
  volatile uint32_t* word = words;
  for (uint32_t blocks = count / 8; blocks != 0; --blocks) {
    word[0] = value;
    word[1] = value;
    word[2] = value;
    word[3] = value;
    word[4] = value;
    word[5] = value;
    word[6] = value;
    word[7] = value;
    word += 8;
  }
  for (uint32_t rest = count % 8; rest != 0; --rest) {
    *word++ = value;
  }
}
