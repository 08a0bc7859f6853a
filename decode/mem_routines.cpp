// The two memory routines of the decoder. The stub has no C library; these are
// what the decoder uses to move bytes (the compiler may still turn the fill
// into a memset call, which the stub provides).
#include "decode/input.h"

#include <emmintrin.h>

void mem_copy_forward(void* dst, const void* src, size_t n) {
  uint8_t* d = (uint8_t*)dst;
  const uint8_t* s = (const uint8_t*)src;
#if defined(__OPTIMIZE_SIZE__) && defined(__x86_64__)
  // Built for size (the stub): one string move, defined as byte moves at
  // ascending addresses (the direction flag is clear at every call), which
  // the processor performs in wide groups wherever that gives the same bytes.
  __asm__ volatile("rep movsb" : "+D"(d), "+S"(s), "+c"(n) : : "memory");
#else
  // Each group is loaded whole before it is stored, and with d below s a store
  // never reaches a group not yet loaded: safe for the overlapping moves of
  // history to the window's start.
  while (n >= 32) {
    const __m128i a = _mm_loadu_si128((const __m128i*)s);
    const __m128i b = _mm_loadu_si128((const __m128i*)(s + 16));
    _mm_storeu_si128((__m128i*)d, a);
    _mm_storeu_si128((__m128i*)(d + 16), b);
    d += 32;
    s += 32;
    n -= 32;
  }
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
#endif
}

void mem_fill(void* dst, uint8_t value, size_t n) {
  uint8_t* d = (uint8_t*)dst;
#if defined(__OPTIMIZE_SIZE__) && defined(__x86_64__)
  // Built for size: one string store.
  __asm__ volatile("rep stosb" : "+D"(d), "+c"(n) : "a"(value) : "memory");
#else
  while (n != 0) {
    *d++ = value;
    n--;
  }
#endif
}
