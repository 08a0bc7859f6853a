#include "base/text.h"

const char* str_find(const char* s, char c) {
  for (;; s++) {
    if (*s == c) return s;
    if (*s == 0) return 0;
  }
}

const char* str_find_last(const char* s, char c) {
  const char* found = 0;
  for (;; s++) {
    if (*s == c) found = s;
    if (*s == 0) return found;
  }
}

const uint8_t* mem_find(const uint8_t* block, uint8_t b, size_t count) {
  for (size_t i = 0; i < count; i++) {
    if (block[i] == b) return block + i;
  }
  return 0;
}

int mem_compare(const uint8_t* a, const uint8_t* b, size_t count) {
  for (size_t i = 0; i < count; i++) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

size_t str_length(const char* s) {
  size_t n = 0;
  while (s[n]) n++;
  return n;
}

int str_copy(char* dst, size_t capacity, const char* src) {
  size_t n = 0;
  while (n < capacity && src[n]) n++;
  if (n >= capacity) return 0;  // the terminator would not fit
  for (size_t i = 0; i <= n; i++) dst[i] = src[i];
  return 1;
}
