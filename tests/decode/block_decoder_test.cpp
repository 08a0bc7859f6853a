// The block decoder on streams built field by field: the worked example of the
// format, header cases, output that ends exactly at the bytes asked, dropped
// and cut matches, the distance-table choice by match length, the two repeat
// registers, long lengths, early ends on damaged data, the implementer's
// choices, cancellation and memory failure. Every decode runs through the
// reference loop and the fast loop, which must agree in everything.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "block_test_support.h"
#include "decode/block_decoder.h"
#include "decode/decoder_state.h"
#include "decode_fixture.h"
#include "fault_support.h"
#include "base/result_codes.h"
#include "shell/stub_config.h"
#include "stream_writer.h"

namespace {

using dectest::BitWriter;
using dectest::decode_both;
using dectest::Decoded;
using dectest::Item;

typedef std::vector<uint8_t> Bytes;

// The default set as the format's table gives it, and its canonical codes.
struct DefaultCodes {
  Bytes len;
  std::vector<uint32_t> lit, d0, d1;
  explicit DefaultCodes(uint32_t window) : len(344, 0) {
    for (int i = 0; i < 288; i++) len[i] = i < 244 ? 8 : i < 256 ? 9 : i == 256 ? 0 : i <= 260 ? 9 : i <= 265 ? 10 : 11;
    for (int i = 0; i < 42; i++) len[288 + i] = window > 8192 ? (i < 22 ? 5 : 6) : (i < 4 ? 4 : i < 28 ? 5 : 0);
    for (int i = 0; i < 14; i++) len[330 + i] = i < 2 ? 3 : 4;
    lit = dectest::canonical_codes(len.data(), 288);
    d0 = dectest::canonical_codes(len.data() + 288, 42);
    d1 = dectest::canonical_codes(len.data() + 330, 14);
  }
  void lit_sym(BitWriter& w, uint32_t s) const { w.put_code(lit[s], len[s]); }
  void dist0(BitWriter& w, uint32_t s) const { w.put_code(d0[s], len[288 + s]); }
};

Bytes text(const char* s) { return Bytes(s, s + strlen(s)); }

TEST(BlockDecoder, WorkedExampleFiveBytes) {
  dectest::reset_decoder();
  Decoded d = decode_both({0x02, 0x82, 0xDF, 0x08}, {}, 5);
  EXPECT_EQ(d.result, 5);
  EXPECT_EQ(d.out, Bytes(5, 0x41));
  EXPECT_EQ(d.bits, 32u);  // byte 4, bit 0

  // The same stream field by field: 2 tables, no sets; literal 0x41 (code
  // 01000001), symbol 259 (length 4, code 111110110), distance symbol 2
  // (distance 1, code 0010).
  BitWriter w;
  w.put(2, 2);             // distance tables
  w.put(0, 6);             // table sets: none, the default set
  w.put_code(0x41, 8);     // literal 0x41
  w.put_code(0x1F6, 9);    // symbol 259
  w.put_code(0x2, 4);      // distance symbol 2
  EXPECT_EQ(w.bytes(), Bytes({0x02, 0x82, 0xDF, 0x08}));
}

TEST(BlockDecoder, HeaderCases) {
  dectest::reset_decoder();
  EXPECT_EQ(decode_both({0x00, 0xFF, 0xFF}, {}, 5).result, ERR_DAMAGED);  // no distance table
  EXPECT_EQ(decode_both({0xFC, 0xFF, 0xFF}, {}, 5).result, ERR_DAMAGED);  // 0 tables, 63 sets
  // Three distance tables and no sets: no default lengths for table 2.
  EXPECT_EQ(decode_both({0x03, 0x00, 0x00}, {}, 5).result, ERR_DAMAGED);
  // Zero bytes asked: the header (and no lengths) is read, then the reader
  // is aligned.
  Decoded d = decode_both({0x02, 0xFF}, {}, 0);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.bits, 8u);
  // With sets sent, the lengths are read first.
  BitWriter w;
  dectest::BlockDesign design;
  design.tables = 2;
  dectest::TableSet set;
  set.items = {dectest::literal('a')};
  set.end_with_256 = false;
  design.sets = {set};
  dectest::write_block(w, design);
  uint64_t header_and_lengths = w.bit_count() - 1;  // 'a' is the only code: 1 bit
  d = decode_both(w.bytes(), {}, 0);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.bits, (header_and_lengths + 7) / 8 * 8);
}

