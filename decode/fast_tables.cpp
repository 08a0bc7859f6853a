#include "decode/fast_tables.h"

#include "decode/huffman.h"
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

#if defined(__OPTIMIZE_SIZE__)
// Built for size (the stub): each symbol takes its code from build_codes and
// fills every entry its code begins, the main table cleared first; each
// subtable is as wide as the longest code through its main entry, found in a
// first pass and kept in the pointer until the subtable is placed. The codes
// are prefix-free (not over-subscribed), so no code's entries land on
// another's.
int build_fast_table(uint32_t* table, uint32_t capacity, uint32_t main_bits,
                     uint32_t length_shift, const uint8_t* lengths, const uint32_t* templates,
                     uint32_t n, uint32_t pointer, uint32_t empty) {
  uint32_t codes[LITLEN_SYMBOLS];
  if (build_codes(lengths, n, codes) != 0) return 0;  // a length above 16
  const uint32_t main_size = 1u << main_bits;
  for (uint32_t i = 0; i < main_size; i++) table[i] = empty;
  uint32_t space = 0;
  for (uint32_t s = 0; s < n; s++) {
    const uint32_t l = lengths[s];
    if (l != 0) space += 1u << (MAX_CODE_LENGTH - l);
    if (l <= main_bits) continue;
    uint32_t& entry = table[codes[s] & (main_size - 1)];
    const uint32_t width = l - main_bits;
    if (entry == empty || width > ((entry >> length_shift) & 31)) {
      entry = pointer | (width << length_shift);
    }
  }
  if (space > FULL_CODE_SPACE) return 0;
  uint32_t next = main_size;
  for (uint32_t s = 0; s < n; s++) {
    const uint32_t l = lengths[s];
    if (l == 0) continue;
    uint32_t* sub = table;
    uint32_t i = codes[s];
    uint32_t end = main_size;
    uint32_t step = 1u << l;
    if (l > main_bits) {
      uint32_t& entry = table[codes[s] & (main_size - 1)];
      const uint32_t width = (entry >> length_shift) & 31;
      if ((entry >> 16) == 0) {
        if (next + (1u << width) > capacity) return 0;
        for (uint32_t j = 0; j < (1u << width); j++) table[next + j] = empty;
        entry |= next << 16;
        next += 1u << width;
      }
      sub = table + (entry >> 16);
      i >>= main_bits;
      end = 1u << width;
      step = 1u << (l - main_bits);
    }
    // codes[s] < 2^l, so every index stays inside its table.
    const uint32_t entry = templates[s] + l * (1 + (1u << length_shift));
    for (; i < end; i += step) sub[i] = entry;
  }
  return space == FULL_CODE_SPACE || space == 0 ? FAST_BUILT : FAST_BUILT_INCOMPLETE;
}
#else
// The codes are assigned in canonical order (by length, then by symbol), each
// kept bit-reversed like the input, so the next code comes from the previous
// one by a reversed increment: the highest 0 bit among its `len` bits is set
// and the bits above it cleared. A longer next code only appends zeros at the
// top, which changes nothing in reversed form.
//
// The main table is filled level by level: at level l it is 2^l entries, each
// code of length l takes one entry, and the level is then copied behind itself
// to make level l + 1, which replicates every shorter code to all the indices
// that begin with it (and an empty entry to all that no code begins with).
//
// Codes longer than the main width share subtables by their first main_bits
// bits; being consecutive in canonical order, the codes of one subtable come
// one after another. A subtable is as wide as the deepest code below its main
// entry: starting from the current code's extra length, the width grows until
// the codes from the current one on fill it. Only the last subtable of an
// incomplete code can stay unfilled (the unused code space lies at the end of
// canonical order); its width stops at the longest code.
int build_fast_table(uint32_t* table, uint32_t capacity, uint32_t main_bits,
                     uint32_t length_shift, const uint8_t* lengths, const uint32_t* templates,
                     uint32_t n, uint32_t pointer, uint32_t empty) {
  const uint32_t unit = 1 + (1u << length_shift);
  uint32_t count[MAX_CODE_LENGTH + 1];
  for (uint32_t l = 0; l <= MAX_CODE_LENGTH; l++) count[l] = 0;
  for (uint32_t s = 0; s < n; s++) {
    if (lengths[s] > MAX_CODE_LENGTH) return 0;
    count[lengths[s]]++;
  }
  uint32_t space = 0;
  uint32_t max_len = 0;
  uint32_t first[MAX_CODE_LENGTH + 1];  // where each length's symbols go in `sorted`
  uint32_t next_slot = 0;
  for (uint32_t l = 1; l <= MAX_CODE_LENGTH; l++) {
    space += count[l] << (MAX_CODE_LENGTH - l);
    first[l] = next_slot;
    next_slot += count[l];
    if (count[l] != 0) max_len = l;
  }
  if (space > FULL_CODE_SPACE) return 0;
  uint16_t sorted[LITLEN_SYMBOLS];
  for (uint32_t s = 0; s < n; s++) {
    if (lengths[s] != 0) sorted[first[lengths[s]]++] = (uint16_t)s;
  }

  const int built = space == FULL_CODE_SPACE || space == 0 ? FAST_BUILT : FAST_BUILT_INCOMPLETE;
  const uint32_t main_mask = (1u << main_bits) - 1;
  const uint16_t* symbol = sorted;
  uint32_t codeword = 0;
  uint32_t left = next_slot;  // codes still to place
  uint32_t next = 1u << main_bits;
  uint32_t prefix = ~0u;
  uint32_t sub_start = 0;
  // The levels before the shortest code hold empty entries alone: the first
  // level worked on is that code's, all empty to begin with.
  uint32_t start = 1;
  while (start < main_bits && count[start] == 0) start++;
  for (uint32_t i = 0; i < (1u << start); i++) table[i] = empty;
  for (uint32_t len = start; len <= main_bits || len <= max_len; len++) {
    if (len > start && len <= main_bits) {
      __builtin_memcpy(table + (1u << (len - 1)), table, (sizeof *table) << (len - 1));
    }
    for (uint32_t k = count[len]; k > 0; k--) {
      // A main entry: the one at the code at this level. A subtable's: every
      // entry its code begins (codeword < 2^len keeps them inside it).
      uint32_t i = codeword;
      uint32_t step = 1u << len;
      uint32_t end = 1u << len;
      if (len > main_bits) {
        if ((codeword & main_mask) != prefix) {
          prefix = codeword & main_mask;
          uint32_t width = len - main_bits;
          uint32_t used = k;
          while (used < (1u << width) && main_bits + width < max_len) {
            width++;
            used = (used << 1) + count[main_bits + width];
          }
          if (next + (1u << width) > capacity) return 0;
          // Entries of an incomplete code's last subtable may have no code.
          if (space != FULL_CODE_SPACE) {
            for (uint32_t j = 0; j < (1u << width); j++) table[next + j] = empty;
          }
          table[prefix] = pointer | (width << length_shift) | (next << 16);
          sub_start = next;
          next += 1u << width;
        }
        i = sub_start + (codeword >> main_bits);
        step = 1u << (len - main_bits);
        end = next;
      }
      const uint32_t entry = templates[*symbol++] + len * unit;
      for (; i < end; i += step) table[i] = entry;
      // No increment after the last code (all ones in a complete code).
      if (--left == 0) break;
      const uint32_t flip = codeword ^ ((1u << len) - 1);
      const uint32_t bit = 1u << (31 - __builtin_clz(flip));
      codeword = (codeword & (bit - 1)) | bit;
    }
  }
  return built;
}
#endif
