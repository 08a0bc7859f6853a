#pragma once
// Canonical Huffman codes for the writer.
//
// build_code_lengths gives every symbol with a non-zero frequency a length of
// 1..limit and every other symbol 0. The lengths never over-subscribe (Kraft
// sum <= 1); with two or more used symbols the code is complete, with exactly
// one used symbol that symbol gets length 1 (the reader accepts an incomplete
// code). Ties are broken by symbol number, so the result is deterministic.
//
// build_canonical_codes assigns codes the way the reader does: shorter codes
// first, equal lengths in ascending symbol order, and stores each code
// bit-reversed so that writing it LSB-first sends its first bit first.
#include <stdint.h>

namespace qev {

void build_code_lengths(const uint32_t* freq, int n, int limit, uint8_t* lengths);
void build_canonical_codes(const uint8_t* lengths, int n, uint16_t* codes);

}  // namespace qev