TEST(BlockDecoder, OutputEndsExactlyAtTheBytesAsked) {
  DefaultCodes c(8);
  // After history "A": a match of length 10 (symbol 265) at distance 1 with 3
  // bytes to produce writes 3 bytes and the block ends, without symbol 256.
  BitWriter w;
  w.put(2, 2);
  w.put(0, 6);
  c.lit_sym(w, 265);  // length 10
  c.dist0(w, 2);      // distance 1
  c.lit_sym(w, 'Z');  // never read
  Decoded d = decode_both(w.bytes(), text("A"), 3);
  EXPECT_EQ(d.result, 3);
  EXPECT_EQ(d.out, text("AAAA"));
  EXPECT_EQ(d.bits, 24u);  // 8 + 10 + 4 bits, aligned

  // Distance 1 with length 5 after the byte X writes X five times.
  BitWriter v;
  v.put(2, 2);
  v.put(0, 6);
  c.lit_sym(v, 'X');
  c.lit_sym(v, 260);  // length 5
  c.dist0(v, 2);      // distance 1
  d = decode_both(v.bytes(), {}, 6);
  EXPECT_EQ(d.result, 6);
  EXPECT_EQ(d.out, text("XXXXXX"));
}

TEST(BlockDecoder, MatchesBeforeTheBufferAreDropped) {
  DefaultCodes c(8);
  // History 0: a first match at distance 1 is dropped; the next item decodes.
  BitWriter w;
  w.put(2, 2);
  w.put(0, 6);
  c.lit_sym(w, 258);  // length 3
  c.dist0(w, 2);      // distance 1: nothing precedes
  c.lit_sym(w, 'Q');
  Decoded d = decode_both(w.bytes(), {}, 1);
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.out, text("Q"));

  // A distance equal to the bytes before the output copies from the first
  // byte; one more is dropped.
  BitWriter v;
  v.put(2, 2);
  v.put(0, 6);
  c.lit_sym(v, 258);
  c.dist0(v, 4);      // distance 3
  c.lit_sym(v, 258);
  c.dist0(v, 5);      // distance 4 from output position 6: "CAB"
  d = decode_both(v.bytes(), text("ABC"), 6);
  EXPECT_EQ(d.out, text("ABCABCCAB"));
  BitWriter u;
  u.put(2, 2);
  u.put(0, 6);
  c.lit_sym(u, 258);
  c.dist0(u, 5);      // distance 4 with 3 bytes before: dropped
  c.lit_sym(u, 'D');
  d = decode_both(u.bytes(), text("ABC"), 1);
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.out, text("ABCD"));
}

// A set with explicit code lengths: literals a, b, c and symbol 256 of 3
// bits, symbols 257 and 258 of 2 bits; each distance table has one symbol of
// 1 bit: table 0 symbol 3 (distance 2), table 1 symbol 2 (distance 1),
// table 2 symbol 5 (distance 4).
dectest::TableSet choice_set() {
  dectest::TableSet set;
  set.lengths.assign(372, 0);
  for (int s : {(int)'a', (int)'b', (int)'c', 256}) set.lengths[s] = 3;
  set.lengths[257] = 2;
  set.lengths[258] = 2;
  set.lengths[288 + 3] = 1;
  set.lengths[330 + 2] = 1;
  set.lengths[344 + 5] = 1;
  return set;
}

Item match(uint32_t lit_sym, uint32_t table, uint32_t dist_sym) {
  Item i;
  i.lit_sym = lit_sym;
  i.dist_table = table;
  i.dist_sym = dist_sym;
  return i;
}

