// The fast loop against the reference loop, byte for byte: on valid blocks of
// many shapes (literal-heavy, long matches, short distances, repeat
// registers, one to three distance tables, many table sets, short and long
// codes), on the same blocks with bits flipped, on blocks coded with sparse
// (incomplete) and over-subscribed code lengths, and on random bytes. Both
// must give the same result, the same bytes and the same reader position.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "block_test_support.h"
#include "decode_fixture.h"
#include "stream_writer.h"

namespace {

using dectest::BitWriter;
using dectest::decode_both;
using dectest::Decoded;
using dectest::Item;

typedef std::vector<uint8_t> Bytes;

// Data of a few kinds: random bytes, text-like bytes from a small alphabet,
// long runs, repeated phrases at various distances.
Bytes sample_data(std::mt19937& rng, size_t n, int kind) {
  Bytes d(n);
  switch (kind % 4) {
    case 0:
      for (auto& b : d) b = (uint8_t)rng();
      break;
    case 1:
      for (auto& b : d) b = (uint8_t)("etaoin shrdlu\n"[rng() % 14]);
      break;
    case 2:
      for (size_t i = 0; i < n;) {
        uint8_t v = (uint8_t)rng();
        size_t run = 1 + rng() % 300;
        for (size_t k = 0; k < run && i < n; k++) d[i++] = v;
      }
      break;
    default:
      for (size_t i = 0; i < n; i++) {
        size_t back = 1 + rng() % 40000;
        d[i] = (i >= back && rng() % 8) ? d[i - back + (rng() % 3 == 0)] : (uint8_t)rng();
        if (i >= 2000 && rng() % 64 == 0) {
          size_t from = i - 1 - rng() % 2000;
          size_t len = std::min<size_t>(n - i, 3 + rng() % 700);
          for (size_t k = 0; k < len; k++, i++) d[i] = d[from + k];
          i--;
        }
      }
  }
  return d;
}

struct Block {
  Bytes stream;
  Bytes history;
  Bytes expect;  // the block's output
};

Block make_block(std::mt19937& rng, int round) {
  const int kind = round % 4;
  size_t history_len = rng() % 3 == 0 ? 0 : rng() % 20000;
  size_t size = 1 + rng() % 60000;
  Bytes all = sample_data(rng, history_len + size, kind + round / 4);
  uint32_t tables = 1 + rng() % 3;
  std::vector<Item> items = dectest::lz_parse(all.data(), 0, history_len, all.size(), tables,
                                              4 + rng() % 16);
  dectest::BlockDesign design;
  design.tables = tables;
  design.max_code_length = 16 - rng() % 8;  // 9..16 bits: with and without subtables
  size_t per_set = rng() % 3 == 0 ? 0 : 1 + rng() % 3000;
  design.sets = dectest::split_sets(items, per_set);
  if (design.sets.size() > 63) design.sets = dectest::split_sets(items, items.size() / 60 + 1);
  Block b;
  BitWriter w;
  dectest::write_block(w, design);
  b.stream = w.take();
  b.history.assign(all.begin(), all.begin() + (ptrdiff_t)history_len);
  b.expect.assign(all.begin() + (ptrdiff_t)history_len, all.end());
  return b;
}

TEST(FastLoop, ValidBlocksDecodeAlikeAndRight) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 120; round++) {
    dectest::reset_decoder();
    Block b = make_block(rng, round);
    Decoded d = decode_both(b.stream, b.history, (uint32_t)b.expect.size());
    ASSERT_EQ(d.result, (int32_t)b.expect.size()) << "round " << round;
    ASSERT_TRUE(std::equal(b.expect.begin(), b.expect.end(), d.out.begin() + b.history.size()))
        << "round " << round;
    ASSERT_EQ(d.bits, b.stream.size() * 8) << "round " << round;
  }
}

TEST(FastLoop, DamagedBlocksDecodeAlike) {
  std::mt19937 rng(99);
  for (int round = 0; round < 300; round++) {
    dectest::reset_decoder();
    Block b = make_block(rng, round);
    int flips = 1 + rng() % 4;
    for (int f = 0; f < flips; f++) {
      // Most flips land in the data; some in the code lengths up front.
      size_t at = rng() % 4 == 0 ? rng() % std::min<size_t>(b.stream.size(), 200)
                                 : rng() % b.stream.size();
      b.stream[at] ^= (uint8_t)(1u << (rng() % 8));
    }
    uint32_t want = (uint32_t)b.expect.size() + (rng() % 2 ? 0 : rng() % 1000);
    decode_both(b.stream, b.history, want);
    if (HasFailure()) FAIL() << "round " << round;
  }
}

