#pragma once
// The forward call filters: the writer's side of the stub's call translation.
//
// Both scan a member from its first byte. An 0xE8 byte whose operand (2 or 4
// bytes) lies wholly inside the member is a call: its operand is rewritten and
// the scan goes on after the operand, so an 0xE8 inside an operand is never a
// call. An 0xE8 in the member's last bytes, with its operand cut off, is left
// alone. This is the reader's scan, so both find the same calls.
//
// 32-bit, member size N, operand o (relative) at member offset p, all modulo
// 2^32: if o + p < N it is stored as o + p; else if o + p < N + p it is stored
// as N - p - 1 - o (the reader sees a value in [-p, -1]); else it is stored
// unchanged. The reader's inverse needs N < 2^31, so larger members are never
// filtered (filter_allowed).
// 16-bit: the operand w is stored as (w + p) mod 65536.
#include <stddef.h>
#include <stdint.h>

namespace qev {

void filter_e8_32(uint8_t* data, size_t size);
void filter_e8_16(uint8_t* data, size_t size);
// The inverse the stub applies, for tests and for checking.
void unfilter_e8_32(uint8_t* data, size_t size);
void unfilter_e8_16(uint8_t* data, size_t size);
inline bool filter_allowed(size_t size) { return size < 0x80000000u; }

// True for an x86 (i386 or AMD64) PE executable or library, judged by its
// content: "MZ", a PE header inside the file with "PE\0\0", and the machine field.
bool is_x86_pe(const uint8_t* data, size_t size);

}  // namespace qev
