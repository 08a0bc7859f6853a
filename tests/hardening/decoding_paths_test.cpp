// The block decoder's fast loop and its reference loop must extract the same
// files from whole archives, not only from single blocks: here with the
// window carried across blocks and members, and matches that reach back
// across most of the 512 KiB history.
#include <gtest/gtest.h>

#include "decode/reference_decoder.h"
#include "harness.h"
#include "samples.h"
#include "test_data.h"

namespace {

// Two members in one stream; the second repeats the first after a gap, so
// that its matches reach back about 515 KB, over blocks of 150000 bytes.
Sample far_history(const std::vector<uint8_t>& first, const std::vector<uint8_t>& gap) {
  Sample s;
  s.label = "history reaching back 512 KiB";
  s.entries.resize(2);
  s.entries[0].name = "a";
  s.entries[0].data = first;
  s.entries[1].name = "b";
  s.entries[1].data = gap;
  s.entries[1].data.insert(s.entries[1].data.end(), first.begin(), first.end());
  s.options.encoder.level = 9;
  s.options.encoder.block_size = 150000;
  write_sample(s);
  return s;
}

struct ReferenceDecoding {
  ReferenceDecoding() { decode_by_reference = true; }
  ~ReferenceDecoding() { decode_by_reference = false; }
};

TEST(DecodingPaths, FastAndReferenceLoopsExtractTheSameFiles) {
  std::vector<Sample> samples = fault_samples();
  samples.push_back(far_history(testdata::text(300000, 7), testdata::text(215000, 8)));
  samples.push_back(far_history(testdata::x86_code(300000, 9), testdata::mixed(215000, 10)));
  for (const Sample& s : samples) {
    ASSERT_FALSE(s.bytes.empty()) << s.label << ": " << s.result.error;
    Observation fast = run_extraction(s.bytes);
    Observation reference;
    {
      ReferenceDecoding by_reference;
      reference = run_extraction(s.bytes);
    }
    for (const Observation* obs : {&fast, &reference}) {
      const char* path = obs == &fast ? "fast" : "reference";
      EXPECT_EQ(obs->result, 0) << s.label << ", " << path;
      for (const FakeBox& box : obs->boxes) ADD_FAILURE() << s.label << ", " << path << ": " << box.text;
      for (const std::string& p : general_problems(*obs)) ADD_FAILURE() << s.label << ", " << path << ": " << p;
    }
    ASSERT_EQ(fast.tree.size(), reference.tree.size()) << s.label;
    for (const auto& [name, info] : reference.tree) {
      auto it = fast.tree.find(name);
      ASSERT_NE(it, fast.tree.end()) << s.label << ": " << name;
      EXPECT_TRUE(it->second.content == info.content) << s.label << ": " << name;
    }
  }
}

}  // namespace
