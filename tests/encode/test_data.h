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

// A stub image as the Windows build lays it out, built by hand: a 64-bit PE
// with a code section and, last, a data section whose first bytes are the
// configuration block (this build's initial block, its text pointers moved
// to the image's addresses), cut behind its last nonzero byte as the build
// cuts it. STUB_IMAGE_BASE and STUB_BLOCK_ADDRESS give its addresses.
constexpr uint64_t STUB_IMAGE_BASE = 0x140000000ull;
constexpr uint64_t STUB_BLOCK_ADDRESS = STUB_IMAGE_BASE + 0x2000;
std::vector<uint8_t> stub_image();

}  // namespace testdata
