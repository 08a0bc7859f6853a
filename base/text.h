#pragma once
// Byte strings: NUL-terminated texts and counted byte runs, for code that has
// no C library to call (the stub) and must behave alike on the host.
#include <stddef.h>
#include <stdint.h>

// First occurrence of c (c == 0: the terminator), or null.
const char* str_find(const char* s, char c);
// Last occurrence of c (c == 0: the terminator), or null.
const char* str_find_last(const char* s, char c);
// First byte equal to b within count bytes, or null.
const uint8_t* mem_find(const uint8_t* block, uint8_t b, size_t count);
// 0 when equal (or count 0); otherwise -1 or 1 by the first differing byte, unsigned.
int mem_compare(const uint8_t* a, const uint8_t* b, size_t count);
// Bytes before the terminator.
size_t str_length(const char* s);
// Copies src with its terminator into dst of `capacity` bytes: 1, or 0 with
// dst unchanged when it does not fit.
int str_copy(char* dst, size_t capacity, const char* src);
