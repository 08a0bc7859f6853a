#pragma once
// Codes the code lengths of a block's table sets the way the reader reads
// them: the 21 pre-code lengths in 5-bit fields (a field of 2 or more is a
// length plus one; 0 and 1 are zero-run digits whose multiplier doubles), then
// one pre-code symbol stream for all sets together:
//   0-16   change: new length = (base + symbol) mod 17, base = the previous
//          set's length at this place when that set exists and it is not 0,
//          else the current length; the new length becomes the current length
//   17/18  zero run digit 1/2 (times the zero-run multiplier)
//   19/20  repeat run digit 1/2: each position takes the previous set's
//          length (when present and not 0, becoming the current length) or
//          else the current length
// A run of r positions is r written as a bijective base-2 number, least
// significant digit first; the reader's multipliers double along consecutive
// symbols of one kind and restart with any other symbol, so two runs of the
// same kind never stand next to each other here.
//
// The current length starts at 0 and carries across sets, as in the reader.
#include <stdint.h>

#include <vector>

#include "encode/bit_writer.h"
#include "encode/symbols.h"

namespace qev {

// Pre-code symbols for `set_count` sets of `set_size` lengths each.
void tokenize_length_sets(const uint8_t* lengths, int set_size, int set_count,
                          std::vector<uint8_t>& tokens);

// The coded form of a block's length sets: pre-code lengths and symbols.
struct LengthSetCoding {
  std::vector<uint8_t> tokens;
  uint8_t precode_lengths[PRECODE_SYMBOLS];
  uint16_t precode_codes[PRECODE_SYMBOLS];
  uint64_t bits;  // exact size when written
};
void plan_length_sets(const uint8_t* lengths, int set_size, int set_count, LengthSetCoding& out);
void write_length_sets(BitWriter& w, const LengthSetCoding& coding);

// Rough cost in bits of sending `cur` after `prev` (null for a first set),
// for deciding where table sets split.
uint32_t estimate_set_bits(const uint8_t* prev, const uint8_t* cur, int set_size);

}  // namespace qev
