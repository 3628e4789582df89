// Reference store loops that FillWords is compared with. Each fills `count` consecutive 32-bit
// words from `words` upwards with `value`, in ascending order, and is compiled in its own
// translation unit, so that every pass is an out-of-line call, as FillWords is in Brevonix.
#pragma once

#include <cstdint>

// One volatile 32-bit store per loop iteration.
void StoreLoop32x1(uint32_t* words, uint32_t value, uint32_t count);
// Volatile 32-bit stores, two per loop iteration.
void StoreLoop32x2(uint32_t* words, uint32_t value, uint32_t count);
// Volatile 32-bit stores, four per loop iteration.
void StoreLoop32x4(uint32_t* words, uint32_t value, uint32_t count);
// Volatile 64-bit stores (each carries `value` twice), four per loop iteration. `words` must be
// 8-byte aligned.
void StoreLoop64(uint32_t* words, uint32_t value, uint32_t count);
// The C library's memset; only meaningful for a value whose four bytes are equal (0 here).
void MemsetLoop(uint32_t* words, uint32_t value, uint32_t count);

typedef void (*StoreLoop)(uint32_t* words, uint32_t value, uint32_t count);

struct NamedStoreLoop {
  const char* name;
  StoreLoop loop;
  bool is32BitStores;  // counts for "best 32-bit store loop"
};
