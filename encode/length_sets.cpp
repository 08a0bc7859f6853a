#include "encode/length_sets.h"

#include "encode/huffman.h"
#include "encode/symbols.h"

namespace qev {
namespace {

// Appends the bijective base-2 digits of r (r >= 1), least significant first,
// as symbols one_symbol (digit 1) and one_symbol + 1 (digit 2).
void put_run(std::vector<uint8_t>& tokens, uint32_t r, uint8_t one_symbol) {
  while (r > 0) {
    uint32_t d = (r & 1) ? 1 : 2;
    tokens.push_back((uint8_t)(one_symbol + d - 1));
    r = (r - d) >> 1;
  }
}

}  // namespace

void tokenize_length_sets(const uint8_t* t, int set_size, int set_count,
                          std::vector<uint8_t>& tokens) {
  tokens.clear();
  const int end = set_size * set_count;
  int cur = 0;
  int j = 0;
  auto prev_at = [&](int k) -> int { return k >= set_size ? t[k - set_size] : 0; };
  while (j < end) {
    // Longest zero run and longest repeat run from j.
    int z = 0;
    while (j + z < end && t[j + z] == 0) z++;
    int r = 0, rc = cur;
    while (j + r < end) {
      int p = prev_at(j + r);
      int v = p ? p : rc;
      if (v != t[j + r]) break;
      rc = v;
      r++;
    }
    if (z > 0 && z >= r) {
      put_run(tokens, (uint32_t)z, 17);  // zero runs keep the current length
      j += z;
    } else if (r >= 2) {
      put_run(tokens, (uint32_t)r, 19);
      cur = rc;
      j += r;
    } else {
      int p = prev_at(j);
      int base = p ? p : cur;
      tokens.push_back((uint8_t)((t[j] - base + 17) % 17));
      cur = t[j];
      j++;
    }
  }
}

void plan_length_sets(const uint8_t* lengths, int set_size, int set_count, LengthSetCoding& out) {
  tokenize_length_sets(lengths, set_size, set_count, out.tokens);
  uint32_t freq[PRECODE_SYMBOLS] = {0};
  for (uint8_t s : out.tokens) freq[s]++;
  build_code_lengths(freq, PRECODE_SYMBOLS, MAX_CODE_LENGTH, out.precode_lengths);
  build_canonical_codes(out.precode_lengths, PRECODE_SYMBOLS, out.precode_codes);
  uint64_t bits = 0;
  // Pre-code fields: a length costs one field, a run of zeros one per digit.
  for (int i = 0; i < PRECODE_SYMBOLS;) {
    if (out.precode_lengths[i]) { bits += 5; i++; continue; }
    int z = 0;
    while (i + z < PRECODE_SYMBOLS && out.precode_lengths[i + z] == 0) z++;
    for (uint32_t r = (uint32_t)z; r > 0;) { uint32_t d = (r & 1) ? 1 : 2; r = (r - d) >> 1; bits += 5; }
    i += z;
  }
  for (uint8_t s : out.tokens) bits += out.precode_lengths[s];
  out.bits = bits;
}

void write_length_sets(BitWriter& w, const LengthSetCoding& c) {
  for (int i = 0; i < PRECODE_SYMBOLS;) {
    if (c.precode_lengths[i]) { w.put(c.precode_lengths[i] + 1u, 5); i++; continue; }
    int z = 0;
    while (i + z < PRECODE_SYMBOLS && c.precode_lengths[i + z] == 0) z++;
    for (uint32_t r = (uint32_t)z; r > 0;) {
      uint32_t d = (r & 1) ? 1 : 2;
      w.put(d - 1, 5);
      r = (r - d) >> 1;
    }
    i += z;
  }
  for (uint8_t s : c.tokens) w.put(c.precode_codes[s], c.precode_lengths[s]);
}

uint32_t estimate_set_bits(const uint8_t* prev, const uint8_t* cur, int set_size) {
  // Cost of cur's lengths as changes against prev, at about 4 bits a symbol
  // for changes and 2 bits per run digit.
  uint32_t bits = 0;
  int j = 0;
  while (j < set_size) {
    int z = 0;
    while (j + z < set_size && cur[j + z] == 0) z++;
    int r = 0;
    if (prev) while (j + r < set_size && prev[j + r] && prev[j + r] == cur[j + r]) r++;
    int run = z > r ? z : r;
    if (run >= 2) {
      while (run > 0) { int d = (run & 1) ? 1 : 2; run = (run - d) >> 1; bits += 3; }
      j += z > r ? z : r;
    } else {
      bits += 4;
      j++;
    }
  }
  return bits;
}

}  // namespace qev
