#include "decode/fast_tables.h"

#include "decode/huffman.h"
#include "decode/input.h"
#include "decode/length_sets.h"

void litlen_templates(uint32_t* out, uint32_t distance_tables) {
  for (uint32_t s = 0; s < END_OF_SET; s++) out[s] = FAST_LITERAL | (s << 16);
  out[END_OF_SET] = FAST_EXCEPTIONAL | FAST_END_OF_SET;
  // Lengths 2 to 10 without extra bits (symbols 257-265), then four symbols
  // per step g with g + 1 extra bits (266-285), each base following the
  // previous symbol's lengths; 286 and 287 both 259 with 15 extra bits.
  uint32_t base = 2;
  for (uint32_t s = END_OF_SET + 1; s < LITLEN_SYMBOLS; s++) {
    const uint32_t extra = s < 266 ? 0 : s < 286 ? ((s - 266) >> 2) + 1 : 15;
    // Length 2 takes distance table 1 (none in a one-table block: such an
    // entry is exceptional), length 3 table 2 when the block has three,
    // every other length table 0.
    uint32_t entry = extra | (base << 16);
    if (base == 2) entry |= distance_tables == 1 ? FAST_EXCEPTIONAL : 1u << FAST_TABLE_SHIFT;
    if (base == 3 && distance_tables == 3) entry |= 2u << FAST_TABLE_SHIFT;
    out[s] = entry;
    if (s < 286) base += 1u << extra;
  }
}

void distance_templates(uint32_t* out) {
  out[0] = 0;           // the last distance, registers unchanged
  out[1] = FAST_SHIFT;  // the previous one: the registers swap
  for (uint32_t s = 2; s <= 5; s++) out[s] = (s - 1) << 12;
  // Pair p (symbols 6 + 2p, 7 + 2p): p + 1 extra bits, bases 2^(p+2) + 1 and
  // 2^(p+2) + 2^(p+1) + 1.
  for (uint32_t s = 6; s < 42; s++) {
    const uint32_t p = (s - 6) >> 1;
    const uint32_t base = (1u << (p + 2)) + 1 + ((s & 1) ? (1u << (p + 1)) : 0);
    out[s] = (p + 1) | FAST_SHIFT | (base << 12);
  }
}

// The codes are taken in canonical order (by length, then by symbol; see
// huffman.h), symbols in that order needing no code of their own computed
// and reversed.
//
// The main table is filled level by level: at level l it is 2^l entries, each
// code of length l takes one entry, and the level is then copied behind itself
// to make level l + 1, which replicates every shorter code to all the indices
// that begin with it (and an empty entry to all that no code begins with).
//
// Codes longer than the main width share subtables by their first main_bits
// bits; being consecutive in canonical order, the codes of one subtable come
// one after another, the first of them finding the main entry still empty.
// Each fills every entry of its subtable that it begins. A subtable is as
// wide as the deepest code below its main entry: starting from the current
// code's extra length, the width grows until the codes from the current one
// on fill it. Only the last subtable of an incomplete code can stay unfilled
// (the unused code space lies at the end of canonical order); its width
// stops at the longest code.
int build_fast_table(uint32_t* table, const FastTableKind& kind, const uint8_t* lengths,
                     const uint32_t* templates, uint32_t n) {
  const uint32_t main_bits = kind.main_bits;
  const uint32_t empty = kind.empty;
  const uint32_t unit = 1 + (1u << kind.length_shift);
  uint32_t count[MAX_CODE_LENGTH + 1];
  uint16_t sorted[LITLEN_SYMBOLS];
  if (canonical_order(lengths, n, count, sorted) != 0) return 0;
  uint32_t space = 0;
  uint32_t max_len = 0;
  for (uint32_t l = 1; l <= MAX_CODE_LENGTH; l++) {
    space += count[l] << (MAX_CODE_LENGTH - l);
    if (count[l] != 0) max_len = l;
  }
  if (space > FULL_CODE_SPACE) return 0;
  const uint16_t* symbol = sorted;
  // The next code, bit-reversed: below 2^len, since the lengths are not
  // over-subscribed, which also keeps every code's entries free of others'.
  uint32_t code = 0;
  const uint32_t main_size = 1u << main_bits;
  uint32_t len = 1;
  table[0] = empty;
  for (; len <= main_bits; len++) {
    mem_copy_forward(table + (1u << (len - 1)), table, sizeof *table << (len - 1));
    for (uint32_t k = count[len]; k > 0; k--) {
      table[code] = templates[*symbol++] + len * unit;
      code = next_canonical_code(code, len);
    }
  }
  uint32_t next = main_size;
  for (; len <= max_len; len++) {
    for (uint32_t k = count[len]; k > 0; k--) {
      uint32_t& pointer = table[code & (main_size - 1)];
      if (pointer == empty) {
        uint32_t width = len - main_bits;
        uint32_t used = k;
        while (used < (1u << width) && main_bits + width < max_len) {
          width++;
          used = (used << 1) + count[main_bits + width];
        }
        if (next + (1u << width) > kind.capacity) return 0;
        // Entries of an incomplete code's last subtable may have no code.
        mem_fill32(table + next, empty, 1u << width);
        pointer = kind.pointer | (width << kind.length_shift) | (next << 16);
        next += 1u << width;
      }
      // code < 2^len keeps every index inside the subtable.
      const uint32_t entry = templates[*symbol++] + len * unit;
      const uint32_t sub = pointer >> 16;
      const uint32_t sub_end = sub + (1u << ((pointer >> kind.length_shift) & 31));
      for (uint32_t e = sub + (code >> main_bits); e < sub_end; e += 1u << (len - main_bits)) table[e] = entry;
      code = next_canonical_code(code, len);
    }
  }
  return space == FULL_CODE_SPACE || space == 0 ? FAST_BUILT : FAST_BUILT_INCOMPLETE;
}
