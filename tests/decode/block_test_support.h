#pragma once
// Running decode_block on bytes in memory, by both loops at once.
#include <stdint.h>

#include <vector>

namespace dectest {

struct Decoded {
  int32_t result;            // count produced or the negative code
  std::vector<uint8_t> out;  // history + the bytes produced
  uint64_t bits;             // reader position afterwards, in bits from the start
  bool operator==(const Decoded& o) const {
    return result == o.result && out == o.out && bits == o.bits;
  }
};

// One decode of `stream` (the block header first) after `history`, asking for
// `want` bytes; by the reference loop alone or with the fast loop.
Decoded decode_once(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& history,
                    uint32_t want, bool reference);
// Both ways; a gtest failure when they differ in anything. Returns the result.
Decoded decode_both(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& history,
                    uint32_t want);

}  // namespace dectest