TEST(BlockDecoder, MatchLengthChoosesTheDistanceTable) {
  dectest::reset_decoder();
  // After history "wxyz" and literals a, b, c: with three tables 258 (length
  // 3) takes table 2 (distance 4), then 257 (length 2) table 1 (distance 1).
  dectest::BlockDesign design;
  design.tables = 3;
  dectest::TableSet set = choice_set();
  set.items = {dectest::literal('a'), dectest::literal('b'), dectest::literal('c'),
               match(258, 2, 5), match(257, 1, 2)};
  set.end_with_256 = false;
  design.sets = {set};
  BitWriter w;
  dectest::write_block(w, design);
  Decoded d = decode_both(w.bytes(), text("wxyz"), 8);
  EXPECT_EQ(d.out, text("wxyzabczabbb"));

  // With two tables 258 takes table 0 (distance 2).
  design.tables = 2;
  design.sets[0].items[3] = match(258, 0, 3);
  BitWriter v;
  dectest::write_block(v, design);
  d = decode_both(v.bytes(), text("wxyz"), 8);
  EXPECT_EQ(d.out, text("wxyzabcbcbbb"));
}

TEST(BlockDecoder, RepeatRegisters) {
  // Table 0 with symbols 1, 8 and 9 (and 0) of 2 bits; symbol 258 and 256 of
  // 1 bit. After 32 bytes of history 0..31: symbol 8 (extra 1: distance 10),
  // 9 (extra 2: distance 15), 1 (distance 10 again, 15 now the second-last),
  // 1 (distance 15).
  Bytes history(32);
  for (int i = 0; i < 32; i++) history[i] = (uint8_t)i;
  dectest::TableSet set;
  set.lengths.assign(344, 0);
  set.lengths[256] = 1;
  set.lengths[258] = 1;
  for (int s : {0, 1, 8, 9}) set.lengths[288 + s] = 2;
  Item a = match(258, 0, 8);
  a.lit_extra_bits = 0;
  a.dist_extra = 1;
  a.dist_extra_bits = 2;
  Item b = match(258, 0, 9);
  b.dist_extra = 2;
  b.dist_extra_bits = 2;
  set.items = {a, b, match(258, 0, 1), match(258, 0, 1)};
  set.end_with_256 = false;
  dectest::BlockDesign design;
  design.tables = 2;
  design.sets = {set};
  BitWriter w;
  dectest::write_block(w, design);
  Decoded d = decode_both(w.bytes(), history, 12);
  ASSERT_EQ(d.result, 12);
  // Model: copy 3 bytes from distance 10, 15, 10, 15.
  Bytes expect = history;
  for (uint32_t dist : {10u, 15u, 10u, 15u}) {
    for (int k = 0; k < 3; k++) expect.push_back(expect[expect.size() - dist]);
  }
  EXPECT_EQ(d.out, expect);

  // Symbols 2-5 leave the registers alone: 9 (distance 14), 3 (distance 2),
  // then 0 gives distance 14.
  set.lengths.assign(344, 0);
  set.lengths[256] = 1;
  set.lengths[258] = 1;
  set.lengths[288 + 0] = 2;
  set.lengths[288 + 3] = 2;
  set.lengths[288 + 9] = 1;
  Item c = match(258, 0, 9);
  c.dist_extra = 1;
  c.dist_extra_bits = 2;
  set.items = {c, match(258, 0, 3), match(258, 0, 0)};
  design.sets = {set};
  BitWriter v;
  dectest::write_block(v, design);
  d = decode_both(v.bytes(), history, 9);
  expect = history;
  for (uint32_t dist : {14u, 2u, 14u}) {
    for (int k = 0; k < 3; k++) expect.push_back(expect[expect.size() - dist]);
  }
  EXPECT_EQ(d.out, expect);
}

TEST(BlockDecoder, LongestLength) {
  // Symbol 286 with 15 extra bits of 0x7FFF: length 33026, here at distance 1.
  DefaultCodes c(33027);
  BitWriter w;
  w.put(2, 2);
  w.put(0, 6);
  c.lit_sym(w, 286);
  w.put(0x7FFF, 15);
  c.dist0(w, 2);
  Decoded d = decode_both(w.bytes(), text("X"), 33026);
  EXPECT_EQ(d.result, 33026);
  EXPECT_EQ(d.out, Bytes(33027, 'X'));
}

