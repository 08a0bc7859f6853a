// Streams written at every level and with every forced construct, decoded by
// the independent reference reader, which also rejects frames whose length is
// not exactly where decoding stops and matches the stub would drop.
#include <gtest/gtest.h>

#include "encode/stream_encoder.h"
#include "encode/symbols.h"
#include "reference_reader.h"
#include "test_data.h"

namespace {

std::vector<uint8_t> round_trip(const std::vector<uint8_t>& data, const qev::EncoderOptions& o,
                                refread::Constructs* seen = nullptr, qev::StreamReport* report = nullptr,
                                size_t* coded = nullptr) {
  qev::StreamEncoder enc(o);
  std::vector<uint8_t> frames;
  enc.encode(data.data(), data.size(), frames, report);
  std::vector<uint8_t> out;
  refread::Constructs local;
  std::string e = refread::read_stream(frames.data(), frames.size(), 0, out, seen ? *seen : local);
  EXPECT_EQ(e, "");
  if (coded) *coded = frames.size();
  return out;
}

qev::EncoderOptions level(int l) {
  qev::EncoderOptions o;
  o.level = l;
  return o;
}

TEST(StreamRoundTrip, EveryLevelOnEveryKindOfData) {
  const std::vector<std::vector<uint8_t>> inputs = {
      testdata::random_bytes(70000, 1), testdata::text(300000, 2), testdata::x86_code(200000, 3),
      testdata::mixed(400000, 4), std::vector<uint8_t>(100000, 0), std::vector<uint8_t>(1, 7),
      std::vector<uint8_t>(2, 7), std::vector<uint8_t>{1, 2, 3}};
  for (int l = 0; l <= 9; l++) {
    for (size_t i = 0; i < inputs.size(); i++) {
      SCOPED_TRACE("level " + std::to_string(l) + " input " + std::to_string(i));
      size_t coded = 0;
      EXPECT_EQ(round_trip(inputs[i], level(l), nullptr, nullptr, &coded), inputs[i]);
      if (i == 1 && l > 0) EXPECT_LT(coded, inputs[i].size() / 2);
    }
  }
}

TEST(StreamRoundTrip, SmallBlocksCarryHistoryAcrossBlocks) {
  // Blocks of a few bytes up to 64 KiB: matches reach back into earlier blocks
  // through the window the reader keeps.
  auto data = testdata::mixed(600000, 9);
  for (uint32_t bs : {1u, 2u, 7u, 1000u, 65536u}) {
    for (int l : {0, 1, 5, 9}) {
      SCOPED_TRACE("block size " + std::to_string(bs) + " level " + std::to_string(l));
      qev::EncoderOptions o = level(l);
      o.block_size = bs;
      auto in = bs < 100 ? std::vector<uint8_t>(data.begin(), data.begin() + 3000) : data;
      EXPECT_EQ(round_trip(in, o), in);
    }
  }
}

TEST(StreamRoundTrip, HistoryReachesBack512KiB) {
  // A 300 KiB stretch repeated 500 KiB later, across several blocks. Text,
  // so that the blocks are compressed: a stored block would trim the history.
  auto a = testdata::text(300000, 5);
  auto gap = testdata::text(210000, 6);
  std::vector<uint8_t> data = a;
  data.insert(data.end(), gap.begin(), gap.end());
  data.insert(data.end(), a.begin(), a.end());
  qev::EncoderOptions o = level(9);
  o.block_size = 200000;
  refread::Constructs seen;
  size_t coded = 0;
  EXPECT_EQ(round_trip(data, o, &seen, nullptr, &coded), data);
  EXPECT_GE(seen.max_distance, 500000u);
  EXPECT_GE(seen.max_history, 500000u);
  EXPECT_LT(coded, 300000u);  // the repeat costs next to nothing
}

TEST(StreamRoundTrip, MatchesReachPastTheKeptHistoryInsideALongBlock) {
  // Inside one block the reader holds the whole block's output so far, so a
  // match may reach 800,000 bytes back although at most 524,288 bytes of
  // history are ever kept between blocks. Random bytes: nothing else repeats
  // (and level 1's one-entry hash table has forgotten the first copy).
  auto a = testdata::random_bytes(500000, 15);
  auto gap = testdata::random_bytes(300000, 16);
  std::vector<uint8_t> data = a;
  data.insert(data.end(), gap.begin(), gap.end());
  data.insert(data.end(), a.begin(), a.begin() + 240000);
  for (int l : {6, 9}) {
    SCOPED_TRACE("level " + std::to_string(l));
    refread::Constructs seen;
    size_t coded = 0;
    EXPECT_EQ(round_trip(data, level(l), &seen, nullptr, &coded), data);
    EXPECT_EQ(seen.max_distance, 800000u);
    EXPECT_LT(coded, 810000u);
  }
}

TEST(StreamRoundTrip, ForcedConstructsDecode) {
  auto data = testdata::mixed(300000, 11);
  struct Case { const char* name; int tables; int def; bool stored; uint32_t split; };
  const Case cases[] = {
      {"default set, one table", 1, 1, false, 0}, {"default set, two tables", 2, 1, false, 0},
      {"sent sets, one table", 1, 0, false, 0},   {"sent sets, two tables", 2, 0, false, 0},
      {"three tables", 3, 0, false, 0},           {"stored", 0, -1, true, 0},
      {"many sets", 3, 0, false, 300},            {"many sets, two tables", 2, 0, false, 1200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qev::EncoderOptions o = level(9);
    o.block_size = 120000;
    o.block.force_tables = c.tables;
    o.block.force_default = c.def;
    o.block.force_stored = c.stored;
    o.block.split_items = c.split;
    refread::Constructs seen;
    EXPECT_EQ(round_trip(data, o, &seen), data);
    if (c.def == 1 && c.tables == 1) EXPECT_GT(seen.default1, 0u);
    if (c.def == 1 && c.tables == 2) EXPECT_GT(seen.default2, 0u);
    if (c.tables && !c.def) EXPECT_GT(seen.tables[c.tables], 0u);
    if (c.stored) EXPECT_GT(seen.stored, 0u);
    if (c.split) {
      EXPECT_GE(seen.max_sets, c.split <= 300 ? 40u : 10u);
      EXPECT_GE(seen.longest_run, 100u);  // similar sets cost long repeat runs
    }
    if (c.tables == 3) EXPECT_GT(seen.len3_table2, 0u);
  }
}

TEST(StreamRoundTrip, EveryWindowSelectorRow) {
  auto data = testdata::mixed(500000, 12);
  for (int row = 0; row < 4; row++) {
    for (int col : {0, 3, 7}) {
      SCOPED_TRACE("row " + std::to_string(row) + " column " + std::to_string(col));
      qev::EncoderOptions o = level(6);
      o.block_size = 100000;
      o.force_selector = row | (col << 2);
      refread::Constructs seen;
      EXPECT_EQ(round_trip(data, o, &seen), data);
      EXPECT_TRUE(seen.selector_rows & (1u << row));
    }
  }
}

TEST(StreamRoundTrip, StoredBlocksTrimTheHistory) {
  // Incompressible blocks between compressible ones: the stored-block history
  // rule (bounded by the window's capacity) decides what later blocks may reach.
  std::vector<uint8_t> data;
  for (int i = 0; i < 6; i++) {
    auto t = testdata::text(90000, 20 + i % 2);
    auto r = testdata::random_bytes(70000 + 30000 * i, 30 + i);
    data.insert(data.end(), t.begin(), t.end());
    data.insert(data.end(), r.begin(), r.end());
  }
  for (uint32_t bs : {40000u, 90000u, 700000u}) {
    SCOPED_TRACE(bs);
    qev::EncoderOptions o = level(7);
    o.block_size = bs;
    refread::Constructs seen;
    EXPECT_EQ(round_trip(data, o, &seen), data);
    EXPECT_GT(seen.stored, 0u);
  }
}

TEST(StreamRoundTrip, FormatFeaturesAreUsed) {
  auto data = testdata::x86_code(400000, 13);
  refread::Constructs seen;
  EXPECT_EQ(round_trip(data, level(9), &seen), data);
  EXPECT_GT(seen.register_uses, 0u);
  EXPECT_GT(seen.short_distances, 0u);
  EXPECT_GT(seen.len2, 0u);
  std::vector<uint8_t> zeros(100000, 0);
  zeros[0] = 1;
  refread::Constructs z;
  EXPECT_EQ(round_trip(zeros, level(9), &z), zeros);
  EXPECT_GT(z.long_matches, 0u);
}

TEST(StreamRoundTrip, DeterministicOutput) {
  auto data = testdata::mixed(300000, 14);
  for (int l : {1, 6, 9}) {
    qev::StreamEncoder a(level(l)), b(level(l));
    std::vector<uint8_t> x, y;
    a.encode(data.data(), data.size(), x);
    b.encode(data.data(), data.size(), y);
    a.encode(data.data(), data.size(), y);  // an encoder reused for a second stream
    EXPECT_EQ(std::vector<uint8_t>(y.begin(), y.begin() + x.size()), x);
    EXPECT_EQ(std::vector<uint8_t>(y.begin() + x.size(), y.end()), x);
  }
}

TEST(StreamRoundTrip, SegmentsCompressedApartMakeOneStream) {
  // Random bytes repeated with a period a little below the window, then
  // text: with blocks of the window's size and one block per segment, the
  // second segment can only shrink through matches into its dictionary, and
  // the reader must take the frames of all segments, laid end to end, as one
  // stream.
  const uint32_t w = qev::WINDOW_SIZE;
  auto data = testdata::random_bytes(w - 1000, 21);
  while (data.size() < 2 * w) data.push_back(data[data.size() - (w - 1000)]);
  auto tail = testdata::text(w + 1000, 22);
  data.insert(data.end(), tail.begin(), tail.end());
  std::vector<uint8_t> padded = data;
  padded.resize(data.size() + qev::StreamEncoder::STREAM_PADDING, 0);
  for (int l : {0, 1, 6, 9}) {
    SCOPED_TRACE("level " + std::to_string(l));
    qev::EncoderOptions o = level(l);
    o.block_size = w;
    qev::StreamEncoder enc(o);
    ASSERT_TRUE(qev::StreamEncoder::segment_ready(o));
    std::vector<uint8_t> frames;
    size_t second = 0;
    for (size_t at = 0; at < data.size(); at += w) {
      qev::Segment seg;
      seg.history = at ? w : 0;
      seg.data = padded.data() + at - seg.history;
      seg.size = std::min<size_t>(w, data.size() - at);
      seg.first = at == 0;
      seg.last = at + seg.size == data.size();
      size_t before = frames.size();
      enc.encode_segment(seg, frames);
      if (at == w) second = frames.size() - before;
    }
    std::vector<uint8_t> out;
    refread::Constructs seen;
    EXPECT_EQ(refread::read_stream(frames.data(), frames.size(), 0, out, seen), "");
    EXPECT_TRUE(out == data);
    if (l > 0) EXPECT_LT(second, 2000u);
  }
  // Blocks shorter than the window leave the reader's history to the blocks
  // before, so such streams are never cut.
  qev::EncoderOptions small = level(6);
  small.block_size = w - 1;
  EXPECT_FALSE(qev::StreamEncoder::segment_ready(small));
}

}  // namespace
