#pragma once
// The coded alphabets of a compressed block, seen from the writer's side.
//
// Literal/length symbols (288): 0-255 literals, 256 ends a table set, 257-265
// lengths 2-10, 266-285 lengths 11-258 in groups of four with 1-5 extra bits,
// 286 (and 287, never written) length 259 + a 15-bit extra field.
//
// Distance codes: a match's "distance code" is what the writer stores in an
// item before symbols are chosen: 0 repeats last_distance, 1 repeats
// prev_distance (and swaps the registers), any other value is distance + 1, so
// distances 1-4 are directly symbols 2-5 and leave the registers alone, and
// distances of 5 and more take symbols 6-41 (pairs with p + 1 extra bits) and
// push onto the registers.
//
// Which distance table a match uses is fixed by its length: 2 -> table 1
// (symbols 0-13, distances up to 64), 3 -> table 2 (symbols 0-27, distances up
// to 8192) when the block has three tables, else table 0 (42 symbols).
#include <stdint.h>

#include "decode/format.h"
#include "decode/frame_header.h"
#include "decode/length_sets.h"

namespace qev {

// The format's numbers (decode/format.h) as the writer's signed counts.
constexpr int LITLEN_SYMBOLS = (int)::LITLEN_SYMBOLS;
constexpr int END_OF_SET = (int)::END_OF_SET;
constexpr int LONG_LENGTH_SYMBOL = 286;
constexpr uint32_t MIN_MATCH = 2;
constexpr uint32_t MAX_MATCH = 259 + 0x7FFF;  // 33026
constexpr int DIST_SYMBOLS[3] = {(int)distance_sizes[0], (int)distance_sizes[1],
                                 (int)distance_sizes[2]};
constexpr int DIST_STARTS[3] = {(int)distance_starts[0], (int)distance_starts[1],
                                (int)distance_starts[2]};
constexpr int SET_SIZE_SMALL = (int)SET_SIZE_TWO_TABLES;     // one or two distance tables
constexpr int SET_SIZE_LARGE = (int)SET_SIZE_THREE_TABLES;   // three distance tables
constexpr int MAX_SET_COUNT = (int)::MAX_SET_COUNT;
constexpr int MAX_CODE_LENGTH = (int)::MAX_CODE_LENGTH;
constexpr uint32_t TABLE1_MAX_DISTANCE = 64;
constexpr uint32_t TABLE2_MAX_DISTANCE = SMALL_WINDOW;
constexpr uint32_t MAX_BLOCK_SIZE = FRAME_FIELD_MAX;    // the frame's size field
constexpr uint32_t MAX_FRAME_LENGTH = FRAME_FIELD_MAX;  // the frame's length field
// The biggest stored block whose frame (header bytes + data) fits the field.
constexpr uint32_t MAX_STORED_BLOCK = MAX_FRAME_LENGTH - FRAME_HEADER_BYTES;
// The most history the reader keeps in front of a block.
constexpr uint32_t WINDOW_SIZE = MAX_HISTORY;
// The farthest a match may reach: distance symbol 41 ends at 2^20. The reader
// copies from anywhere in its buffer, which holds the kept history and the
// block's output so far, so inside a long block a match reaches up to
// kept history + offset in the block, past WINDOW_SIZE.
constexpr uint32_t MAX_MATCH_DISTANCE = 1u << 20;

inline int bit_width(uint32_t v) { return 32 - __builtin_clz(v); }  // v > 0

struct LengthCode { uint16_t symbol; uint8_t extra_bits; uint16_t extra; };
inline LengthCode length_code(uint32_t len) {
  if (len <= 10) return {(uint16_t)(255 + len), 0, 0};
  if (len <= 258) {
    uint32_t v = len - 3;               // 8..255
    int e = bit_width(v) - 3;           // 1..5 extra bits
    return {(uint16_t)(266 + 4 * (e - 1) + ((v >> e) & 3)), (uint8_t)e,
            (uint16_t)(v & ((1u << e) - 1))};
  }
  return {(uint16_t)LONG_LENGTH_SYMBOL, 15, (uint16_t)(len - 259)};
}
inline int length_extra_bits(int symbol) {
  if (symbol < 266) return 0;
  if (symbol < 286) return 1 + (symbol - 266) / 4;
  return 15;
}

struct DistanceCode { uint8_t symbol; uint8_t extra_bits; uint32_t extra; };
inline DistanceCode distance_code(uint32_t dcode) {
  if (dcode < 6) return {(uint8_t)dcode, 0, 0};
  uint32_t v = dcode - 2;  // distance - 1, at least 4
  int p = bit_width(v) - 3;
  return {(uint8_t)(6 + 2 * p + ((v >> (p + 1)) & 1)), (uint8_t)(p + 1),
          v & ((1u << (p + 1)) - 1)};
}
inline int distance_extra_bits(int symbol) { return symbol < 6 ? 0 : (symbol - 6) / 2 + 1; }

// The distance table of a match of length len in a block with `tables` tables.
inline int distance_table(uint32_t len, int tables) {
  if (len == 2) return 1;
  if (len == 3 && tables == 3) return 2;
  return 0;
}

// The default set (set count 0): the decoder's own (decode/length_sets.h).
using ::default_length_set;

}  // namespace qev
