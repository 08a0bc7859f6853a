#pragma once
// Fast decode tables: what the fast decode loop and the careful step look
// symbols up in. One 32-bit entry tells everything about a symbol, so a
// literal or a match length takes one lookup for codes up to the main width
// (11 bits for literal/length, 8 for distances) and two for longer codes,
// which continue in a subtable.
//
// Literal/length entries:
//   bits 0-7    bits the entry consumes: the code and, for a match length, its
//               extra bits (at most 16 + 15); 0 in an entry without a symbol.
//               Bits 6-7 are 0, so the whole low byte is the count.
//   bits 8-12   the code's length; the extra bits are the (total - length)
//               bits that follow it
//   bit 15      FAST_EXCEPTIONAL: anything the fast loop does not decode
//               itself: the end of a set, a subtable pointer, an entry
//               without a code, a length whose distance table the block lacks
//   bits 13-14  in an exceptional entry: bit 13 FAST_END_OF_SET (symbol
//               256), bit 14 FAST_SUBTABLE (a pointer to a subtable, see
//               below); in a match length's entry: its distance table (0-2),
//               placed so that masking it off gives the table's byte offset
//   bits 16-24  a match length's base
//   bits 16-23  a literal's byte, with bit 31 FAST_LITERAL (one sign test on
//               the hottest path)
// Distance entries:
//   bits 0-5    bits the entry consumes: the code and its extra bits (at most
//               16 + 18); 0 in an entry without a symbol
//   bits 6-10   the code's length
//   bit 11      FAST_SHIFT: the repeat registers shift (the previous distance
//               takes the last one, the last one the distance decoded)
//   bits 12-31  the distance (1-4), its base (new distances), or 0 for the
//               two repeat symbols, which take the last distance (without
//               FAST_SHIFT) or the previous one (with it)
// A subtable pointer consumes nothing; it has the subtable's index width w in
// the code length field and its first entry (never 0) in bits 16-31. The
// subtable is indexed by the w bits that follow the main bits. Subtable
// entries hold the full code length, so a symbol consumes its code from the
// first bit either way, and never point further. An entry without a code is
// FAST_EMPTY_LITLEN (FAST_EXCEPTIONAL alone) or FAST_EMPTY_DISTANCE (0).
//
// The tables are built only for codes whose lengths are not over-subscribed;
// such a code is prefix-free, so for every input it yields exactly the symbol
// (or the emptiness) that the reference lookup and tree yield, whenever the
// reference table holds the code whole.
#include <stdint.h>

constexpr uint32_t FAST_LITLEN_BITS = 11;
constexpr uint32_t FAST_DIST_BITS = 8;

constexpr uint32_t FAST_END_OF_SET = 1u << 13;
constexpr uint32_t FAST_SUBTABLE = 1u << 14;
constexpr uint32_t FAST_EXCEPTIONAL = 1u << 15;
constexpr uint32_t FAST_LITERAL = 1u << 31;
constexpr uint32_t FAST_SHIFT = 1u << 11;
constexpr uint32_t FAST_EMPTY_LITLEN = FAST_EXCEPTIONAL;
constexpr uint32_t FAST_EMPTY_DISTANCE = 0;
// Where the code length field starts, and what a code of length l adds to a
// template (which carries the extra bits in the consumed count): l in both
// the consumed count and the length field.
constexpr uint32_t FAST_LITLEN_LENGTH_SHIFT = 8;
constexpr uint32_t FAST_DIST_LENGTH_SHIFT = 6;
constexpr uint32_t FAST_LITLEN_UNIT = 1 + (1u << FAST_LITLEN_LENGTH_SHIFT);
constexpr uint32_t FAST_DIST_UNIT = 1 + (1u << FAST_DIST_LENGTH_SHIFT);

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
// The tables of a set lie in one array: the literal/length table first, the
// distance tables from FAST_DIST_FIRST on, FAST_DIST_STRIDE entries apart, a
// power of two so that a length entry's table bits are the offset in bytes.
constexpr uint32_t FAST_DIST_FIRST = FAST_LITLEN_ENOUGH;
constexpr uint32_t FAST_DIST_STRIDE = 2048;
constexpr uint32_t FAST_TABLES_SIZE = FAST_DIST_FIRST + 3 * FAST_DIST_STRIDE;
constexpr uint32_t FAST_TABLE_SHIFT = 13;
static_assert(FAST_DIST_STRIDE >= FAST_DIST_ENOUGH, "a distance table fits its stride");
static_assert(FAST_DIST_STRIDE * sizeof(uint32_t) == 1u << FAST_TABLE_SHIFT,
              "a length entry's table bits are the table's offset in bytes");

// Entry templates (everything but the code length) of the 288 literal/length
// symbols, for a block of 1 to 3 distance tables, and of the 42 distance
// symbols.
void litlen_templates(uint32_t* out, uint32_t distance_tables);
void distance_templates(uint32_t* out);

// What sets the literal/length tables and the distance tables apart.
struct FastTableKind {
  uint32_t main_bits;     // width of the main table
  uint32_t length_shift;  // where an entry's code length field starts
  uint32_t capacity;      // entries a table may take
  uint32_t pointer;       // the flags of a subtable pointer
  uint32_t empty;         // the entry without a code
};
inline constexpr FastTableKind FAST_LITLEN_TABLE = {
    FAST_LITLEN_BITS, FAST_LITLEN_LENGTH_SHIFT, FAST_LITLEN_ENOUGH, FAST_EXCEPTIONAL | FAST_SUBTABLE,
    FAST_EMPTY_LITLEN};
inline constexpr FastTableKind FAST_DIST_TABLE = {FAST_DIST_BITS, FAST_DIST_LENGTH_SHIFT, FAST_DIST_ENOUGH, 0,
                                                  FAST_EMPTY_DISTANCE};

// Builds a fast table of the given kind from the code `lengths` of n symbols
// (n <= 288), with templates[s] describing symbol s.
// Returns FAST_BUILT for a complete or empty code, FAST_BUILT_INCOMPLETE for
// an incomplete one, or 0 when the code is over-subscribed or would not fit
// (then the table is not to be used; every write stayed inside it all the
// same).
constexpr int FAST_BUILT = 1;
constexpr int FAST_BUILT_INCOMPLETE = 2;
int build_fast_table(uint32_t* table, const FastTableKind& kind, const uint8_t* lengths,
                     const uint32_t* templates, uint32_t n);

// The entry for the code at the start of `bits` (at least 16 valid bits): the
// main entry, or the subtable entry it points to. A pointer is the one kind of
// entry that consumes nothing and has a first entry (never 0) in bits 16-31.
inline uint32_t fast_lookup(const uint32_t* table, uint32_t main_bits, uint32_t length_shift,
                            uint64_t bits) {
  uint32_t entry = table[bits & ((1u << main_bits) - 1)];
  if ((entry & 63) == 0 && entry > 0xFFFF) {
    entry = table[(entry >> 16) + ((uint32_t)(bits >> main_bits) &
                                   ((1u << ((entry >> length_shift) & 31)) - 1))];
  }
  return entry;
}
