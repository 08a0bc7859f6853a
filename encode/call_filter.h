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

#include "archive/layout.h"

namespace qev {

void filter_e8_32(uint8_t* data, size_t size);
void filter_e8_16(uint8_t* data, size_t size);

// The forward filter of a member that arrives in pieces (flags FLAG_E8_16 or
// FLAG_E8_32, member size `size`). run() takes `at`, the member's bytes from
// done() up to offset `have`, filters what it can decide and returns the new
// done(): every byte before it is final, and the few after it wait for the
// rest of an operand. Fed the whole member, in any pieces, it gives what the
// whole-member filter gives.
class CallFilterRun {
 public:
  CallFilterRun(uint8_t flags, uint64_t size) : unit_(flags == FLAG_E8_16 ? 3 : 5), size_(size) {}
  uint64_t run(uint8_t* at, uint64_t have);
  uint64_t done() const { return next_; }

 private:
  uint32_t unit_;      // the call byte and its operand
  uint64_t size_;
  uint64_t next_ = 0;  // member offset of the next byte to look at
};
// The inverse the stub applies, for tests and for checking.
void unfilter_e8_32(uint8_t* data, size_t size);
void unfilter_e8_16(uint8_t* data, size_t size);
inline bool filter_allowed(size_t size) { return size < 0x80000000u; }

// True for an x86 (i386 or AMD64) PE executable or library, judged by its
// content: "MZ", a PE header inside the file with "PE\0\0", and the machine field.
bool is_x86_pe(const uint8_t* data, size_t size);
// The same in two steps, for a file read in pieces: the offset of the PE
// header that the first 64 bytes of an "MZ" file of `size` bytes point to
// (with 24 bytes inside the file), or 0; then whether those 24 bytes are an
// x86 PE header.
uint64_t pe_header_at(const uint8_t* head64, uint64_t size);
bool is_x86_pe_header(const uint8_t* header24);
// True for an x86 (i386 or x86-64) ELF program or shared library, judged by
// its first 20 bytes: "\x7F""ELF", little-endian, type executable or shared
// object. Relocatable objects (and archives of them) are not: their call
// operands are placeholders that relocations fill, all alike before the filter
// and all different after it.
bool is_x86_elf_image(const uint8_t* head, size_t len);

}  // namespace qev
