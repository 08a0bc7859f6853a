#include "decode/fast_tables.h"

#include "decode/compact.h"
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

#if QEV_COMPACT
// In the compact form (the stub's): each symbol takes its code from build_codes and
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
// The codes are assigned in canonical order (by length, then by symbol): each
// is the one before plus 1, doubled at every step to a longer length, most
// significant bit first, and turned around through a table of reversed bytes
// to index the tables, which take codes first bit first. So no code waits on
// the one before beyond an increment.
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
namespace {

struct ReversedBytes {
  uint8_t of[256];
  constexpr ReversedBytes() : of() {
    for (uint32_t b = 0; b < 256; b++) {
      uint32_t r = 0;
      for (uint32_t i = 0; i < 8; i++) r |= ((b >> i) & 1) << (7 - i);
      of[b] = (uint8_t)r;
    }
  }
};
constexpr ReversedBytes reversed_bytes;

// The low `len` bits of code (below 2^16) in reverse order.
inline uint32_t reversed(uint32_t code, uint32_t len) {
  const uint32_t r = ((uint32_t)reversed_bytes.of[code & 0xFF] << 8) | reversed_bytes.of[code >> 8];
  return r >> (MAX_CODE_LENGTH - len);
}

}  // namespace

int build_fast_table(uint32_t* table, uint32_t capacity, uint32_t main_bits,
                     uint32_t length_shift, const uint8_t* lengths, const uint32_t* templates,
                     uint32_t n, uint32_t pointer, uint32_t empty) {
  const uint32_t unit = 1 + (1u << length_shift);
  // Counting and sorting go through the two halves of the symbols side by
  // side, each with its own counters: a run of equal lengths then makes two
  // chains of increments through memory, each half as long, not one. An odd
  // last symbol belongs to the second half.
  const uint32_t half = n / 2;
  uint32_t count_a[MAX_CODE_LENGTH + 1];
  uint32_t count_b[MAX_CODE_LENGTH + 1];
  for (uint32_t l = 0; l <= MAX_CODE_LENGTH; l++) count_a[l] = count_b[l] = 0;
  for (uint32_t s = 0; s < half; s++) {
    const uint32_t la = lengths[s];
    const uint32_t lb = lengths[half + s];
    if (la > MAX_CODE_LENGTH || lb > MAX_CODE_LENGTH) return 0;
    count_a[la]++;
    count_b[lb]++;
  }
  if (n & 1) {
    if (lengths[n - 1] > MAX_CODE_LENGTH) return 0;
    count_b[lengths[n - 1]]++;
  }
  uint32_t count[MAX_CODE_LENGTH + 1];
  uint32_t space = 0;
  uint32_t max_len = 0;
  // Where each half's symbols of each length go in `sorted`: the codes in
  // canonical order, then the symbols without one.
  uint32_t first_a[MAX_CODE_LENGTH + 1];
  uint32_t first_b[MAX_CODE_LENGTH + 1];
  uint32_t next_slot = 0;
  for (uint32_t l = 1; l <= MAX_CODE_LENGTH + 1; l++) {
    const uint32_t k = l <= MAX_CODE_LENGTH ? l : 0;  // length 0 last
    count[k] = count_a[k] + count_b[k];
    first_a[k] = next_slot;
    first_b[k] = next_slot + count_a[k];
    next_slot += count[k];
    if (k == 0) break;
    space += count[k] << (MAX_CODE_LENGTH - k);
    if (count[k] != 0) max_len = k;
  }
  if (space > FULL_CODE_SPACE) return 0;
  uint16_t sorted[LITLEN_SYMBOLS];
  for (uint32_t s = 0; s < half; s++) {
    sorted[first_a[lengths[s]]++] = (uint16_t)s;
    sorted[first_b[lengths[half + s]]++] = (uint16_t)(half + s);
  }
  if (n & 1) sorted[first_b[lengths[n - 1]]] = (uint16_t)(n - 1);

  const int built = space == FULL_CODE_SPACE || space == 0 ? FAST_BUILT : FAST_BUILT_INCOMPLETE;
  const uint32_t main_mask = (1u << main_bits) - 1;
  const uint16_t* symbol = sorted;
  // The canonical code of the next symbol, most significant bit first: one
  // more for each code, twice as much at each longer length. The j-th code
  // of length l is below 2^l (the lengths are not over-subscribed).
  uint32_t code = 0;
  // The levels before the shortest code hold empty entries alone (and leave
  // code at 0): the first level worked on is that code's, all empty to begin
  // with.
  uint32_t start = 1;
  while (start < main_bits && count[start] == 0) start++;
  for (uint32_t i = 0; i < (1u << start); i++) table[i] = empty;
  for (uint32_t len = start; len <= main_bits; len++) {
    if (len > start) {
      __builtin_memcpy(table + (1u << (len - 1)), table, (sizeof *table) << (len - 1));
    }
    // A main entry: the one at the code at this level.
    for (uint32_t k = count[len]; k > 0; k--) {
      table[reversed(code, len)] = templates[*symbol++] + len * unit;
      code++;
    }
    code <<= 1;
  }
  uint32_t next = 1u << main_bits;
  uint32_t prefix = ~0u;
  uint32_t sub_start = 0;
  for (uint32_t len = main_bits + 1; len <= max_len; len++) {
    for (uint32_t k = count[len]; k > 0; k--) {
      // Every entry of the subtable that the code begins.
      const uint32_t codeword = reversed(code, len);
      code++;
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
      const uint32_t entry = templates[*symbol++] + len * unit;
      // codeword < 2^len keeps every index inside the subtable.
      const uint32_t step = 1u << (len - main_bits);
      for (uint32_t i = sub_start + (codeword >> main_bits); i < next; i += step) table[i] = entry;
    }
    code <<= 1;
  }
  return built;
}
#endif
