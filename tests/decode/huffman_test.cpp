// Canonical codes and their tables: the worked example of the format, the
// shapes a table can take (empty, exact width, through the tree, 16-bit
// codes), and code lengths as untrusted input: over-subscribed sets stay
// inside their tables, and the fast tables decode every bit pattern exactly as
// the reference lookup and tree do whenever they are used.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "decode/decoder_state.h"
#include "decode/fast_tables.h"
#include "decode/huffman.h"
#include "decode_fixture.h"
#include "stream_writer.h"
#include "base/result_codes.h"

namespace {

struct Table {
  std::vector<int32_t> lookup;
  std::vector<int32_t> tree;
  std::vector<uint32_t> codes;
  std::vector<uint8_t> lengths;
  uint32_t k;
  int result;
  Table(std::vector<uint8_t> l, uint32_t k_) : lengths(std::move(l)), k(k_) {
    lookup.assign(1u << k, 0);
    tree.assign(2 * lengths.size(), 0);
    codes.assign(lengths.size(), 0);
    build_codes(lengths.data(), (uint32_t)lengths.size(), codes.data());
    result = build_table(lookup.data(), tree.data(), codes.data(), lengths.data(), k,
                         (uint32_t)lengths.size());
  }
  HuffmanTable view() const { return {lookup.data(), tree.data(), lengths.data(), k}; }
};

// Decodes from the bits `pattern` (first bit in bit 0); returns the symbol and
// the bits consumed.
std::pair<int32_t, uint32_t> decode_bits(const HuffmanTable& t, uint32_t pattern) {
  const uint8_t bytes[8] = {(uint8_t)pattern, (uint8_t)(pattern >> 8), (uint8_t)(pattern >> 16),
                            (uint8_t)(pattern >> 24)};
  const uint8_t* pos = bytes;
  uint32_t bit_offset = 0;
  int32_t s = decode_symbol(t, pos, bit_offset);
  return {s, (uint32_t)(pos - bytes) * 8 + bit_offset};
}

TEST(Huffman, WorkedExampleLengths2133) {
  // Codes 10, 0, 110, 111 (first bit leftmost), stored reversed.
  Table t({2, 1, 3, 3}, 2);
  EXPECT_EQ(t.codes, (std::vector<uint32_t>{1, 0, 3, 7}));
  EXPECT_EQ(t.result, 0);
  EXPECT_EQ(t.lookup, (std::vector<int32_t>{1, 0, 1, -1}));
  EXPECT_EQ(t.tree[2], -2);
  EXPECT_EQ(t.tree[3], -3);
  // Bits 1, 1, 0 in the order read: symbol 2, three bits.
  EXPECT_EQ(decode_bits(t.view(), 0b011), std::make_pair(2, 3u));
  EXPECT_EQ(decode_bits(t.view(), 0b111), std::make_pair(3, 3u));
  EXPECT_EQ(decode_bits(t.view(), 0b01), std::make_pair(0, 2u));
  EXPECT_EQ(decode_bits(t.view(), 0b0), std::make_pair(1, 1u));
}

TEST(Huffman, EmptyAndExactWidthCodes) {
  Table none(std::vector<uint8_t>(20, 0), 6);
  for (int32_t e : none.lookup) EXPECT_EQ(e, EMPTY_ENTRY);
  EXPECT_EQ(decode_bits(none.view(), 0x1234).first, EMPTY_ENTRY);

  // Codes of 1, 2, 3 and 3 bits with k = 3: 4, 2, 1 and 1 entries.
  Table t({1, 2, 3, 3}, 3);
  int count[4] = {0, 0, 0, 0};
  for (int32_t e : t.lookup) {
    ASSERT_GE(e, 0);
    count[e]++;
  }
  EXPECT_EQ(count[0], 4);
  EXPECT_EQ(count[1], 2);
  EXPECT_EQ(count[2], 1);
  EXPECT_EQ(count[3], 1);
  // An incomplete code: the missing patterns decode as empty, consuming nothing.
  Table half({1}, 3);
  EXPECT_EQ(decode_bits(half.view(), 0b1), std::make_pair(EMPTY_ENTRY, 0u));
}

TEST(Huffman, SymbolZeroThroughTheTreeAndSixteenBitCodes) {
  // Symbol 0 with the longest code (past k) is a leaf of value 0.
  Table t({3, 1, 2, 3}, 2);
  // Codes: 1 -> 0, 2 -> 10, 0 -> 110, 3 -> 111.
  EXPECT_EQ(decode_bits(t.view(), 0b011), std::make_pair(0, 3u));
  EXPECT_EQ(decode_bits(t.view(), 0b111), std::make_pair(3, 3u));

  // A literal/length code with 16-bit codes: 7 tree levels below a 9-bit
  // lookup. Lengths 1, 2, ..., 15, 16, 16 make a complete code.
  std::vector<uint8_t> l(288, 0);
  for (int s = 0; s < 15; s++) l[s] = (uint8_t)(s + 1);
  l[15] = 16;
  l[16] = 16;
  Table lit(l, 9);
  EXPECT_EQ(lit.result, 0);
  // Symbol 16's code is sixteen 1 bits, symbol 15's fifteen 1s and a 0.
  EXPECT_EQ(decode_bits(lit.view(), 0xFFFF), std::make_pair(16, 16u));
  EXPECT_EQ(decode_bits(lit.view(), 0x7FFF), std::make_pair(15, 16u));
  EXPECT_EQ(decode_bits(lit.view(), 0x3FFF), std::make_pair(14, 15u));
  EXPECT_EQ(build_codes(std::vector<uint8_t>{3, 17, 2}.data(), 3, lit.codes.data()), 17);
}

// The codes of any lengths, over-subscribed sets included, are the canonical
// ones of the textbook recurrence, each kept within its length (the codes
// past a length's room wrap around) and bit-reversed.
TEST(Huffman, CodesFollowTheCanonicalRecurrenceForAnyLengths) {
  auto expected = [](const std::vector<uint8_t>& l) {
    uint32_t count[17] = {0}, next[17] = {0};
    for (uint8_t v : l) count[v]++;
    count[0] = 0;
    for (uint32_t b = 1, v = 0; b <= 16; b++) next[b] = v = (v + count[b - 1]) << 1;
    std::vector<uint32_t> codes(l.size(), 0);
    for (size_t s = 0; s < l.size(); s++) {
      if (l[s] == 0) continue;
      const uint32_t c = next[l[s]]++ & ((1u << l[s]) - 1);
      for (uint32_t i = 0; i < l[s]; i++) codes[s] |= ((c >> i) & 1) << (l[s] - 1 - i);
    }
    return codes;
  };
  // Three 1-bit codes: the third wraps to the first one's code.
  EXPECT_EQ(Table({1, 1, 1}, 2).codes, (std::vector<uint32_t>{0, 1, 0}));
  std::mt19937 rng(11);
  for (int round = 0; round < 2000; round++) {
    std::vector<uint8_t> l(1 + rng() % 288);
    const uint32_t longest = 1 + rng() % 16;
    for (auto& v : l) v = rng() % 4 == 0 ? 0 : (uint8_t)(1 + rng() % longest);
    std::vector<uint32_t> codes(l.size(), 0xDEAD);
    ASSERT_EQ(build_codes(l.data(), (uint32_t)l.size(), codes.data()), 0);
    for (size_t s = 0; s < l.size(); s++) {
      if (l[s] == 0) codes[s] = 0;
    }
    ASSERT_EQ(codes, expected(l)) << "round " << round;
  }
}

// Every index a table holds stays inside its table, whatever the lengths.
void expect_well_formed(const Table& t) {
  const int32_t n = (int32_t)t.lengths.size();
  for (int32_t e : t.lookup) {
    if (e >= 0) EXPECT_LT(e, n);
    else if (e != EMPTY_ENTRY) EXPECT_LT(-e, n);
  }
  for (int32_t e : t.tree) {
    if (e > 0) EXPECT_LT(e, n);
    else if (e != EMPTY_ENTRY) EXPECT_LT(-e, n);
  }
}

TEST(Huffman, OverSubscribedLengthsStayInBounds) {
  // A 1-bit code and a 3-bit code sharing its first bit: the long code would
  // have to continue from an entry that holds a symbol.
  Table clash({1, 1, 3}, 2);
  EXPECT_EQ(clash.result, ERR_DAMAGED);
  expect_well_formed(clash);
  EXPECT_GT(code_space(clash.lengths.data(), 3), FULL_CODE_SPACE);
  // An incomplete code that needs more tree nodes than n - 1 (codes 000, 001,
  // 010 below a 1-bit lookup take nodes 1, 2 and 3): refused, the third code
  // left out, the table still well formed.
  Table nodes({3, 3, 3}, 1);
  EXPECT_EQ(nodes.result, ERR_DAMAGED);
  EXPECT_LT(code_space(nodes.lengths.data(), 3), FULL_CODE_SPACE);
  expect_well_formed(nodes);
  EXPECT_EQ(decode_bits(nodes.view(), 0b100).first, 1);
  EXPECT_EQ(decode_bits(nodes.view(), 0b010).first, EMPTY_ENTRY);

  std::mt19937 rng(7);
  for (int round = 0; round < 3000; round++) {
    const uint32_t sizes[] = {21, 42, 14, 28, 288};
    uint32_t n = sizes[round % 5];
    std::vector<uint8_t> l(n);
    for (auto& v : l) v = (uint8_t)(rng() % 17 * (rng() % 3 != 0));
    Table t(l, n == 288 ? 9 : n == 21 ? 6 : 7);
    expect_well_formed(t);
    for (int probe = 0; probe < 50; probe++) {
      auto r = decode_bits(t.view(), rng());
      if (r.first != EMPTY_ENTRY) EXPECT_LT(r.first, (int32_t)n);
    }
  }
}

// Random code lengths, from complete to sparse; the fast table, when it is
// built, must agree with the reference table on every 16-bit pattern.
TEST(Huffman, FastTableDecodesAsTheReferenceTable) {
  std::mt19937 rng(11);
  int built = 0;
  for (int round = 0; round < 400; round++) {
    const bool litlen = round % 2 == 0;
    const uint32_t n = litlen ? 288 : 42;
    std::vector<uint8_t> l(n, 0);
    if (round % 4 < 2) {
      // A complete code from random frequencies.
      std::vector<uint32_t> freq(n);
      for (auto& f : freq) f = rng() % 4 == 0 ? 0 : 1 + (rng() % (1u << (rng() % 16)));
      l = dectest::huffman_lengths(freq, 16);
    } else {
      for (auto& v : l) v = rng() % 3 == 0 ? (uint8_t)(1 + rng() % 16) : 0;
    }
    Table ref(l, litlen ? 9 : 7);
    std::vector<uint32_t> fast(litlen ? FAST_LITLEN_ENOUGH : FAST_DIST_ENOUGH);
    std::vector<uint32_t> templates(n);
    if (litlen) {
      litlen_templates(templates.data(), 3);
    } else {
      distance_templates(templates.data());
    }
    const uint32_t empty = litlen ? FAST_EMPTY_LITLEN : FAST_EMPTY_DISTANCE;
    int ok = build_fast_table(fast.data(), litlen ? FAST_LITLEN_TABLE : FAST_DIST_TABLE, l.data(),
                              templates.data(), n);
    const uint32_t space = code_space(l.data(), n);
    if (space > FULL_CODE_SPACE) {
      EXPECT_EQ(ok, 0);
      continue;
    }
    ASSERT_NE(ok, 0) << "a prefix-free code always fits the bound";
    EXPECT_EQ(ok, space == FULL_CODE_SPACE || space == 0 ? FAST_BUILT : FAST_BUILT_INCOMPLETE);
    if (ref.result != 0) continue;
    built++;
    const uint32_t main_bits = litlen ? FAST_LITLEN_BITS : FAST_DIST_BITS;
    for (uint32_t pattern = 0; pattern < 65536; pattern++) {
      uint32_t e = fast_lookup(fast.data(), main_bits,
                               litlen ? FAST_LITLEN_LENGTH_SHIFT : FAST_DIST_LENGTH_SHIFT, pattern);
      auto r = decode_bits(ref.view(), pattern);
      if (r.first == EMPTY_ENTRY) {
        ASSERT_EQ(e, empty) << pattern;
      } else {
        ASSERT_EQ(e, templates[r.first] + r.second * (litlen ? FAST_LITLEN_UNIT : FAST_DIST_UNIT)) << pattern;
      }
    }
  }
  EXPECT_GT(built, 100);
}

}  // namespace