// Items drawn at random from the symbols a set's lengths give codes to; the
// lengths themselves random: sparse (incomplete), or over-subscribed.
TEST(FastLoop, SparseAndOverSubscribedCodesDecodeAlike) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; round++) {
    dectest::reset_decoder();
    const uint32_t tables = 1 + rng() % 3;
    dectest::BlockDesign design;
    design.tables = tables;
    int set_count = 1 + rng() % 3;
    for (int j = 0; j < set_count; j++) {
      dectest::TableSet set;
      set.lengths.assign(372, 0);
      const bool over = rng() % 3 == 0;
      // Sparse lengths: a few symbols with long codes.
      for (int s = 0; s < 288; s++) {
        if (rng() % (over ? 2 : 6) == 0) set.lengths[s] = (uint8_t)(over ? 1 + rng() % 16 : 9 + rng() % 8);
      }
      set.lengths['A' + j] = over ? 2 : 4;
      set.lengths[258] = 5;
      for (int t = 0; t < 3; t++) {
        const int starts[3] = {288, 330, 344}, sizes[3] = {42, 14, 28};
        for (int s = 0; s < sizes[t]; s++) {
          if (rng() % 3 == 0) set.lengths[starts[t] + s] = (uint8_t)(over ? 1 + rng() % 16 : 6 + rng() % 11);
        }
      }
      std::vector<int> lit_syms, dist_syms[3];
      for (int s = 0; s < 288; s++) {
        if (set.lengths[s] && s != 256) lit_syms.push_back(s);
      }
      for (int t = 0; t < 3; t++) {
        const int starts[3] = {288, 330, 344}, sizes[3] = {42, 14, 28};
        for (int s = 0; s < sizes[t]; s++) {
          if (set.lengths[starts[t] + s]) dist_syms[t].push_back(s);
        }
      }
      int n_items = 1 + rng() % 400;
      for (int i = 0; i < n_items; i++) {
        Item item;
        item.lit_sym = lit_syms[rng() % lit_syms.size()];
        if (item.lit_sym >= 257) {
          uint32_t length = item.lit_sym <= 265 ? item.lit_sym - 255 : 0;
          uint32_t table = length == 2 ? 1 : (length == 3 && tables == 3) ? 2 : 0;
          if (item.lit_sym >= 266) {
            uint32_t g = item.lit_sym >= 286 ? 14 : (item.lit_sym - 266) / 4;
            item.lit_extra_bits = g + 1;
            item.lit_extra = rng() & ((1u << (g + 1)) - 1);
          }
          if (dist_syms[table].empty()) {
            item = dectest::literal('A' + j);
          } else {
            item.dist_table = table;
            item.dist_sym = dist_syms[table][rng() % dist_syms[table].size()];
            if (item.dist_sym >= 6) {
              item.dist_extra_bits = (item.dist_sym - 6) / 2 + 1;
              item.dist_extra = rng() & ((1u << item.dist_extra_bits) - 1);
            }
          }
        }
        set.items.push_back(item);
      }
      set.end_with_256 = set.lengths[256] != 0 && j + 1 < set_count;
      design.sets.push_back(set);
    }
    BitWriter w;
    dectest::write_block(w, design);
    Bytes history = sample_data(rng, rng() % 3000, round);
    decode_both(w.bytes(), history, 1 + rng() % 20000);
    if (HasFailure()) FAIL() << "round " << round;
  }
}

