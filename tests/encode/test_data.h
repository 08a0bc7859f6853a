#pragma once
// Deterministic test inputs.
#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace testdata {

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed);
// Words and punctuation with a skewed vocabulary: long and short repeats.
std::vector<uint8_t> text(size_t n, uint32_t seed);
// x86-like code: many E8 calls to a few hundred targets, E8 bytes inside
// operands, prologues and padding; begins with an MZ/PE header when pe is set.
std::vector<uint8_t> x86_code(size_t n, uint32_t seed, bool pe = false);
// Mixed: text, code and random stretches.
std::vector<uint8_t> mixed(size_t n, uint32_t seed);

}  // namespace testdata
