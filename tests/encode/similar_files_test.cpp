// Likeness of files: sketches that near copies share and unrelated files do
// not, and the index's choice among earlier files.
#include <gtest/gtest.h>

#include "encode/similar_files.h"
#include "test_data.h"

namespace {

int shared(const qev::ContentSketch& a, const qev::ContentSketch& b) {
  int n = 0;
  for (int i = 0; i < a.count; i++)
    for (int j = 0; j < b.count; j++) n += a.value[i] == b.value[j];
  return n;
}

qev::ContentSketch sketch_of(const std::vector<uint8_t>& d) {
  qev::ContentSketch s;
  qev::sketch_content(d.data(), d.size(), s);
  return s;
}

TEST(SimilarFiles, NearCopiesShareTheirSketchAndOthersDoNot) {
  const auto a = testdata::random_bytes(20000, 1);
  auto edited = a;
  for (size_t i = 1000; i < edited.size(); i += 4000) edited[i] ^= 0x5A;  // 5 bytes changed
  auto longer = a;  // the same bytes with a third more behind them
  const auto tail = testdata::random_bytes(7000, 2);
  longer.insert(longer.end(), tail.begin(), tail.end());
  const qev::ContentSketch sa = sketch_of(a);
  ASSERT_EQ(sa.count, qev::SKETCH_SIZE);
  for (int i = 1; i < sa.count; i++) EXPECT_LT(sa.value[i - 1], sa.value[i]);  // ascending, distinct
  EXPECT_GE(shared(sa, sketch_of(edited)), qev::SKETCH_SIZE - 2);
  EXPECT_GE(shared(sa, sketch_of(longer)), qev::SKETCH_SIZE / 2);
  EXPECT_EQ(shared(sa, sketch_of(testdata::random_bytes(20000, 3))), 0);
  EXPECT_LE(shared(sketch_of(testdata::text(20000, 4)), sketch_of(testdata::x86_code(20000, 5))), 1);
  // Fewer than 8 bytes have no strings; a run of one byte has one.
  EXPECT_EQ(sketch_of(std::vector<uint8_t>(7, 1)).count, 0);
  EXPECT_EQ(sketch_of(std::vector<uint8_t>(5000, 0)).count, 1);
}

TEST(SimilarFiles, TheEarlierFileSharingMostWinsTheLatestOnATie) {
  auto hand = [](std::initializer_list<uint64_t> v) {
    qev::ContentSketch s;
    for (uint64_t x : v) s.value[s.count++] = x;
    return s;
  };
  qev::SimilarFiles index(30);
  const uint32_t NONE = qev::SimilarFiles::NONE;
  EXPECT_EQ(index.find_then_add(10, hand({1, 2, 3, 4, 5}), 2), NONE);  // nothing earlier
  EXPECT_EQ(index.find_then_add(11, hand({4, 5, 6, 7}), 2), 10u);
  EXPECT_EQ(index.find_then_add(12, hand({1, 2, 3, 6, 7}), 2), 10u);    // 3 with 10, 2 with 11
  EXPECT_EQ(index.find_then_add(13, hand({6, 7, 8}), 2), 12u);          // 2 with 11 and 12: the latest
  EXPECT_EQ(index.find_then_add(14, hand({8, 9}), 2), NONE);            // 1 shared is below 2
  EXPECT_EQ(index.find_then_add(15, hand({}), 1), NONE);
  // A value held by very many files keeps only the latest few as candidates.
  for (uint32_t id = 100; id < 120; id++) index.find_then_add(id, hand({1000}), 9);
  EXPECT_EQ(index.find_then_add(200, hand({1000}), 1), 119u);
  qev::SimilarFiles fresh(30);
  for (uint32_t id = 100; id < 120; id++) fresh.find_then_add(id, hand({1000 + id, 5000}), 9);
  EXPECT_EQ(fresh.find_then_add(200, hand({1100, 5000}), 2), NONE);  // 100 no longer holds 5000
  EXPECT_EQ(fresh.find_then_add(201, hand({1119, 5000}), 2), 119u);
}

TEST(SimilarFiles, AnEditedCopyFindsItsOriginalAmongManyFiles) {
  // Real sketches hold the smallest hashes, all alike in their top bits: the
  // index must spread them all the same.
  std::vector<std::vector<uint8_t>> files;
  qev::SimilarFiles index(301);
  for (uint32_t id = 0; id < 300; id++) {
    files.push_back(testdata::random_bytes(3000, 100 + id));
    EXPECT_EQ(index.find_then_add(id, sketch_of(files.back()), 4), qev::SimilarFiles::NONE);
  }
  auto edited = files[37];
  edited[1500] ^= 1;
  EXPECT_EQ(index.find_then_add(300, sketch_of(edited), 4), 37u);
}

TEST(SimilarFiles, MemoryIsBoundedAndTheLatestFilesAreFoundAllTheSame) {
  // Sized for 2 files, then given 5,000 with 16 values each: older values
  // are pushed out, recent ones stay findable, and equal input answers
  // equally.
  auto run = [](std::vector<uint32_t>& answers) {
    qev::SimilarFiles index(2);
    qev::ContentSketch s;
    s.count = qev::SKETCH_SIZE;
    for (uint32_t id = 0; id < 5000; id++) {
      for (int k = 0; k < s.count; k++) s.value[k] = (uint64_t)id * 0x9E3779B97F4A7C15ull + (uint64_t)k * 977;
      answers.push_back(index.find_then_add(id, s, 4));
    }
    for (int k = 0; k < s.count; k++) s.value[k] = 4999ull * 0x9E3779B97F4A7C15ull + (uint64_t)k * 977;
    answers.push_back(index.find_then_add(5000, s, qev::SKETCH_SIZE / 2));
    for (int k = 0; k < s.count; k++) s.value[k] = 10ull * 0x9E3779B97F4A7C15ull + (uint64_t)k * 977;
    answers.push_back(index.find_then_add(5001, s, 4));
  };
  std::vector<uint32_t> a, b;
  run(a);
  run(b);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[5000], 4999u);                     // the latest file, found
  EXPECT_EQ(a[5001], qev::SimilarFiles::NONE);  // an early one, pushed out
  for (uint32_t id = 0; id < 5000; id++) ASSERT_EQ(a[id], qev::SimilarFiles::NONE) << id;
}

}  // namespace
