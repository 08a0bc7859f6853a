// Bit order, frame header layout and Huffman code construction, checked
// against hand-computed bytes and the format's worked examples.
#include <gtest/gtest.h>

#include <vector>

#include "encode/bit_writer.h"
#include "encode/huffman.h"
#include "encode/symbols.h"

namespace {

std::vector<uint8_t> bits(std::initializer_list<std::pair<uint32_t, int>> fields) {
  std::vector<uint8_t> out;
  qev::BitWriter w(out);
  for (auto [v, n] : fields) w.put(v, n);
  w.flush();
  return out;
}

TEST(BitWriter, FieldsGoLeastSignificantBitFirst) {
  // A 4-bit field 0x5 then an 8-bit field 0x1A read back from 0xA5 0x01.
  EXPECT_EQ(bits({{0x5, 4}, {0x1A, 8}}), (std::vector<uint8_t>{0xA5, 0x01}));
  // Frame header: method 1, last 1, block size 300, block_length 200.
  EXPECT_EQ(bits({{1, 4}, {1, 1}, {300, 20}, {200, 20}}),
            (std::vector<uint8_t>{0x91, 0x25, 0x00, 0x90, 0x01, 0x00}));
  // Method 1, size 1000, length 500, selector row 2 column 1.
  EXPECT_EQ(bits({{1, 4}, {0, 1}, {1000, 20}, {500, 20}, {2 | (1 << 2), 5}}),
            (std::vector<uint8_t>{0x01, 0x7D, 0x00, 0xE8, 0x03, 0xC0, 0x00}));
  // Stored last block of 5 bytes, frame length 11.
  EXPECT_EQ(bits({{0, 4}, {1, 1}, {5, 20}, {11, 20}}), (std::vector<uint8_t>{0xB0, 0x00, 0x00, 0x16, 0x00, 0x00}));
  // Wide fields across the 32-bit flush boundary.
  EXPECT_EQ(bits({{0x7FFF, 15}, {0x3FFFF, 18}, {1, 1}}), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x03}));
}

TEST(BitWriter, PatchBitsRewritesAField) {
  std::vector<uint8_t> b(6, 0xFF);
  qev::patch_bits(b.data(), 25, 200, 20);
  EXPECT_EQ(b[3], 0x91);  // bit 0 of byte 3 kept, then 200 << 1
  EXPECT_EQ(b[4], 0x01);
  EXPECT_EQ(b[5], 0xE0);
}

TEST(Huffman, CanonicalCodesAreStoredReversed) {
  const uint8_t lengths[4] = {2, 1, 3, 3};  // codes 10, 0, 110, 111
  uint16_t codes[4];
  qev::build_canonical_codes(lengths, 4, codes);
  EXPECT_EQ(codes[0], 1);
  EXPECT_EQ(codes[1], 0);
  EXPECT_EQ(codes[2], 3);
  EXPECT_EQ(codes[3], 7);
}

double kraft(const uint8_t* l, int n) {
  double k = 0;
  for (int i = 0; i < n; i++) if (l[i]) k += 1.0 / (1 << l[i]);
  return k;
}

TEST(Huffman, LengthsAreLimitedAndComplete) {
  // Fibonacci frequencies make a 40-deep unlimited tree.
  uint32_t f[288] = {0};
  uint64_t a = 1, b = 1;
  for (int i = 0; i < 40; i++) { f[i * 7] = (uint32_t)std::min<uint64_t>(a, 0xFFFFFFFFu); uint64_t c = a + b; a = b; b = c; }
  uint8_t l[288];
  qev::build_code_lengths(f, 288, 16, l);
  for (int i = 0; i < 288; i++) {
    EXPECT_LE(l[i], 16);
    EXPECT_EQ(l[i] != 0, f[i] != 0);
  }
  EXPECT_DOUBLE_EQ(kraft(l, 288), 1.0);
  // More frequent symbols never get longer codes.
  for (int i = 0; i + 1 < 40; i++) EXPECT_GE(l[i * 7], l[(i + 1) * 7]);
}

TEST(Huffman, SmallAndEmptyAlphabets) {
  uint32_t f[14] = {0};
  uint8_t l[14];
  qev::build_code_lengths(f, 14, 16, l);
  for (uint8_t x : l) EXPECT_EQ(x, 0);
  f[9] = 5;
  qev::build_code_lengths(f, 14, 16, l);
  EXPECT_EQ(l[9], 1);  // one used symbol: one 1-bit code
  f[3] = 1;
  qev::build_code_lengths(f, 14, 16, l);
  EXPECT_EQ(l[9], 1);
  EXPECT_EQ(l[3], 1);
  // Random frequencies: limited, complete.
  uint32_t g[42];
  uint32_t s = 7;
  for (int t = 0; t < 200; t++) {
    for (auto& x : g) { s = s * 1103515245 + 12345; x = (s >> 16) % 3 == 0 ? 0 : (s >> 8) % (1 + t * 1000); }
    uint8_t m[42];
    qev::build_code_lengths(g, 42, 7, m);
    int used = 0;
    for (int i = 0; i < 42; i++) { EXPECT_LE(m[i], 7); used += g[i] != 0; }
    if (used >= 2) EXPECT_DOUBLE_EQ(kraft(m, 42), 1.0);
  }
}

TEST(Symbols, LengthAndDistanceCodesMatchTheTables) {
  EXPECT_EQ(qev::length_code(2).symbol, 257);
  EXPECT_EQ(qev::length_code(10).symbol, 265);
  auto c = qev::length_code(11);
  EXPECT_EQ(c.symbol, 266); EXPECT_EQ(c.extra_bits, 1); EXPECT_EQ(c.extra, 0);
  c = qev::length_code(18);
  EXPECT_EQ(c.symbol, 269); EXPECT_EQ(c.extra, 1);
  c = qev::length_code(258);
  EXPECT_EQ(c.symbol, 285); EXPECT_EQ(c.extra_bits, 5); EXPECT_EQ(c.extra, 31);
  c = qev::length_code(33026);
  EXPECT_EQ(c.symbol, 286); EXPECT_EQ(c.extra_bits, 15); EXPECT_EQ(c.extra, 0x7FFF);
  // Distance codes are distance + 1 (0 and 1 are the registers).
  struct { uint32_t d; int sym; int bits; uint32_t extra; } cases[] = {
      {1, 2, 0, 0}, {4, 5, 0, 0}, {5, 6, 1, 0}, {6, 6, 1, 1}, {7, 7, 1, 0}, {9, 8, 2, 0}, {13, 9, 2, 0},
      {49, 13, 4, 0}, {64, 13, 4, 15}, {6145, 27, 11, 0}, {8192, 27, 11, 2047}, {786433, 41, 18, 0},
      {1048576, 41, 18, 262143}};
  for (auto& k : cases) {
    auto d = qev::distance_code(k.d + 1);
    EXPECT_EQ(d.symbol, k.sym) << k.d;
    EXPECT_EQ(d.extra_bits, k.bits) << k.d;
    EXPECT_EQ(d.extra, k.extra) << k.d;
  }
}

}  // namespace
