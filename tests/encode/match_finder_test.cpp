// The match finder's tree against its chain: searched without a step limit,
// both must report the same matches at every position, which holds only if
// the tree keeps its order (a wrong order loses candidates or, trusted
// blindly, reports lengths the bytes do not have).
#include <gtest/gtest.h>

#include <algorithm>

#include "encode/match_finder.h"
#include "encode/symbols.h"
#include "test_data.h"

namespace {

TEST(MatchFinder, TreeReportsWhatAnExhaustiveChainReports) {
  // Text with long repeats, blocks ending every 1,000 bytes (a search never
  // passes its block's end) and reach growing from 0 to 40,000 bytes.
  std::vector<uint8_t> data = testdata::text(120000, 3);
  auto again = std::vector<uint8_t>(data.begin() + 90000, data.begin() + 120000);
  data.insert(data.end(), again.begin(), again.end());
  const uint32_t size = (uint32_t)data.size();
  data.resize(size + 16, 0);
  const uint32_t nice = 200, unlimited = 1u << 30;
  qev::MatchFinder chain(16), tree(16);
  tree.use_tree(unlimited, nice);
  chain.reset(data.data(), size);
  tree.reset(data.data(), size);
  qev::Match a[512], b[512];
  uint64_t reported = 0, longest = 0;
  for (uint32_t pos = 0; pos + 2 <= size; pos++) {
    const uint32_t max_len = std::min(1000 - pos % 1000, nice);
    const uint32_t max_dist = std::min(pos, 40000u);
    uint32_t na = chain.find_all(pos, max_len, max_dist, unlimited, nice, a);
    uint32_t nb = tree.find_all(pos, max_len, max_dist, unlimited, nice, b);
    ASSERT_EQ(na, nb) << "at " << pos;
    for (uint32_t k = 0; k < na; k++) {
      ASSERT_EQ(a[k].len, b[k].len) << "at " << pos;
      ASSERT_EQ(a[k].dist, b[k].dist) << "at " << pos;
      ASSERT_LE(b[k].len, max_len);
      ASSERT_LE(b[k].dist, max_dist);
      ASSERT_EQ(memcmp(&data[pos], &data[pos - b[k].dist], b[k].len), 0);
    }
    reported += nb;
    if (nb) longest = std::max<uint64_t>(longest, b[nb - 1].len);
  }
  EXPECT_GT(reported, size / 2);
  EXPECT_EQ(longest, nice);
}

}  // namespace
