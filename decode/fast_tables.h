#pragma once
// Fast decode tables: what the fast decode loop looks symbols up in. One
// 32-bit entry tells everything about a symbol, so a literal or a match length
// takes one lookup for codes up to the main width (11 bits for literal/length,
// 8 for distances) and two for longer codes, which continue in a subtable.
//
// Entry layout, literal/length table:
//   bits 0-4    code length in bits (1..16); 0 marks an entry without a symbol
//   bits 5-9    extra bits that follow the code (0..15)
//   bits 12-13  a match's distance table (0..2), FAST_NO_TABLE when the block
//               has none for its length
//   bit 14      FAST_END_OF_SET: symbol 256
//   bit 15      FAST_LITERAL: a literal (one test on the hottest path)
//   bits 16-31  the literal byte, or the match length's base (a match has
//               neither bit 14 nor bit 15)
// Entry layout, distance tables:
//   bits 0-4    code length; 0 marks an entry without a symbol
//   bits 5-9    extra bits that follow the code (0..18)
//   bits 10-11  FAST_LAST, FAST_PREV, FAST_FIXED or FAST_NEW: which distance
//               the symbol means and how the two repeat registers change
//   bits 12-31  the distance (FAST_FIXED) or its base (FAST_NEW)
// An entry whose code length is 0 is either FAST_EMPTY (0: no code starts with
// these bits) or, in the main part, a subtable pointer: bits 5-9 the
// subtable's index width w, bits 16-31 its first entry; the subtable is indexed
// by the w bits that follow the main bits. Subtable entries hold the full code
// length, so a symbol consumes its code from the first bit either way.
//
// The tables are built only for codes whose lengths are not over-subscribed;
// such a code is prefix-free, so for every input it yields exactly the symbol
// (or the emptiness) that the reference lookup and tree yield.
#include <stdint.h>

constexpr uint32_t FAST_LITLEN_BITS = 11;
constexpr uint32_t FAST_DIST_BITS = 8;

constexpr uint32_t FAST_EMPTY = 0;
constexpr uint32_t FAST_LITERAL = 1u << 15;
constexpr uint32_t FAST_END_OF_SET = 1u << 14;
constexpr uint32_t FAST_NO_TABLE = 3;
constexpr uint32_t FAST_LAST = 0;   // last_distance; registers unchanged
constexpr uint32_t FAST_PREV = 1;   // prev_distance; the registers swap
constexpr uint32_t FAST_FIXED = 2;  // distances 1..4; registers unchanged
constexpr uint32_t FAST_NEW = 3;    // base + extra bits; registers shift

// Worst-case table sizes for a prefix-free code of n symbols with a main width
// of m bits and codes of at most 16 bits. The codes of one length l > m are
// consecutive, so they share at most c_l / 2^(l-m) + 2 main prefixes; a
// subtable is as wide as its longest code needs, and each of the
// subtables whose longest code has length l holds 2^(l-m) entries. Summed over
// l: at most n + 2 * (2 + 4 + ... + 2^(16-m)) subtable entries.
constexpr uint32_t fast_table_enough(uint32_t n, uint32_t m) {
  return (1u << m) + n + 2 * ((2u << (16 - m)) - 2);
}
constexpr uint32_t FAST_LITLEN_ENOUGH = fast_table_enough(288, FAST_LITLEN_BITS);  // 2460
constexpr uint32_t FAST_DIST_ENOUGH = fast_table_enough(42, FAST_DIST_BITS);       // 1318
static_assert(FAST_LITLEN_ENOUGH == 2460 && FAST_DIST_ENOUGH == 1318, "bound as derived");

// Entry templates (everything but the code length) for one symbol.
uint32_t litlen_template(uint32_t symbol, uint32_t distance_tables);
uint32_t distance_template(uint32_t symbol);

// Builds a fast table of `capacity` entries from the reversed canonical codes
// (build_codes) of `lengths`, with templates[s] describing symbol s. Returns 1,
// or 0 when the code is over-subscribed or would not fit (then the table is
// not to be used; every write stayed inside it all the same).
int build_fast_table(uint32_t* table, uint32_t capacity, uint32_t main_bits,
                     const uint8_t* lengths, const uint32_t* codes, const uint32_t* templates,
                     uint32_t n);