TEST(BlockDecoder, EarlyEnds) {
  dectest::reset_decoder();
  // Symbol 256 in the last set ends the block with the count so far.
  dectest::BlockDesign design;
  design.tables = 1;
  dectest::TableSet set;
  set.items = {dectest::literal('a'), dectest::literal('b')};
  set.end_with_256 = true;
  design.sets = {set};
  BitWriter w;
  dectest::write_block(w, design);
  EXPECT_EQ(decode_both(w.bytes(), {}, 10).result, 2);

  // A literal/length code with an empty entry: the block ends there.
  dectest::TableSet sparse;
  sparse.lengths.assign(344, 0);
  sparse.lengths['a'] = 2;  // codes 00 only; 01, 10, 11 are empty
  sparse.items = {dectest::literal('a')};
  sparse.end_with_256 = false;
  design.sets = {sparse};
  BitWriter v;
  dectest::write_block(v, design);
  v.put(3, 2);  // an empty code
  Decoded d = decode_both(v.bytes(), {}, 10);
  EXPECT_EQ(d.result, 1);

  // Data that run out: no refill is possible in memory, the block ends short.
  DefaultCodes c(8);
  BitWriter u;
  u.put(2, 2);
  u.put(0, 6);
  for (int i = 0; i < 40; i++) c.lit_sym(u, 'a' + i % 26);
  d = decode_both(u.bytes(), {}, 100);
  EXPECT_EQ(d.result, 40);
}

TEST(BlockDecoder, ImplementerChoices) {
  // A length-2 match in a one-table block: no table for it, the block ends.
  dectest::TableSet set;
  set.lengths.assign(344, 0);
  set.lengths['a'] = 1;
  set.lengths[257] = 1;
  set.lengths[288 + 2] = 1;
  set.lengths[330 + 2] = 1;  // sent, but table 1 is not built in a one-table block
  set.items = {dectest::literal('a'), match(257, 1, 2), dectest::literal('a')};
  set.end_with_256 = false;
  dectest::BlockDesign design;
  design.tables = 1;
  design.sets = {set};
  BitWriter w;
  dectest::write_block(w, design);
  EXPECT_EQ(decode_both(w.bytes(), {}, 4).result, 1);

  // Distance 0: a repeat register read before any distance is known.
  DefaultCodes c(8);
  for (uint32_t s : {0u, 1u}) {
    BitWriter v;
    v.put(2, 2);
    v.put(0, 6);
    c.lit_sym(v, 'a');
    c.lit_sym(v, 258);
    c.dist0(v, s);
    Decoded d = decode_both(v.bytes(), text("xy"), 5);
    EXPECT_EQ(d.result, 1) << s;
    EXPECT_EQ(d.out, text("xya"));
  }
}

TEST(BlockDecoder, CancelAndMemory) {
  REQUIRE_FAULTS();
  Bytes example = {0x02, 0x82, 0xDF, 0x08};
  dectest::reset_decoder();
  decoder.cancel_requested = 1;
  EXPECT_EQ(dectest::decode_once(example, {}, 5, false).result, ERR_CANCELLED);
  decoder.cancel_requested = 0;
  fault_reset();
  fault_arm(FAULT_ALLOC, 1);
  EXPECT_EQ(dectest::decode_once(example, {}, 5, false).result, ERR_NOMEM);
  fault_reset();
  EXPECT_EQ(dectest::decode_once(example, {}, 5, false).result, 5);
  // The lengths array is the only allocation, and it is freed on every path.
  EXPECT_EQ(fault_calls(FAULT_ALLOC), 1u);
}

TEST(BlockDecoder, LengthSetFailurePassesUp) {
  // One set announced, the stream ends inside the pre-code.
  EXPECT_EQ(decode_both({0x06, 0x31}, {}, 5).result, ERR_TRUNCATED);
}

}  // namespace
