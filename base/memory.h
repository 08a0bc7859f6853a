#pragma once
// Moving and filling memory without a C library (the stub has none); the host
// build uses its C library's where that is the quicker.
#include <stddef.h>
#include <stdint.h>

// Forward copy (the stub's moves bytes at ascending addresses, the host's is
// the C library's move): only where dst lies below src or the areas do not
// overlap.
void mem_copy_forward(void* dst, const void* src, size_t n);
void mem_fill(void* dst, uint8_t value, size_t n);
// n 32-bit words of `value` (the tables' empty entries).
void mem_fill32(uint32_t* dst, uint32_t value, size_t n);
