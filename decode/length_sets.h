#pragma once
// Code-length sets: the lengths of a block's table sets, read together at the
// block's start, coded with the 21-symbol pre-code as changes against the set
// before; and the default set of a block that sends none.
//
// The lengths array holds set_count sets of set_size bytes back to back (set j
// at j * set_size), each laid out as decode/format.h says.
#include <stdint.h>

#include "decode/format.h"

// One table set's lengths within the lengths array.
struct CodeLengthSet {
  const uint8_t* lengths;  // set_size bytes
  const uint8_t* litlen() const { return lengths; }
  const uint8_t* distance(uint32_t table) const { return lengths + distance_starts[table]; }
};

// Reads the pre-code and then set_count sets into `lengths` (set_count *
// set_size bytes); with set_count 0 reads nothing and fills the default set
// (344 bytes) for `window_size` (history + bytes to produce). Writes the bit
// reader's position back on every path. 0, ERR_DAMAGED (a pre-code length
// above 16, or bits that match no pre-code), or the failure of a refill
// (ERR_TRUNCATED, ERR_CANCELLED, -1). On failure the array keeps what was
// written.
int read_length_sets(uint8_t* lengths, uint32_t set_size, uint32_t set_count,
                     uint32_t window_size);
// Reads the pre-code alone (the first step of read_length_sets) and copies its
// 21 lengths out; the pre-code table is then ready. Same results as there.
int read_precode(uint8_t* lengths);
// Fills a 344-byte set with the default lengths; every code in it is complete.
void default_length_set(uint8_t* lengths, uint32_t window_size);
