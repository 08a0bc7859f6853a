// decode_member on archives on disk: members sharing a stream served from one
// decoded block, restarts for members behind the window, records and names
// split across blocks, short blocks and streams that end before a member,
// the filters by flags, the window selector and the history kept before
// stored blocks, frames larger than the input buffer (refills in the middle of
// symbols, fast and reference loops alike), tiny frames, the directory reader
// moving the file between members, and every failure path.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "archive/layout.h"
#include "archive_builder.h"
#include "decode/block_decoder.h"
#include "decode/reference_decoder.h"
#include "decode/call_filter.h"
#include "decode/decoder_state.h"
#include "archive/entry_stream.h"
#include "decode_fixture.h"
#include "fault_support.h"
#include "base/result_codes.h"
#include "shell/stub_config.h"
#include "stream_writer.h"

namespace {

using dectest::ArchiveFile;
using dectest::BlockPlan;
using dectest::Bytes;
using dectest::OutputFile;

constexpr uint32_t STREAM_POS = 42;

Bytes with_header(const Bytes& stream) {
  Bytes a = {0x51, 0x45, 0x56, 0x0A};
  a.resize(42, 0);
  a.insert(a.end(), stream.begin(), stream.end());
  return a;
}

struct Extracted {
  int result;
  Bytes file;
  uint32_t crc;
};

Extracted extract(uint32_t offset, uint32_t size, uint8_t flags = 0,
                  uint32_t stream_pos = STREAM_POS) {
  OutputFile out;
  int r = decode_member(out.handle(), stream_pos, offset, size, flags);
  uint32_t crc = decoder.member_crc;
  return {r, out.bytes(), crc};
}

uint32_t crc_of(const Bytes& b) { return dectest::crc32_bitwise(b.data(), b.size()); }

// A decoded stream of members and the offset of each member record.
struct Layout {
  Bytes decoded;
  std::vector<uint32_t> offsets;
  std::vector<Bytes> data;
  void add(const std::string& name, const Bytes& d, uint8_t flags = 0) {
    offsets.push_back((uint32_t)decoded.size());
    data.push_back(d);
    Bytes r = dectest::member_record(name, d, flags);
    decoded.insert(decoded.end(), r.begin(), r.end());
  }
};

TEST(DecodeMember, ZeroSizeReadsNothing) {
  REQUIRE_FAULTS();
  ArchiveFile a(with_header(dectest::encode_stream(Bytes(20, 1), {{20, true}})));
  fault_reset();
  Extracted e = extract(0, 0);
  EXPECT_EQ(e.result, 0);
  EXPECT_EQ(e.crc, 0u);
  EXPECT_TRUE(e.file.empty());
  EXPECT_EQ(fault_calls(FAULT_READ), 0u);
  EXPECT_EQ(fault_calls(FAULT_SEEK), 0u);
  EXPECT_EQ(decoder.current_stream, 0xFFFFFFFFu);
  fault_reset();
}

TEST(DecodeMember, ThreeMembersServedFromOneBlock) {
  REQUIRE_FAULTS();
  // Records at 0, 327 and 606561, all in the stream's single block.
  Layout l;
  l.add("readme.txt\x01", dectest::text_data(1, 301));  // 11 + 11 + 301 + 4 = 327
  l.add("big.bin", dectest::text_data(2, 606561 - 327 - 11 - 7 - 4));
  l.add("small", dectest::text_data(3, 1000));
  ASSERT_EQ(l.offsets[1], 327u);
  ASSERT_EQ(l.offsets[2], 606561u);
  ArchiveFile a(with_header(dectest::encode_stream(l.decoded, {{(uint32_t)l.decoded.size()}})));
  Extracted e = extract(l.offsets[0], 301);
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(e.file, l.data[0]);
  EXPECT_EQ(e.crc, crc_of(l.data[0]));
  fault_reset();
  for (int m = 1; m < 3; m++) {
    e = extract(l.offsets[m], (uint32_t)l.data[m].size());
    ASSERT_EQ(e.result, 0);
    EXPECT_EQ(e.file, l.data[m]);
    EXPECT_EQ(e.crc, crc_of(l.data[m]));
  }
  EXPECT_EQ(fault_calls(FAULT_READ), 0u);
  EXPECT_EQ(fault_calls(FAULT_SEEK), 0u);
  fault_reset();
}

TEST(DecodeMember, AMemberBehindTheWindowRestartsTheStream) {
  REQUIRE_FAULTS();
  Layout l;
  for (int m = 0; m < 6; m++) l.add("m" + std::to_string(m), dectest::text_data(10 + m, 3000));
  uint32_t total = (uint32_t)l.decoded.size();
  std::vector<BlockPlan> plan = {{5000}, {5000, true}, {total - 10000}};
  ArchiveFile a(with_header(dectest::encode_stream(l.decoded, plan)));
  // The last member first, then the first: the stream starts afresh, and the
  // blocks before the member are decoded and passed over.
  for (int m : {5, 0, 1, 4}) {
    fault_reset();
    Extracted e = extract(l.offsets[m], 3000);
    ASSERT_EQ(e.result, 0) << m;
    EXPECT_EQ(e.file, l.data[m]) << m;
    EXPECT_EQ(e.crc, crc_of(l.data[m]));
    // Going back seeks to the stream's first block; going on does not.
    EXPECT_EQ(fault_calls(FAULT_SEEK), m == 0 || m == 5 ? 1u : 0u) << m;
  }
  fault_reset();
}

TEST(DecodeMember, RecordAndNameSplitAcrossBlocks) {
  // The local record split 4 + 7, the 12-byte name 5 + 7, the data in a
  // third and fourth block: stored blocks cut exactly there.
  Layout l;
  l.add("twelve_chars", dectest::text_data(4, 500));
  uint32_t total = (uint32_t)l.decoded.size();
  std::vector<BlockPlan> plan = {{4, true}, {12, true}, {7 + 100, true}, {total - 123}};
  ArchiveFile a(with_header(dectest::encode_stream(l.decoded, plan)));
  Extracted e = extract(0, 500);
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(e.file, l.data[0]);
  EXPECT_EQ(e.crc, crc_of(l.data[0]));
}

TEST(DecodeMember, ShortStoredBlockEndsTheStream) {
  Layout l;
  l.add("a", dectest::text_data(5, 2000));
  l.add("b", dectest::text_data(6, 2000));
  uint32_t total = (uint32_t)l.decoded.size();
  Bytes stream = dectest::encode_stream(l.decoded, {{1500}, {total - 1500, true}});
  // The archive ends 300 bytes into the stored block: 1800 bytes decode.
  stream.resize(dectest::frame_offsets(stream)[1] + 6 + 300);
  ArchiveFile a(with_header(stream));
  Extracted e = extract(l.offsets[0], 2000);
  EXPECT_EQ(e.result, 0);
  EXPECT_EQ(e.file.size(), 1800u - 12u);  // after the 11-byte record and 1-byte name
  EXPECT_TRUE(std::equal(e.file.begin(), e.file.end(), l.data[0].begin()));
  EXPECT_EQ(e.crc, crc_of(e.file));
  EXPECT_NE(e.crc, crc_of(l.data[0]));
  EXPECT_EQ(decoder.stream_broken, 1);
  // The stream is broken for every member that continues it...
  EXPECT_EQ(extract(l.offsets[1], 2000).result, ERR_DAMAGED);
  // ...until a member starts it afresh.
  EXPECT_EQ(extract(l.offsets[0], 10).result, 0);
}

TEST(DecodeMember, MemberPastTheLastBlockEndsShort) {
  REQUIRE_FAULTS();
  // An inconsistent directory: the second member lies past the stream's
  // last block. It ends short without reading what follows the stream.
  Layout l;
  l.add("a", dectest::text_data(7, 700));
  Bytes stream = dectest::encode_stream(l.decoded, {{(uint32_t)l.decoded.size()}});
  Bytes junk = dectest::stored_frame(l.decoded.data(), 100, false);  // looks like a block
  stream.insert(stream.end(), junk.begin(), junk.end());
  ArchiveFile a(with_header(stream));
  ASSERT_EQ(extract(l.offsets[0], 700).result, 0);
  fault_reset();
  Extracted e = extract((uint32_t)l.decoded.size(), 50);
  EXPECT_EQ(e.result, 0);
  EXPECT_TRUE(e.file.empty());
  EXPECT_EQ(fault_calls(FAULT_READ), 0u);
  fault_reset();
}

TEST(DecodeMember, FlagsChooseTheFilter) {
  std::mt19937 rng(9);
  Bytes code(30000);
  for (auto& b : code) b = rng() % 6 == 0 ? 0xE8 : (uint8_t)(rng() % 40);
  Layout l;
  l.add("none", code, 0);
  l.add("f16", code, 2);
  l.add("f32", code, 4);
  l.add("both", code, 6);
  uint32_t total = (uint32_t)l.decoded.size();
  ArchiveFile a(with_header(
      dectest::encode_stream(l.decoded, {{40000}, {30000, true}, {total - 70000}})));
  const uint8_t flags[4] = {0, 2, 4, 6};
  const uint32_t widths[4] = {0, 2, 4, 2};  // with both bits, the 16-bit filter wins
  for (int m = 0; m < 4; m++) {
    Extracted e = extract(l.offsets[m], 30000, flags[m]);
    ASSERT_EQ(e.result, 0);
    Bytes expect = widths[m] ? dectest::restore_calls_model(code, widths[m]) : code;
    EXPECT_EQ(e.file, expect) << m;
    EXPECT_EQ(e.crc, crc_of(expect));
  }
}

TEST(DecodeMember, SelectorChoosesTheHistoryKept) {
  // A stored block of 200000 bytes, then compressed blocks whose selectors
  // say how much of it to keep: row 3 reads row 2.
  for (uint32_t selector : {1u | 1u << 2, 3u | 1u << 2, 2u | 1u << 2, 0u}) {
    Layout l;
    l.add("a", dectest::text_data(8, 200000 - 15));
    l.add("b", dectest::text_data(9, 5000));
    uint32_t total = (uint32_t)l.decoded.size();
    BlockPlan second = {total - 200000};
    second.selector = selector;
    ArchiveFile a(with_header(dectest::encode_stream(l.decoded, {{200000, true}, second})));
    Extracted e = extract(l.offsets[1], 5000);
    ASSERT_EQ(e.result, 0);
    EXPECT_EQ(e.file, l.data[1]);
    const uint32_t kept[] = {65536, 131072, 131072, 32768};
    uint32_t k = selector == 0 ? 3 : (selector & 3) == 1 ? 0 : 1;
    EXPECT_EQ(decoder.history_len, kept[k]) << selector;
  }
}

TEST(DecodeMember, HistoryBeforeStoredBlocks) {
  // After 600000 bytes of compressed output the window holds 600512 bytes.
  // A stored block of 100000 that is not last keeps 524288 - 100000; one of
  // 600000 keeps none; a last one keeps none.
  for (uint32_t stored : {100000u, 600000u}) {
    Layout l;
    l.add("a", dectest::text_data(11, 600000 - 12));
    l.add("b", dectest::text_data(12, stored - 12 - 4));
    l.add("c", dectest::text_data(13, 3000));
    uint32_t total = (uint32_t)l.decoded.size();
    BlockPlan first = {600000};
    ArchiveFile a(with_header(dectest::encode_stream(
        l.decoded, {first, {stored, true}, {total - 600000 - stored}})));
    Extracted e = extract(l.offsets[1], (uint32_t)l.data[1].size());
    ASSERT_EQ(e.result, 0);
    EXPECT_EQ(e.file, l.data[1]);
    EXPECT_EQ(decoder.history_len, stored == 100000 ? 424288u : 0u);
    e = extract(l.offsets[2], 3000);
    ASSERT_EQ(e.result, 0);
    EXPECT_EQ(e.file, l.data[2]);
  }
}

TEST(DecodeMember, TinyFramesBetweenBlocks) {
  // Empty and one-byte stored blocks (frames of 6 and 7 bytes) inside a stream.
  Layout l;
  l.add("a", dectest::text_data(14, 3000));
  uint32_t total = (uint32_t)l.decoded.size();
  std::vector<BlockPlan> plan = {{100}, {0, true}, {1, true}, {0, true}, {total - 101}};
  ArchiveFile a(with_header(dectest::encode_stream(l.decoded, plan)));
  Extracted e = extract(0, 3000);
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(e.file, l.data[0]);
}

// Frames larger than the input buffer: symbols cross refills. Valid and then
// damaged, through the fast and the reference loop alike.
TEST(DecodeMember, LargeFramesFastAndReferenceAlike) {
  Layout l;
  l.add("a", dectest::text_data(15, 900000));
  uint32_t total = (uint32_t)l.decoded.size();
  BlockPlan big = {total};
  big.per_set = 20000;
  Bytes stream = dectest::encode_stream(l.decoded, {big});
  ASSERT_GT(stream.size(), 200000u);
  std::mt19937 rng(21);
  for (int round = 0; round < 12; round++) {
    Bytes damaged = stream;
    if (round > 0) {
      for (int f = 0; f < 3; f++) damaged[6 + 7 + rng() % (damaged.size() - 13)] ^= (uint8_t)(1 << (rng() % 8));
    }
    Extracted both[2];
    for (int ref = 0; ref < 2; ref++) {
      ArchiveFile a(with_header(damaged));
      decode_by_reference = ref;
      both[ref] = extract(0, 900000);
      decode_by_reference = false;
    }
    EXPECT_EQ(both[0].result, both[1].result) << round;
    EXPECT_EQ(both[0].file, both[1].file) << round;
    EXPECT_EQ(both[0].crc, both[1].crc) << round;
    if (round == 0) {
      EXPECT_EQ(both[0].result, 0);
      EXPECT_EQ(both[0].file, l.data[0]);
    }
  }
}

// The drain hook runs wherever the decoders poll cancel_requested, inside a
// block too: once per table set and at every refill of a large frame, and at
// each stretch of a filtered member. A cancel set by it at any of those calls
// stops the member there with ERR_CANCELLED, after no more calls.
namespace drain_count {
uint32_t calls;
uint32_t cancel_at;
void hook() {
  if (++calls == cancel_at) decoder.cancel_requested = 1;
}
}  // namespace drain_count

TEST(DecodeMember, TheDrainHookRunsInsideABlockAndACancelStopsThere) {
  Layout l;
  l.add("a", dectest::text_data(22, 900000), FLAG_E8_32);
  BlockPlan big = {(uint32_t)l.decoded.size()};
  big.per_set = 20000;
  Bytes stream = dectest::encode_stream(l.decoded, {big});
  ASSERT_GT(stream.size(), 3 * INPUT_BUFFER_SIZE) << "the frame takes several refills";
  uint32_t whole_calls = 0;
  for (uint32_t cancel_at : {0u, 5u, 17u}) {
    ArchiveFile a(with_header(stream));
    drain_count::calls = 0;
    drain_count::cancel_at = cancel_at;
    decoder.drain_hook = drain_count::hook;
    Extracted e = extract(0, (uint32_t)l.data[0].size(), FLAG_E8_32);
    decoder.drain_hook = nullptr;
    if (cancel_at == 0) {
      ASSERT_EQ(e.result, 0);
      EXPECT_EQ(e.file, l.data[0]);
      whole_calls = drain_count::calls;
      // One block: its sets, its refills and the filter's stretches (55 of
      // them with the stub's stage).
      const uint32_t stretches = (900000 + STAGE_LIMIT_32 - 1) / STAGE_LIMIT_32;
      EXPECT_GT(whole_calls, stretches + 3u);
      EXPECT_GE(whole_calls, 17u) << "every cancel point below is reached";
    } else {
      EXPECT_EQ(e.result, ERR_CANCELLED) << cancel_at;
      EXPECT_EQ(drain_count::calls, cancel_at) << "polled on after the cancel";
      EXPECT_LT(e.file.size(), l.data[0].size());
    }
    decoder.cancel_requested = 0;
  }
}

TEST(DecodeMember, TheDirectoryReaderMayMoveTheFileBetweenMembers) {
  Layout l;
  l.add("a", dectest::text_data(16, 5000));
  l.add("b", dectest::text_data(17, 5000));
  uint32_t total = (uint32_t)l.decoded.size();
  ArchiveFile a(with_header(dectest::encode_stream(l.decoded, {{6000}, {total - 6000}})));
  ASSERT_EQ(extract(l.offsets[0], 5000).file, l.data[0]);
  // Another reader moves the file and overwrites the input state.
  file_seek(archive_file, 0, SEEK_FROM_START);
  file_pos = 0;
  decoder.in.pos = decoder.in.limit = decoder.in.input_buffer;
  decoder.in.chunk_remaining = 0;
  Extracted e = extract(l.offsets[1], 5000);
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(e.file, l.data[1]);
}

TEST(DecodeMember, Failures) {
  REQUIRE_FAULTS();
  Layout l;
  l.add("a", dectest::text_data(18, 5000));
  l.add("b", dectest::text_data(19, 5000));
  uint32_t total = (uint32_t)l.decoded.size();
  Bytes stream = dectest::encode_stream(l.decoded, {{6000}, {total - 6000}});
  {
    ArchiveFile a(with_header(stream));
    fault_reset();
    fault_arm(FAULT_SEEK, 1);
    EXPECT_EQ(extract(l.offsets[0], 5000).result, ERR_SEEK);
    fault_reset();
    // Nothing of the stream is held after a failed positioning.
    EXPECT_EQ(extract(l.offsets[0], 5000).file, l.data[0]);
  }
  {
    ArchiveFile a(with_header(stream));
    fault_reset();
    fault_arm(FAULT_WRITE, 1);
    EXPECT_EQ(extract(l.offsets[0], 5000).result, ERR_WRITE);
    fault_reset();
    fault_arm(FAULT_WRITE, 1);
    EXPECT_EQ(extract(l.offsets[1], 5000, 4).result, ERR_WRITE);
    fault_reset();
  }
  {
    ArchiveFile a(with_header(stream));
    fault_reset();
    fault_arm(FAULT_READ, 2);
    EXPECT_EQ(extract(l.offsets[0], 5000).result, -1);
    fault_reset();
    // The block that failed leaves the stream broken.
    EXPECT_EQ(extract(l.offsets[1], 5000).result, ERR_DAMAGED);
  }
  {
    ArchiveFile a(with_header(stream));
    fault_reset();
    fault_arm(FAULT_ALLOC, 1);  // the window
    EXPECT_EQ(extract(l.offsets[0], 5000).result, ERR_NOMEM);
    fault_reset();
  }
  {
    ArchiveFile a(with_header(stream));
    decoder.cancel_requested = 1;
    EXPECT_EQ(extract(l.offsets[0], 5000).result, ERR_CANCELLED);
    decoder.cancel_requested = 0;
  }
  {
    // Method 2: damaged.
    Bytes bad = stream;
    bad[6] = (uint8_t)((bad[6] & 0xF0) | 2);
    ArchiveFile a(with_header(bad));
    EXPECT_EQ(extract(l.offsets[0], 5000).result, ERR_DAMAGED);
  }
}

}  // namespace