// Matches reaching up to 1 MiB back, so every distance symbol's match is
// copied, through complete codes of up to 16 bits: a distance may take its
// longest 16 + 18 bits right where the bit buffer holds just enough for it,
// and the decoding that follows must still read the right bits.
TEST(FastLoop, LongDistancesWithLongCodesDecodeAlike) {
  std::mt19937 rng(404);
  Bytes history(1100000);
  for (auto& b : history) b = (uint8_t)rng();
  for (int round = 0; round < 40; round++) {
    dectest::reset_decoder();
    const uint32_t tables = 1 + rng() % 3;
    dectest::BlockDesign design;
    design.tables = tables;
    design.max_code_length = 16;
    std::vector<Item> items;
    uint32_t total = 0;
    for (int i = 0, n = 2000 + rng() % 4000; i < n; i++) {
      if (rng() % 3 == 0) {
        // One common literal, so that the others take 11 bits and more.
        items.push_back(dectest::literal((uint8_t)(rng() % 4 ? 'e' : rng())));
        total++;
        continue;
      }
      Item item;
      // Now and then a long length, whose 15 extra bits after a code of
      // several bits leave the bit buffer part-used before a long distance.
      const uint32_t pick = rng() % 20;
      const uint32_t length = pick < 16 ? 3 + rng() % 40 : pick < 19 ? 131 + rng() % 128 : 259 + rng() % 3000;
      total += length;
      dectest::length_symbol(length, &item.lit_sym, &item.lit_extra, &item.lit_extra_bits);
      item.dist_table = dectest::table_for_length(length, tables);
      // Table 0 codes every distance; the others only their own range.
      const uint32_t symbols = item.dist_table == 0 ? 42 : item.dist_table == 1 ? 14 : 28;
      // Mostly the far symbols with the most extra bits.
      item.dist_sym = rng() % 2 ? symbols - 1 - rng() % 4 : 6 + rng() % (symbols - 6);
      item.dist_extra_bits = (item.dist_sym - 6) / 2 + 1;
      item.dist_extra = rng() & ((1u << item.dist_extra_bits) - 1);
      items.push_back(item);
    }
    design.sets = dectest::split_sets(items, rng() % 2 ? 0 : 700);
    for (auto& set : design.sets) {
      set.end_with_256 = &set != &design.sets.back();
      // Literal/length lengths fitted to the items; distance codes over every
      // symbol, the far ones rarest, so that they take 15 and 16 bits.
      std::vector<uint32_t> freq(288, 0);
      for (const Item& item : set.items) freq[item.lit_sym]++;
      freq[256]++;
      set.lengths = dectest::huffman_lengths(freq, 16);
      set.lengths.resize(372, 0);
      const int starts[3] = {288, 330, 344}, sizes[3] = {42, 14, 28};
      for (int t = 1; t < 3; t++) {
        std::vector<uint32_t> dfreq(sizes[t]);
        for (int k = 0; k < sizes[t]; k++) dfreq[k] = 1u << std::min(sizes[t] - 1 - k, 20);
        std::vector<uint8_t> dl = dectest::huffman_lengths(dfreq, 16);
        std::copy(dl.begin(), dl.end(), set.lengths.begin() + starts[t]);
      }
      // Table 0: symbols 40 and 41 (18 extra bits) with 16-bit codes, 34
      // bits in all; 39 down to 30 with 15 down to 6 bits; 29 with 4 and
      // the rest with 5 bits: a complete code.
      uint8_t* d0 = set.lengths.data() + starts[0];
      for (int k = 0; k < 29; k++) d0[k] = 5;
      d0[29] = 4;
      for (int k = 30; k < 40; k++) d0[k] = (uint8_t)(k - 24);
      d0[40] = d0[41] = 16;
    }
    BitWriter w;
    dectest::write_block(w, design);
    Decoded d = decode_both(w.bytes(), history, total);
    if (HasFailure()) FAIL() << "round " << round;
    EXPECT_EQ(d.result, (int32_t)total) << "round " << round;
  }
}

// Patterns repeating with every period up to 17 bytes (below a word, a word,
// between a word and two) for 1 to 400 bytes, between a few random bytes: the
// matches that copy a pattern shorter than the word they are copied by, at
// every length and alignment against the word steps.
TEST(FastLoop, ShortPeriodsDecodeAlikeAndRight) {
  std::mt19937 rng(5150);
  for (int round = 0; round < 40; round++) {
    dectest::reset_decoder();
    Bytes all;
    while (all.size() < 40000) {
      const size_t period = 1 + rng() % 17;
      const size_t len = 1 + rng() % 400;
      Bytes pattern(period);
      for (auto& b : pattern) b = (uint8_t)rng();
      for (size_t k = 0; k < len; k++) all.push_back(pattern[k % period]);
      for (size_t k = rng() % 6; k > 0; k--) all.push_back((uint8_t)rng());
    }
    const size_t history_len = round % 2 ? 0 : 1 + rng() % 5000;
    const uint32_t tables = 1 + rng() % 3;
    dectest::BlockDesign design;
    design.tables = tables;
    std::vector<Item> items = dectest::lz_parse(all.data(), 0, history_len, all.size(), tables, 8);
    design.sets = dectest::split_sets(items, 1 + rng() % 3000);
    if (design.sets.size() > 63) design.sets = dectest::split_sets(items, items.size() / 60 + 1);
    BitWriter w;
    dectest::write_block(w, design);
    Bytes history(all.begin(), all.begin() + (ptrdiff_t)history_len);
    const uint32_t size = (uint32_t)(all.size() - history_len);
    Decoded d = decode_both(w.bytes(), history, size);
    ASSERT_EQ(d.result, (int32_t)size) << "round " << round;
    ASSERT_TRUE(std::equal(all.begin() + (ptrdiff_t)history_len, all.end(),
                           d.out.begin() + (ptrdiff_t)history_len))
        << "round " << round;
  }
}

TEST(FastLoop, RandomBytesDecodeAlike) {
  std::mt19937 rng(77);
  for (int round = 0; round < 2000; round++) {
    dectest::reset_decoder();
    Bytes stream(1 + rng() % 3000);
    for (auto& b : stream) b = (uint8_t)rng();
    // Headers that get past the first checks more often than not.
    stream[0] = (uint8_t)((stream[0] & ~3u) | (1 + rng() % 3));
    if (rng() % 2) stream[0] &= 0x07;  // one set or the default set
    Bytes history = sample_data(rng, rng() % 500, round);
    decode_both(stream, history, rng() % 5000);
    if (HasFailure()) FAIL() << "round " << round;
  }
}

}  // namespace
