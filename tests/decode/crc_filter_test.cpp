// CRC-32 and the call filters. The CRC against its defining values and a
// bit-at-a-time model; the filters against the worked examples and against a
// whole-member model of the translation, for members handed over in one piece
// and in pieces of every size mix, which must give the same file and CRC.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "decode/call_filter.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "archive_builder.h"
#include "decode_fixture.h"
#include "fault_support.h"
#include "base/result_codes.h"
#include "shell/stub_config.h"

namespace {

using dectest::OutputFile;
typedef std::vector<uint8_t> Bytes;

TEST(Crc32, DefiningValues) {
  dectest::reset_decoder();
  EXPECT_EQ(decoder.crc_table[1], 0x77073096u);
  EXPECT_EQ(decoder.crc_table[128], 0xEDB88320u);
  EXPECT_EQ(decoder.crc_table[255], 0x2D02EF8Du);
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(~crc_update(0xFFFFFFFF, abc, 3), 0x352441C2u);
  EXPECT_EQ(~crc_update(0xFFFFFFFF, abc, 0), 0u);
}

// Every folding the CPU has (four lanes, and 512-bit registers on the host)
// and slicing equal the bit-at-a-time CRC at any length, alignment and
// starting value.
TEST(Crc32, EveryPathEqualsBitwiseAtAnyLengthAndAlignment) {
  dectest::reset_decoder();
  const uint8_t folding = crc_folding;
  std::mt19937 rng(3);
  Bytes data(5000);
  for (auto& b : data) b = (uint8_t)rng();
  for (uint8_t fold = 0; fold <= folding; fold++) {
    crc_folding = fold;
    for (int round = 0; round < 500; round++) {
      size_t from = rng() % 64, n = round < 200 ? round : rng() % (data.size() - 64);
      ASSERT_EQ(~crc_update(0xFFFFFFFF, data.data() + from, n),
                dectest::crc32_bitwise(data.data() + from, n)) << n;
    }
    // Running: two updates equal one.
    uint32_t c = crc_update(0xFFFFFFFF, data.data(), 1234);
    c = crc_update(c, data.data() + 1234, 777);
    EXPECT_EQ(~c, dectest::crc32_bitwise(data.data(), 2011));
  }
  crc_folding = folding;
}

TEST(CallFilter, OperandTranslations) {
  EXPECT_EQ(restore_call16(0x1234, 0x0100), 0x1134);
  const uint32_t n = 0x94000;
  EXPECT_EQ(restore_call32(0x00001000, 0x800, n), 0x00000800u);
  EXPECT_EQ(restore_call32(0xFFFFFFF0, 0x800, n), 0x9380Fu);
  EXPECT_EQ(restore_call32(0x00100000, 0x800, n), 0x00100000u);
  EXPECT_EQ(restore_call32(0u - 0x1000, 0x800, n), 0u - 0x1000);
  // The translation is a bijection: distinct stored values stay distinct.
  std::vector<uint32_t> seen;
  for (uint32_t v = 0u - 40; v != 40; v++) seen.push_back(restore_call32(v, 16, 20));
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

// Hands the member to filter_write in pieces of the given sizes (cycled).
// Returns the result, the file's bytes and the finished CRC.
struct Written {
  int result;
  Bytes file;
  uint32_t crc;
};
Written filter_in_pieces(const Bytes& m, uint32_t width, const std::vector<uint32_t>& sizes) {
  OutputFile out;
  decoder.filter_mode = width;
  decoder.carry_len = 0;
  decoder.member_crc = 0xFFFFFFFF;
  uint32_t at = 0;
  int result = 0;
  for (size_t k = 0; at < m.size() && result == 0; k++) {
    uint32_t n = std::min<uint32_t>(sizes[k % sizes.size()], (uint32_t)m.size() - at);
    result = filter_write(out.handle(), m.data() + at, n, at, (uint32_t)m.size(),
                          at + n == m.size());
    at += n;
  }
  return {result, out.bytes(), ~decoder.member_crc};
}

// Random bytes with an 0xE8 one time in `every` on top.
Bytes code_like(std::mt19937& rng, size_t n, uint32_t every = 5) {
  Bytes m(n);
  for (auto& b : m) b = rng() % every == 0 ? 0xE8 : (uint8_t)rng();
  return m;
}

// Every way of looking for calls the CPU has (the first pass chooses the
// widest), with calls dense and sparse.
TEST(CallFilter, AnyCutGivesTheSameFileAndCrc) {
  dectest::reset_decoder();
  const std::vector<std::vector<uint32_t>> cuts = {
      {1}, {2}, {3}, {5}, {7}, {100}, {4093}, {70000}, {1, 2, 3, 5, 7, 100, 4093, 70000},
      {70000, 7, 1, 4093, 2, 100, 3, 5}};
  call_scan = 0;
  filter_in_pieces(Bytes(100, 0x41), 4, {100});
  const uint8_t widest = call_scan;
  std::vector<uint8_t> scans = {widest};
  if (widest > 1) scans.push_back(1);
  for (uint8_t scan : scans) {
    for (uint32_t every : {5u, 300u}) {
      std::mt19937 rng(8);
      call_scan = scan;
      // The smallest pieces, the slowest to test, once.
      const bool smallest = scan == widest && every == 5;
      for (uint32_t width : {2u, 4u}) {
        // The size of the worked example, and a few small ones.
        for (size_t size : {606208u, 1u, 2u, 5u, 9u, 16400u}) {
          Bytes m = code_like(rng, size, every);
          Bytes expect = dectest::restore_calls_model(m, width);
          Written whole = filter_in_pieces(m, width, {(uint32_t)size});
          ASSERT_EQ(whole.result, 0);
          ASSERT_EQ(whole.file, expect) << width << " " << size;
          EXPECT_EQ(whole.crc, dectest::crc32_bitwise(expect.data(), expect.size()));
          for (const auto& cut : cuts) {
            if (!smallest && cut.size() == 1 && cut[0] < 100) continue;
            Written w = filter_in_pieces(m, width, cut);
            ASSERT_EQ(w.result, 0);
            ASSERT_EQ(w.file, expect) << width << " " << size << " cut " << cut[0];
            ASSERT_EQ(w.crc, whole.crc);
          }
        }
      }
    }
  }
  call_scan = widest;
}

TEST(CallFilter, WorkedExamples) {
  dectest::reset_decoder();
  // 32-bit: a piece ending with 0xE8 and 1 byte is carried; the next piece
  // gives the other 3 operand bytes, translated at the offset of the first.
  Bytes m = {0x90, 0xE8, 0x10, 0x00, 0x00, 0x00};
  m.resize(40, 0x90);
  Written w = filter_in_pieces(m, 4, {3, 37});
  EXPECT_EQ(w.file, dectest::restore_calls_model(m, 4));
  EXPECT_EQ(w.file[2], 0x10 - 2);  // (0x10 - 2) at p = 2: 0x0E
  // A member whose last byte is 0xE8 is written unchanged.
  m = {0x01, 0x02, 0xE8};
  EXPECT_EQ(filter_in_pieces(m, 4, {3}).file, m);
  // 16-bit: an 0xE8 at the third-last byte has the last two as its operand.
  m = {0x00, 0xE8, 0x34, 0x12};
  w = filter_in_pieces(m, 2, {4});
  EXPECT_EQ(w.file, (Bytes{0x00, 0xE8, 0x32, 0x12}));  // 0x1234 - 2
  // An operand of four 0xE8 bytes after a call byte is one operand.
  m = {0xE8, 0xE8, 0xE8, 0xE8, 0xE8, 0x00};
  w = filter_in_pieces(m, 4, {1});
  uint32_t v = restore_call32(0xE8E8E8E8, 1, 6);
  EXPECT_EQ(w.file, (Bytes{0xE8, (uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16),
                           (uint8_t)(v >> 24), 0x00}));
}

TEST(CallFilter, StretchesOfTheStageLimitAndFailures) {
  REQUIRE_FAULTS();
  dectest::reset_decoder();
  // A stage and 3621 bytes without 0xE8 in one piece (32-bit): writes of
  // STAGE_LIMIT_32 (65531 in the stub), 3617 and the 4 held back as the tail.
  const uint32_t size = STAGE_LIMIT_32 + 3621;
  Bytes m(size, 0x41);
  fault_reset();
  Written w = filter_in_pieces(m, 4, {size});
  EXPECT_EQ(w.file, m);
  EXPECT_EQ(fault_calls(FAULT_WRITE), 3u);
  for (uint32_t n : {1u, 2u, 3u}) {
    fault_reset();
    fault_arm(FAULT_WRITE, n);
    w = filter_in_pieces(m, 4, {size});
    EXPECT_EQ(w.result, ERR_WRITE);
    const size_t before[] = {0, STAGE_LIMIT_32, STAGE_LIMIT_32 + 3617};
    EXPECT_EQ(w.file.size(), before[n - 1]);
  }
  fault_reset();
  // Cancel is seen at the end of a stretch; its bytes are not written.
  decoder.cancel_requested = 1;
  w = filter_in_pieces(m, 2, {size});
  EXPECT_EQ(w.result, ERR_CANCELLED);
  EXPECT_EQ(w.file.size(), 0u);
  decoder.cancel_requested = 0;
}

}  // namespace
