// The memory routines of the decoder. The stub has no C library; these are
// what the decoder uses to move bytes (the compiler may still turn the fill
// into a memset call, which the stub provides).
#include "base/compact.h"
#include "base/memory.h"

void mem_copy_forward(void* dst, const void* src, size_t n) {
  uint8_t* d = (uint8_t*)dst;
  const uint8_t* s = (const uint8_t*)src;
#if QEV_COMPACT && defined(__x86_64__)
  // In the compact form (the stub's): one string move, defined as byte moves at
  // ascending addresses (the direction flag is clear at every call), which
  // the processor performs in wide groups wherever that gives the same bytes.
  __asm__ volatile("rep movsb" : "+D"(d), "+S"(s), "+c"(n) : : "memory");
#else
  // The host has a C library, whose move is the fastest and right for any
  // overlap, the moves of history to the window's start included.
  __builtin_memmove(d, s, n);
#endif
}

void mem_fill(void* dst, uint8_t value, size_t n) {
  uint8_t* d = (uint8_t*)dst;
#if QEV_COMPACT && defined(__x86_64__)
  // Compact form: one string store.
  __asm__ volatile("rep stosb" : "+D"(d), "+c"(n) : "a"(value) : "memory");
#else
  while (n != 0) {
    *d++ = value;
    n--;
  }
#endif
}

void mem_fill32(uint32_t* dst, uint32_t value, size_t n) {
#if QEV_COMPACT && defined(__x86_64__)
  __asm__ volatile("rep stosl" : "+D"(dst), "+c"(n) : "a"(value) : "memory");
#else
  for (size_t i = 0; i < n; i++) dst[i] = value;
#endif
}
