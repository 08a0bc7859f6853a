#include "decode/huffman.h"

#include "decode/input.h"
#include "decode/length_sets.h"
#include "base/result_codes.h"

uint32_t canonical_order(const uint8_t* lengths, uint32_t n, uint32_t* count, uint16_t* sorted) {
  for (uint32_t l = 0; l <= MAX_CODE_LENGTH; l++) count[l] = 0;
  for (uint32_t s = n; s-- > 0;) {
    if (lengths[s] > MAX_CODE_LENGTH) return lengths[s];
    count[lengths[s]]++;
  }
  // Where each length's symbols go: length 1 first, length 0 last.
  uint32_t first[MAX_CODE_LENGTH + 1];
  uint32_t next_slot = 0;
  for (uint32_t l = 1; l <= MAX_CODE_LENGTH + 1; l++) {
    const uint32_t k = l <= MAX_CODE_LENGTH ? l : 0;
    first[k] = next_slot;
    next_slot += count[k];
  }
  for (uint32_t s = 0; s < n; s++) sorted[first[lengths[s]]++] = (uint16_t)s;
  return 0;
}

int build_codes(const uint8_t* lengths, uint32_t n, uint32_t* codes) {
  uint32_t count[MAX_CODE_LENGTH + 1];
  uint16_t sorted[LITLEN_SYMBOLS];
  const uint32_t bad = canonical_order(lengths, n, count, sorted);
  if (bad != 0) return (int)bad;
  // An over-subscribed set's codes run past the lengths' code space; they
  // wrap around within their length, so each code stays below 2^l.
  const uint16_t* symbol = sorted;
  uint32_t code = 0;
  for (uint32_t len = 1; len <= MAX_CODE_LENGTH; len++) {
    for (uint32_t k = count[len]; k > 0; k--) {
      codes[*symbol++] = code;
      code = next_canonical_code(code, len);
    }
  }
  return 0;
}

int build_table(int32_t* lookup, int32_t* tree, const uint32_t* codes, const uint8_t* lengths,
                uint32_t k, uint32_t n) {
  const uint32_t size = 1u << k;
  mem_fill32((uint32_t*)lookup, (uint32_t)EMPTY_ENTRY, size);
  if (tree != nullptr) mem_fill32((uint32_t*)tree, (uint32_t)EMPTY_ENTRY, 2 * n);
  uint32_t next_node = 1;
  for (uint32_t s = 0; s < n; s++) {
    const uint32_t l = lengths[s];
    if (l == 0) continue;
    const uint32_t r = codes[s];
    if (l <= k) {
      // Overwrites whatever an over-subscribed set put there before; indices
      // stay below 2^k since r < 2^l.
      for (uint32_t i = r; i < size; i += 1u << l) lookup[i] = (int32_t)s;
      continue;
    }
    if (tree == nullptr) continue;
    int32_t* slot = &lookup[r & (size - 1)];
    uint32_t rest = r >> k;        // the remaining l - k bits, lowest first
    uint32_t levels = l - k - 1;   // nodes to pass below the first one
    uint32_t node;
    if (*slot == EMPTY_ENTRY) {
      if (next_node >= n) return ERR_DAMAGED;
      node = next_node++;
      *slot = -(int32_t)node;
    } else if (*slot >= 0) {
      // A shorter code owns these k bits: the set is over-subscribed. Taking
      // the symbol for a node number would walk a foreign part of the tree.
      return ERR_DAMAGED;
    } else {
      node = (uint32_t)(-*slot);
    }
    slot = &tree[2 * node + (rest & 1)];
    rest >>= 1;
    while (*slot > 0) {
      // A longer code already continues past this code's end: over-subscribed.
      if (levels == 0) return ERR_DAMAGED;
      node = (uint32_t)*slot;
      slot = &tree[2 * node + (rest & 1)];
      rest >>= 1;
      levels--;
    }
    for (; levels > 0; levels--) {
      if (next_node >= n) return ERR_DAMAGED;
      node = next_node++;
      *slot = (int32_t)node;
      slot = &tree[2 * node + (rest & 1)];
      rest >>= 1;
    }
    *slot = -(int32_t)s;
  }
  return 0;
}

int32_t decode_symbol(const HuffmanTable& table, const uint8_t*& pos, uint32_t& bit_offset) {
  const int32_t symbol = huffman_lookup(table, peek_bits(pos, bit_offset));
  if (symbol != EMPTY_ENTRY) consume_bits(pos, bit_offset, table.lengths[symbol]);
  return symbol;
}

uint32_t code_space(const uint8_t* lengths, uint32_t n) {
  // Each code of length l takes 2^(16 - l) of the 2^16 leaves of a full tree
  // of depth 16; at most 288 * 2^15 in all, so the sum fits.
  uint32_t used = 0;
  for (uint32_t s = 0; s < n; s++) {
    uint32_t l = lengths[s];
    if (l > MAX_CODE_LENGTH) return FULL_CODE_SPACE + 1;
    if (l != 0) used += 1u << (MAX_CODE_LENGTH - l);
  }
  return used;
}
