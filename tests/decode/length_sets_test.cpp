// Code-length sets: the pre-code with its zero runs, change symbols modulo 17
// against the previous set or the current length, zero and repeat runs with
// their bijective base-2 multipliers, runs cut at the array's end, and the
// default set on both sides of the 8192-byte window. Streams are written
// field by field; the pre-code used gives every symbol a 5-bit code (21
// fields of 6), so symbol s is the 5-bit value s, first bit its highest.
#include <gtest/gtest.h>

#include <vector>

#include "decode/decoder_state.h"
#include "decode/length_sets.h"
#include "decode_fixture.h"
#include "base/result_codes.h"
#include "stream_writer.h"

namespace {

using dectest::BitWriter;
using dectest::MemoryInput;

// Pre-code fields: all 21 symbols of length 5.
void flat_precode(BitWriter& w) {
  for (int i = 0; i < 21; i++) w.put(6, 5);  // length 6 - 1 = 5
}
void sym(BitWriter& w, uint32_t s) { w.put_code(s, 5); }
// A zero run of r positions: bijective base-2 digits, least significant first.
void zeros(BitWriter& w, size_t r) {
  while (r > 0) {
    uint32_t d = (r & 1) ? 1 : 2;
    sym(w, 16 + d);  // 17: digit 1, 18: digit 2
    r = (r - d) / 2;
  }
}

std::vector<uint8_t> read_sets(const BitWriter& w, uint32_t count, int* result,
                               uint32_t set_size = SET_SIZE_TWO_TABLES) {
  dectest::reset_decoder();
  MemoryInput in(w.bytes());
  std::vector<uint8_t> lengths(count != 0 ? count * set_size : SET_SIZE_TWO_TABLES, 0xEE);
  *result = read_length_sets(lengths.data(), set_size, count, 100000);
  return lengths;
}

TEST(PreCode, ZeroRunsDoubleTheirMultiplier) {
  // Fields 0, 1, 7: a run of 1 x 1 + 2 x 2 = 5 zero lengths, then length 6 at
  // position 5; then 15 fields of length 2.
  BitWriter w;
  w.put(0, 5);
  w.put(1, 5);
  w.put(7, 5);
  for (int i = 6; i < 21; i++) w.put(3, 5);
  dectest::reset_decoder();
  MemoryInput in(w.bytes());
  uint8_t pre[21];
  ASSERT_EQ(read_precode(pre), 0);
  EXPECT_EQ(std::vector<uint8_t>(pre, pre + 6), (std::vector<uint8_t>{0, 0, 0, 0, 0, 6}));
  EXPECT_EQ(pre[20], 2);
  EXPECT_EQ(in.bits_consumed(), 18u * 5);
}

TEST(PreCode, ARunPastTheEndEndsItAndLeavesNoCodes) {
  // Fields 1, 1, 1, 1: 2 + 4 + 8 + 16 = 30 positions; every length 0, so the
  // first symbol read finds an empty entry.
  BitWriter w;
  for (int i = 0; i < 4; i++) w.put(1, 5);
  w.put(0, 16);
  int result;
  read_sets(w, 1, &result);
  EXPECT_EQ(result, ERR_DAMAGED);
  EXPECT_EQ(decoder.in.pos - decoder.in.input_buffer, 2);  // 20 bits read, written back
  EXPECT_EQ(decoder.in.bit_offset, 4u);
}

TEST(PreCode, LengthAbove16IsDamaged) {
  BitWriter w;
  w.put(18, 5);  // length 17
  for (int i = 1; i < 21; i++) w.put(6, 5);
  int result;
  read_sets(w, 1, &result);
  EXPECT_EQ(result, ERR_DAMAGED);
}

TEST(LengthSets, ChangesAndZeroRunsInTheFirstSet) {
  // Symbols 8, 1, 17, 0: lengths 8, 9, 0, 9 (the zero run keeps 9 current).
  // Then 12 and 9: (12 + 9) mod 17 = 4; then 5 on 4... and the rest zeros.
  BitWriter w;
  flat_precode(w);
  sym(w, 8);
  sym(w, 1);
  sym(w, 17);
  sym(w, 0);
  sym(w, 3);   // 9 + 3 = 12
  sym(w, 9);   // (12 + 9) mod 17 = 4
  sym(w, 8);   // 4 + 8 = 12
  sym(w, 5);   // (12 + 5) mod 17 = 0: no code
  zeros(w, 344 - 8);
  int result;
  std::vector<uint8_t> l = read_sets(w, 1, &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(std::vector<uint8_t>(l.begin(), l.begin() + 8),
            (std::vector<uint8_t>{8, 9, 0, 9, 12, 4, 12, 0}));
  for (size_t i = 8; i < 344; i++) ASSERT_EQ(l[i], 0) << i;
}

TEST(LengthSets, ChangesAgainstThePreviousSet) {
  // Set 0: 7 at position 0, 0 at position 1, then zeros; current ends at 7.
  // Set 1: position 0 (set 0 has 7): symbol 0 gives 7, at position 1 (set 0
  // has 0) symbol 0 gives the current length 7; position 2: symbol 16 on
  // base current 7 gives 6.
  BitWriter w;
  flat_precode(w);
  sym(w, 7);
  zeros(w, 343);
  sym(w, 0);
  sym(w, 0);
  sym(w, 16);
  zeros(w, 341);
  int result;
  std::vector<uint8_t> l = read_sets(w, 2, &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(l[0], 7);
  EXPECT_EQ(l[344], 7);
  EXPECT_EQ(l[345], 7);
  EXPECT_EQ(l[346], 6);

  // In set 1, where set 0 has 7: symbol 16 gives (7 + 16) mod 17 = 6.
  BitWriter v;
  flat_precode(v);
  sym(v, 7);
  zeros(v, 343);
  sym(v, 16);
  zeros(v, 343);
  l = read_sets(v, 2, &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(l[344], 6);
}

TEST(LengthSets, RepeatRuns) {
  // A repeat run at the very start writes the current length 0. Symbols 19,
  // 20, 19 make 1 + 2*2 + 1*4 = 9 positions.
  BitWriter w;
  flat_precode(w);
  sym(w, 19);
  sym(w, 20);
  sym(w, 19);
  sym(w, 5);  // position 9: 5
  zeros(w, 344 - 10);
  int result;
  std::vector<uint8_t> l = read_sets(w, 1, &result);
  ASSERT_EQ(result, 0);
  for (int i = 0; i < 9; i++) EXPECT_EQ(l[i], 0) << i;
  EXPECT_EQ(l[9], 5);

  // In set 1 a repeat run of 3 over positions where set 0 has 5, 0, 7 writes
  // 5, 5, 7. Run of 3: digits 1, 1 (symbols 19, 19).
  BitWriter v;
  flat_precode(v);
  sym(v, 5);
  sym(v, 12);  // (5 + 12) mod 17 = 0, which becomes the current length
  sym(v, 7);   // 0 + 7
  zeros(v, 341);
  sym(v, 19);
  sym(v, 19);
  zeros(v, 341);
  l = read_sets(v, 2, &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(std::vector<uint8_t>(l.begin(), l.begin() + 3), (std::vector<uint8_t>{5, 0, 7}));
  EXPECT_EQ(std::vector<uint8_t>(l.begin() + 344, l.begin() + 347),
            (std::vector<uint8_t>{5, 5, 7}));
}

TEST(LengthSets, MultipliersResetOnAnotherKind) {
  // 17, 19, 17: the repeat run resets the zero multiplier, so the second zero
  // run is 1 position again (1 + 1 + 1 = 3 positions, not 1 + 1 + 2).
  BitWriter w;
  flat_precode(w);
  sym(w, 4);   // position 0: 4
  sym(w, 17);  // position 1: 0
  sym(w, 19);  // position 2: current 4
  sym(w, 17);  // position 3: 0
  sym(w, 6);   // position 4: 4 + 6 = 10
  zeros(w, 344 - 5);
  int result;
  std::vector<uint8_t> l = read_sets(w, 1, &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(std::vector<uint8_t>(l.begin(), l.begin() + 5), (std::vector<uint8_t>{4, 0, 4, 0, 10}));
}

TEST(LengthSets, ARunStopsAtTheEndAndTheStreamGoesOn) {
  // A zero run of 6 over the last 3 positions writes 3; the bits after the
  // run symbol are the block's.
  int result;
  std::vector<uint8_t> l;
  BitWriter v;
  flat_precode(v);
  zeros(v, 340);
  sym(v, 1);  // position 340: 1
  sym(v, 18);
  sym(v, 18);  // a zero run of 2 + 4 = 6 cut to the 3 positions left
  uint64_t run_end = v.bit_count();
  v.put(0x2A, 8);
  l = read_sets(v, 1, &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(l[340], 1);
  EXPECT_EQ(l[343], 0);
  EXPECT_EQ((decoder.in.pos - decoder.in.input_buffer) * 8 + decoder.in.bit_offset,
            (ptrdiff_t)run_end);
}

TEST(LengthSets, RefillFailuresPassUp) {
  // The stream ends inside the lengths: no refill is possible.
  BitWriter w;
  flat_precode(w);
  sym(w, 8);
  int result;
  read_sets(w, 1, &result);
  EXPECT_EQ(result, ERR_TRUNCATED);
}

TEST(DefaultSet, BothDistanceVariantsAroundTheWindow) {
  std::vector<uint8_t> small(344), large(344);
  default_length_set(small.data(), 8192);
  default_length_set(large.data(), 8193);
  EXPECT_EQ(small[0], 8);
  EXPECT_EQ(small[243], 8);
  EXPECT_EQ(small[244], 9);
  EXPECT_EQ(small[256], 0);
  EXPECT_EQ(small[257], 9);
  EXPECT_EQ(small[261], 10);
  EXPECT_EQ(small[266], 11);
  EXPECT_EQ(small[287], 11);
  EXPECT_EQ(small[288 + 3], 4);
  EXPECT_EQ(small[288 + 4], 5);
  EXPECT_EQ(small[288 + 27], 5);
  EXPECT_EQ(small[288 + 28], 0);
  EXPECT_EQ(large[288 + 21], 5);
  EXPECT_EQ(large[288 + 22], 6);
  EXPECT_EQ(large[288 + 41], 6);
  EXPECT_EQ(small[330], 3);
  EXPECT_EQ(small[332], 4);
  EXPECT_EQ(small[343], 4);
  // Every code of it is complete: the Kraft sums are exactly 1.
  auto kraft = [](const uint8_t* l, int n) {
    uint32_t sum = 0;
    for (int i = 0; i < n; i++) sum += l[i] ? 1u << (16 - l[i]) : 0;
    return sum;
  };
  for (const auto* set : {&small, &large}) {
    EXPECT_EQ(kraft(set->data(), 288), 65536u);
    EXPECT_EQ(kraft(set->data() + 288, 42), 65536u);
    EXPECT_EQ(kraft(set->data() + 330, 14), 65536u);
  }
  // A set count of 0 reads nothing and fills the default set.
  BitWriter none;
  none.put(0xFF, 8);
  int result;
  std::vector<uint8_t> l = read_sets(none, 0, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(decoder.in.pos, decoder.in.input_buffer);
}

}  // namespace
