#pragma once
// Canonical prefix codes given by their code lengths, as a direct lookup table
// of 2^k entries plus an overflow tree for the codes longer than k bits. Codes
// are read least significant bit first, so every code is kept bit-reversed:
// the code's first bit is bit 0 of its value and of the lookup index.
//
// Lookup entry (int32_t):
//   >= 0          the symbol; its code has at most k bits and fills every entry
//                 whose low bits equal the code (2^(k - length) entries)
//   EMPTY_ENTRY   no code starts with these k bits: damaged input
//   other < 0     minus the tree node at which the longer codes with these k
//                 first bits continue
// Tree slot (int32_t), two per node, node m's slot for a next bit b at 2m + b:
//   > 0           the next node; always a higher number than its parent, so a
//                 walk ends within n - 1 steps and never loops
//   <= 0          a leaf: minus the symbol (symbol 0 is stored as 0)
//   EMPTY_ENTRY   no code continues this way
// Node 0 is never used; nodes 1 .. n-1 are handed out in order, which bounds
// the tree at 2n slots.
//
// Code lengths are untrusted input. Whatever they are, every index stays inside
// its table: build_codes keeps only the low `length` bits of a code that an
// over-subscribed set pushes past its length, and build_table never takes a
// symbol for a node number.
#include <stdint.h>

#include "decode/format.h"

constexpr int32_t EMPTY_ENTRY = -(int32_t)LITLEN_SYMBOLS;

struct HuffmanTable {
  const int32_t* lookup;    // 2^k entries
  const int32_t* tree;      // 2n slots (null: no codes longer than k)
  const uint8_t* lengths;   // n code lengths, which say how many bits a symbol took
  uint32_t k;
};

// Canonical order: the codes go by length, and by symbol within a length.
// Counts the lengths of n symbols (n <= 288) into count[0..16] and lists in
// `sorted` the symbols with a code in that order, then those without. 0, or
// the first length above 16 met (scanning from the last symbol down), with
// count and sorted then unfinished.
uint32_t canonical_order(const uint8_t* lengths, uint32_t n, uint32_t* count, uint16_t* sorted);

// The canonical code after `code`, both of `len` bits and bit-reversed: one
// more, the carry running from the top bit down. Past the last code of len
// bits it wraps to 0. Going on to a longer length, a code (doubled) keeps
// its value, since the new last bit is a 0 at the top.
inline uint32_t next_canonical_code(uint32_t code, uint32_t len) {
  uint32_t bit = 1u << (len - 1);
  while (code & bit) {
    code ^= bit;
    bit >>= 1;
  }
  return code | bit;
}

// Fills codes[0..n) with the bit-reversed canonical codes of `lengths`.
// 0, or the first length above 16 met (scanning from the last symbol down),
// with the codes then left unfilled. Over-subscription is not detected here:
// such a set's later codes wrap around within their length.
int build_codes(const uint8_t* lengths, uint32_t n, uint32_t* codes);

// Builds the lookup (2^k entries) and, when `tree` is not null, the overflow
// tree (2n slots); without a tree, codes longer than k bits are left out.
// 0, or ERR_DAMAGED when the set is over-subscribed in a way that the table
// cannot hold (more than n - 1 tree nodes needed, or a long code running into
// a shorter code's entry or a shorter code into a longer one's path). The table
// is then left as built so far: still well-formed, every code that did not fit
// is simply missing (its bits decode as EMPTY_ENTRY).
int build_table(int32_t* lookup, int32_t* tree, const uint32_t* codes, const uint8_t* lengths,
                uint32_t k, uint32_t n);

// The symbol whose code starts `bits` (first bit in bit 0, at least 16 valid
// bits), or EMPTY_ENTRY. A walk through the tree never needs more bits, since
// no code is longer than 16 bits and every node lies on some code's path.
inline int32_t huffman_lookup(const HuffmanTable& table, uint32_t bits) {
  int32_t entry = table.lookup[bits & ((1u << table.k) - 1)];
  if (entry >= 0) return entry;
  if (entry == EMPTY_ENTRY || table.tree == nullptr) return EMPTY_ENTRY;
  bits >>= table.k;
  uint32_t node = (uint32_t)(-entry);
  for (;;) {
    entry = table.tree[2 * node + (bits & 1)];
    bits >>= 1;
    if (entry <= 0) break;
    node = (uint32_t)entry;
  }
  return entry == EMPTY_ENTRY ? EMPTY_ENTRY : -entry;
}

// Decodes one symbol at (pos, bit_offset) and consumes its code; or returns
// EMPTY_ENTRY, consuming nothing. Peeks 4 bytes at pos (the caller has tested
// for a refill); the 25 bits a peek yields are more than a code needs.
int32_t decode_symbol(const HuffmanTable& table, const uint8_t*& pos, uint32_t& bit_offset);

// The part of the code space that the lengths of a code of n symbols take, in
// units of 2^-16 (the Kraft sum times 2^16): FULL_CODE_SPACE for a complete
// code, less for an incomplete one (0 when no symbol has a code), more when
// the lengths ask for more codes than exist (over-subscribed). A complete or
// empty code always fits its reference table whole (a complete code of n
// symbols has n - 1 inner nodes, one of them above the lookup).
constexpr uint32_t FULL_CODE_SPACE = 1u << MAX_CODE_LENGTH;
uint32_t code_space(const uint8_t* lengths, uint32_t n);
