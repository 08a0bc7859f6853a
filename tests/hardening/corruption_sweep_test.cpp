// Damaged archives: writer-made archives with one byte changed, for every byte
// (or an even sample of them when the archive is larger than the run
// budget), and cut at every length (or a sample). Every run must end within a
// time bound with one of the driver's results and messages from the table;
// every file it leaves must be a member that passed its CRC-32 check (and so
// holds the bytes of one of the members packed); nothing may be made outside
// the destination; memory and handles must be released.
//
// Run budget per archive and kind of damage: QEV_SWEEP_RUNS, by default 3000
// (2000 when built with AddressSanitizer, which makes each run slower; either
// covers every byte of the samples here).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <set>

#include "harness.h"
#include "samples.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEV_SLOW_BUILD 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QEV_SLOW_BUILD 1
#endif

namespace {

#ifdef QEV_SLOW_BUILD
constexpr size_t DEFAULT_RUNS = 2000;
constexpr double SECONDS_PER_RUN = 20;
#else
constexpr size_t DEFAULT_RUNS = 3000;
constexpr double SECONDS_PER_RUN = 5;
#endif

size_t run_budget() {
  const char* v = getenv("QEV_SWEEP_RUNS");
  long n = v ? atol(v) : 0;
  return n > 0 ? (size_t)n : DEFAULT_RUNS;
}

// Positions 0..n-1, or `budget` of them spread evenly, the header's always.
std::vector<size_t> positions(size_t n, size_t budget) {
  std::set<size_t> p;
  if (n <= budget) {
    for (size_t i = 0; i < n; i++) p.insert(i);
  } else {
    for (size_t i = 0; i < 42 && i < n; i++) p.insert(i);
    for (size_t j = 0; j < budget; j++) p.insert(j * n / budget + j % 3);
  }
  std::vector<size_t> out;
  for (size_t i : p) {
    if (i < n) out.push_back(i);
  }
  return out;
}

const std::vector<Sample>& samples() {
  static const std::vector<Sample> s = sweep_samples();
  return s;
}

class CorruptionSweep : public ::testing::TestWithParam<size_t> {
 protected:
  const Sample& sample() { return samples()[GetParam()]; }

  void check(const std::vector<uint8_t>& archive, const std::string& what) {
    Observation obs = run_extraction(archive);
    results_[obs.opened ? obs.result : 1]++;
    for (const std::string& p : general_problems(obs)) ADD_FAILURE() << what << ": " << p;
    EXPECT_LT(obs.seconds, SECONDS_PER_RUN) << what;
    // A file that passed its check holds a member's bytes: nothing but
    // whole, correct members comes out of a damaged archive.
    for (const auto& [relative, info] : obs.tree) {
      if (info.kind == FileInfo::FILE && !contents_.count(info.content)) {
        ADD_FAILURE() << what << ": " << relative << " holds bytes of no member";
      }
    }
  }

  void SetUp() override {
    ASSERT_FALSE(sample().bytes.empty()) << sample().result.error;
    for (const qev::PackEntry& e : sample().entries) contents_.insert({e.data.begin(), e.data.end()});
  }

  void TearDown() override {
    std::string summary;
    for (const auto& [result, count] : results_) {
      summary += " " + (result == 1 ? std::string("refused at start-up") : std::to_string(result)) +
                 ": " + std::to_string(count);
    }
    RecordProperty("results", summary);
  }

  std::set<std::string> contents_;
  std::map<int, size_t> results_;
};

TEST_P(CorruptionSweep, TheUndamagedArchiveExtractsWhole) {
  Observation obs = run_extraction(sample().bytes);
  for (const std::string& p : general_problems(obs)) ADD_FAILURE() << p;
  EXPECT_EQ(obs.result, 0);
  EXPECT_TRUE(obs.boxes.empty());
  size_t files = 0;
  for (const auto& [relative, info] : obs.tree) files += info.kind == FileInfo::FILE;
  EXPECT_EQ(files, sample().result.files);
}

TEST_P(CorruptionSweep, EveryByteChanged) {
  static const uint8_t masks[] = {0xFF, 0x01, 0x80, 0x5A, 0x10, 0x04, 0x40, 0x02};
  const std::vector<uint8_t>& bytes = sample().bytes;
  for (size_t p : positions(bytes.size(), run_budget())) {
    std::vector<uint8_t> damaged = bytes;
    damaged[p] ^= masks[p % 8];
    check(damaged, sample().label + ", byte " + std::to_string(p) + " changed");
  }
}

TEST_P(CorruptionSweep, EveryLength) {
  const std::vector<uint8_t>& bytes = sample().bytes;
  for (size_t n : positions(bytes.size(), run_budget())) {
    check(std::vector<uint8_t>(bytes.begin(), bytes.begin() + (ptrdiff_t)n),
          sample().label + ", cut to " + std::to_string(n) + " bytes");
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, CorruptionSweep, ::testing::Range<size_t>(0, 9),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           std::string name = samples()[info.param].label;
                           for (char& c : name) {
                             if (!isalnum((unsigned char)c)) c = '_';
                           }
                           return name;
                         });

TEST(CorruptionSweepSamples, AllAreSwept) { EXPECT_EQ(samples().size(), 9u); }

}  // namespace
