// The code-length set coder against a reference reader written from the
// reading rules: pre-code fields, change symbols modulo 17, zero and repeat
// runs with doubling multipliers, the base taken from the previous set.
#include <gtest/gtest.h>

#include "encode/length_sets.h"
#include "reference_reader.h"

namespace {

std::vector<uint8_t> encode_and_read(const std::vector<uint8_t>& lengths, int set_size, int sets,
                                     uint64_t* bits = nullptr) {
  qev::LengthSetCoding c;
  qev::plan_length_sets(lengths.data(), set_size, sets, c);
  std::vector<uint8_t> out;
  qev::BitWriter w(out);
  write_length_sets(w, c);
  uint64_t written = w.bit_count();
  w.flush();
  out.resize(out.size() + 8, 0);
  std::vector<uint8_t> back;
  uint64_t used = 0;
  EXPECT_EQ(refread::read_length_sets(out.data(), out.size(), set_size, sets, back, &used), "");
  EXPECT_EQ(used, written);
  EXPECT_EQ(c.bits, written);
  if (bits) *bits = written;
  return back;
}

TEST(LengthSets, TokensFollowTheRunRules) {
  std::vector<uint8_t> t;
  // Lengths 8, 9, 0, 9 in a first set: changes from the current length; the
  // single zero as a zero run keeps the current length at 9.
  const uint8_t a[] = {8, 9, 0, 9};
  qev::tokenize_length_sets(a, 4, 1, t);
  EXPECT_EQ(t, (std::vector<uint8_t>{8, 1, 17, 0}));
  // Five zeros: bijective digits 1, 2 (1 x 1 + 2 x 2).
  const uint8_t z[] = {0, 0, 0, 0, 0, 6};
  qev::tokenize_length_sets(z, 6, 1, t);
  EXPECT_EQ(t, (std::vector<uint8_t>{17, 18, 6}));
  // Second set equal to the first: one repeat run of 9 = 1 + 2*2 + 1*4.
  uint8_t two[18] = {3, 3, 4, 2, 5, 5, 5, 7, 1, 3, 3, 4, 2, 5, 5, 5, 7, 1};
  qev::tokenize_length_sets(two, 9, 2, t);
  std::vector<uint8_t> tail(t.end() - 3, t.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{19, 20, 19}));
}

TEST(LengthSets, RoundTripThroughReferenceReader) {
  uint32_t s = 99;
  auto rnd = [&]() { s = s * 1664525 + 1013904223; return s >> 8; };
  for (int trial = 0; trial < 60; trial++) {
    int set_size = trial % 2 ? 372 : 344;
    int sets = 1 + trial % 63;
    std::vector<uint8_t> l((size_t)set_size * sets);
    for (int j = 0; j < sets; j++) {
      for (int i = 0; i < set_size; i++) {
        uint8_t& v = l[(size_t)j * set_size + i];
        uint32_t k = rnd() % 10;
        if (j > 0 && k < 6) v = l[(size_t)(j - 1) * set_size + i];  // mostly like the previous set
        else if (k < 8) v = 0;
        else v = (uint8_t)(rnd() % 17);
      }
    }
    EXPECT_EQ(encode_and_read(l, set_size, sets), l) << trial;
  }
}

TEST(LengthSets, SimilarSetsCostFewBits) {
  std::vector<uint8_t> one(344);
  // Zeros together at the end, as unused distance symbols are.
  for (int i = 0; i < 344; i++) one[i] = (uint8_t)(i < 288 ? 7 + i % 5 : i < 320 ? 5 : 0);
  std::vector<uint8_t> many;
  for (int j = 0; j < 40; j++) many.insert(many.end(), one.begin(), one.end());
  many[344 * 20 + 5] = 12;
  uint64_t b1 = 0, b40 = 0;
  EXPECT_EQ(encode_and_read(one, 344, 1, &b1), one);
  EXPECT_EQ(encode_and_read(many, 344, 40, &b40), many);
  EXPECT_LT(b40, b1 + 40 * 48);  // each further set costs a handful of run digits
}

TEST(LengthSets, ExtremesRoundTrip) {
  std::vector<uint8_t> zeros(372 * 63, 0);
  EXPECT_EQ(encode_and_read(zeros, 372, 63), zeros);
  std::vector<uint8_t> sixteen(344 * 3, 16);
  EXPECT_EQ(encode_and_read(sixteen, 344, 3), sixteen);
  std::vector<uint8_t> alternating(344 * 2);
  for (size_t i = 0; i < alternating.size(); i++) alternating[i] = (uint8_t)((i * 7) % 17);
  EXPECT_EQ(encode_and_read(alternating, 344, 2), alternating);
}

}  // namespace
