// The routines that the compiler emits calls to (structure copies, zeroed
// arrays, copy, fill and string-length loops it recognises). The stub links no C runtime, so they
// are defined here. This file is compiled with loop-pattern recognition off,
// or the compiler would turn these very loops back into calls to themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* dst, const void* src, size_t n) {
  void* result = dst;
  __asm__ volatile("rep movsb" : "+D"(dst), "+S"(src), "+c"(n) : : "memory");
  return result;
}

void* memset(void* dst, int value, size_t n) {
  void* result = dst;
  __asm__ volatile("rep stosb" : "+D"(dst), "+c"(n) : "a"(value) : "memory");
  return result;
}

// Overlapping areas: copies upward when the destination lies below the source,
// downward otherwise, so no byte is read after it has been overwritten.
void* memmove(void* dst, const void* src, size_t n) {
  unsigned char* d = (unsigned char*)dst;
  const unsigned char* s = (const unsigned char*)src;
  if (d <= s || d >= s + n) return memcpy(dst, src, n);
  while (n) {
    n--;
    d[n] = s[n];
  }
  return dst;
}

int memcmp(const void* a, const void* b, size_t n) {
  const unsigned char* x = (const unsigned char*)a;
  const unsigned char* y = (const unsigned char*)b;
  for (size_t i = 0; i < n; i++)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  return 0;
}

size_t strlen(const char* s) {
  size_t n = 0;
  while (s[n]) n++;
  return n;
}

}  // extern "C"
