// The two memory routines of the decoder. The stub has no C library; these are
// what the decoder uses to move bytes (the compiler may still turn the fill
// into a memset call, which the stub provides).
#include "decode/input.h"

void mem_copy_forward(void* dst, const void* src, size_t n) {
  uint8_t* d = (uint8_t*)dst;
  const uint8_t* s = (const uint8_t*)src;
  // Each group is loaded whole before it is stored, and with d below s a store
  // never reaches a group not yet loaded: safe for the overlapping moves of
  // history to the window's start.
  while (n >= 8) {
    uint64_t v = load_le64(s);
    __builtin_memcpy(d, &v, 8);
    d += 8;
    s += 8;
    n -= 8;
  }
  while (n != 0) {
    *d++ = *s++;
    n--;
  }
}

void mem_fill(void* dst, uint8_t value, size_t n) {
  uint8_t* d = (uint8_t*)dst;
  while (n != 0) {
    *d++ = value;
    n--;
  }
}
