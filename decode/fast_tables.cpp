#include "decode/fast_tables.h"

#include "decode/huffman.h"
#include "decode/length_sets.h"

uint32_t litlen_template(uint32_t symbol, uint32_t distance_tables) {
  if (symbol < END_OF_SET) return FAST_LITERAL | (symbol << 16);
  if (symbol == END_OF_SET) return FAST_END_OF_SET;
  uint32_t base;
  uint32_t extra;
  if (symbol <= 265) {
    base = symbol - 255;
    extra = 0;
  } else if (symbol <= 285) {
    // Four symbols per step: step g has g + 1 extra bits, bases 3 + 2^(g+3)
    // + i * 2^(g+1).
    uint32_t g = (symbol - 266) >> 2;
    uint32_t i = (symbol - 266) & 3;
    extra = g + 1;
    base = 3 + (1u << (g + 3)) + (i << (g + 1));
  } else {
    base = 259;
    extra = 15;
  }
  // Length 2 takes distance table 1 (none in a one-table block), length 3
  // table 2 when the block has three, every other length table 0.
  uint32_t table = 0;
  if (base == 2) table = distance_tables == 1 ? FAST_NO_TABLE : 1;
  if (base == 3 && distance_tables == 3) table = 2;
  return (extra << 5) | (table << 12) | (base << 16);
}

uint32_t distance_template(uint32_t symbol) {
  if (symbol == 0) return FAST_LAST << 10;
  if (symbol == 1) return FAST_PREV << 10;
  if (symbol <= 5) return (FAST_FIXED << 10) | ((symbol - 1) << 12);
  // Pair p (symbols 6 + 2p, 7 + 2p): p + 1 extra bits, bases 2^(p+2) + 1 and
  // 2^(p+2) + 2^(p+1) + 1.
  uint32_t p = (symbol - 6) >> 1;
  uint32_t base = (1u << (p + 2)) + 1 + ((symbol & 1) ? (1u << (p + 1)) : 0);
  return ((p + 1) << 5) | (FAST_NEW << 10) | (base << 12);
}

int build_fast_table(uint32_t* table, uint32_t capacity, uint32_t main_bits,
                     const uint8_t* lengths, const uint32_t* codes, const uint32_t* templates,
                     uint32_t n) {
  const uint32_t space = code_space(lengths, n);
  if (space > FULL_CODE_SPACE) return 0;
  const uint32_t main_size = 1u << main_bits;
  const uint32_t main_mask = main_size - 1;
  if (space < FULL_CODE_SPACE) {
    // Some entries will have no code.
    for (uint32_t i = 0; i < main_size; i++) table[i] = FAST_EMPTY;
  } else {
    // A complete code writes every entry; only the pointers start empty.
    for (uint32_t s = 0; s < n; s++) {
      if (lengths[s] > main_bits) table[codes[s] & main_mask] = FAST_EMPTY;
    }
  }
  // First pass: the width of each subtable, the longest code through its main
  // entry, kept in that entry as a pointer without a start yet.
  for (uint32_t s = 0; s < n; s++) {
    uint32_t l = lengths[s];
    if (l <= main_bits) continue;
    uint32_t& entry = table[codes[s] & main_mask];
    if (l - main_bits > ((entry >> 5) & 31)) entry = (l - main_bits) << 5;
  }
  uint32_t next = main_size;
  for (uint32_t s = 0; s < n; s++) {
    const uint32_t l = lengths[s];
    if (l == 0) continue;
    const uint32_t entry = templates[s] | l;
    if (l <= main_bits) {
      for (uint32_t i = codes[s]; i < main_size; i += 1u << l) table[i] = entry;
      continue;
    }
    uint32_t& pointer = table[codes[s] & main_mask];
    // A symbol where a pointer belongs cannot happen with a prefix-free code;
    // it is refused rather than read as a pointer.
    if ((pointer & 31) != 0) return 0;
    const uint32_t width = (pointer >> 5) & 31;
    if ((pointer >> 16) == 0) {
      if (next + (1u << width) > capacity) return 0;
      for (uint32_t i = 0; i < (1u << width); i++) table[next + i] = FAST_EMPTY;
      pointer |= next << 16;
      next += 1u << width;
    }
    // codes[s] < 2^l, so the index stays below 2^width.
    uint32_t* sub = table + (pointer >> 16);
    for (uint32_t i = codes[s] >> main_bits; i < (1u << width); i += 1u << (l - main_bits)) {
      sub[i] = entry;
    }
  }
  return 1;
}
