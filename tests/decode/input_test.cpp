// Chunked input on real files through the platform layer: frame headers, the
// first fill and the pieces after it with their margin, refills that carry
// the reader's position, frames that end before their header, files that end
// inside a frame (the frame ends, nothing spins), stored copies from the
// buffer and the file, the seek back to resume_pos, and failing reads and
// seeks.
#include <gtest/gtest.h>

#include <vector>

#include "decode/decoder_state.h"
#include "decode/frame_header.h"
#include "decode/input.h"
#include "decode_fixture.h"
#include "fault_support.h"
#include "base/result_codes.h"
#include "shell/stub_config.h"
#include "stream_writer.h"

namespace {

using dectest::ArchiveFile;
using dectest::BitWriter;
typedef std::vector<uint8_t> Bytes;

// A frame's 45-bit header, padded to 6 bytes.
Bytes frame_header(uint32_t method, uint32_t last, uint32_t size, uint32_t block_length) {
  BitWriter w;
  w.put(method, 4);        // method
  w.put(last, 1);          // last-block flag
  w.put(size, 20);         // block size
  w.put(block_length, 20); // frame length, header included
  w.align();
  return w.take();
}

// A frame of `length` bytes: header, then bytes i & 0xFF... counted from the
// frame's first byte (so any byte tells where it came from).
Bytes frame_of(uint32_t length) {
  Bytes f = frame_header(0, 0, 0, length);
  for (uint32_t i = 6; i < length; i++) f.push_back((uint8_t)(i * 7 + i / 251));
  return f;
}
uint8_t frame_byte(uint32_t i) { return (uint8_t)(i * 7 + i / 251); }

size_t buffer_offset(const uint8_t* p) { return (size_t)(p - decoder.in.input_buffer); }

TEST(FrameHeader, WorkedExampleFields) {
  // 0x91 0x25 0x00 0x90 0x01 0x00: method 1, last 1, size 300, length 200.
  Bytes h = {0x91, 0x25, 0x00, 0x90, 0x01, 0x00};
  EXPECT_EQ(frame_header(1, 1, 300, 200), h);
  h.resize(8, 0);  // room for the word loads
  // The one parser that the readers share, and the writer's value.
  uint32_t word = load_le32(h.data());
  EXPECT_EQ(frame_method(word), 1u);
  EXPECT_EQ(frame_last(word), 1u);
  EXPECT_EQ(frame_size(word), 300u);
  EXPECT_EQ(frame_length(h.data()), 200u);
  BitWriter w;
  w.put(frame_head(FRAME_METHOD_COMPRESSED, true, 300), FRAME_LENGTH_SHIFT);
  w.put(200, FRAME_FIELD_BITS);
  w.align();
  EXPECT_EQ(w.take(), Bytes(h.begin(), h.begin() + FRAME_HEADER_BYTES));
  // The bit order: 0xA5 0x01 as a 4-bit then an 8-bit field give 0x5, 0x1A.
  const uint8_t two[8] = {0xA5, 0x01};
  const uint8_t* pos = two;
  uint32_t bit = 0;
  EXPECT_EQ(peek_bits(pos, bit) & 15, 0x5u);
  consume_bits(pos, bit, 4);
  EXPECT_EQ(peek_bits(pos, bit) & 0xFF, 0x1Au);
}

TEST(StartBlock, SmallFrameIsServedWhole) {
  Bytes f = frame_of(8);
  Bytes next = frame_of(20);
  f.insert(f.end(), next.begin(), next.end());
  ArchiveFile a(f);
  ASSERT_EQ(start_block(), 0);
  EXPECT_EQ(decoder.in.chunk_remaining, 0u);
  EXPECT_EQ(buffer_offset(decoder.in.limit), 8u);
  EXPECT_EQ(decoder.in.pos, decoder.in.input_buffer);
  EXPECT_EQ(decoder.in.bit_offset, 0u);
  EXPECT_EQ(file_pos, 8u);
  EXPECT_EQ(decoder.in.resume_pos, 8u);
  decoder.in.pos = decoder.in.limit;
  EXPECT_EQ(refill_input(), ERR_TRUNCATED);
  // The next frame follows at once.
  ASSERT_EQ(start_block(), 0);
  EXPECT_EQ(buffer_offset(decoder.in.limit), 20u);
  EXPECT_EQ(decoder.in.input_buffer[19], frame_byte(19));
}

TEST(StartBlock, FrameShorterThanEightBytesLeavesTheNextFrameWhole) {
  // An empty stored block (6 bytes) and a one-byte one (7) before a frame of
  // 10: each start finds its own frame.
  Bytes s = frame_header(0, 0, 0, 6);
  Bytes one = frame_header(0, 0, 1, 7);
  one.push_back(0x5A);
  Bytes last = frame_of(10);
  s.insert(s.end(), one.begin(), one.end());
  s.insert(s.end(), last.begin(), last.end());
  ArchiveFile a(s);
  ASSERT_EQ(start_block(), 0);
  EXPECT_EQ(file_pos, 6u);
  ASSERT_EQ(start_block(), 0);
  EXPECT_EQ(file_pos, 13u);
  EXPECT_EQ(decoder.in.input_buffer[6], 0x5A);
  ASSERT_EQ(start_block(), 0);
  EXPECT_EQ((load_le32(decoder.in.input_buffer + 3) >> 1) & 0xFFFFF, 10u);
}

TEST(StartBlock, PiecesAndTheirMargin) {
  // 61432 bytes: one piece, no margin.
  {
    ArchiveFile a(frame_of(61432));
    ASSERT_EQ(start_block(), 0);
    EXPECT_EQ(decoder.in.chunk_remaining, 0u);
    EXPECT_EQ(buffer_offset(decoder.in.limit), 61432u);
  }
  // 61433 bytes: a piece of 61424 after the first 8 (limit at 61424, margin
  // 8), then a piece of 1, after which limit is at offset 9.
  {
    ArchiveFile a(frame_of(61433));
    ASSERT_EQ(start_block(), 0);
    EXPECT_EQ(decoder.in.chunk_remaining, 1u);
    EXPECT_EQ(buffer_offset(decoder.in.limit), 61424u);
    // A refill with pos 5 bytes past limit and bit_offset 3 keeps the same
    // bit of the same frame byte.
    decoder.in.pos = decoder.in.limit + 5;
    decoder.in.bit_offset = 3;
    ASSERT_EQ(refill_input(), 0);
    EXPECT_EQ(buffer_offset(decoder.in.pos), 5u);
    EXPECT_EQ(decoder.in.bit_offset, 3u);
    EXPECT_EQ(decoder.in.pos[0], frame_byte(61424 + 5));
    EXPECT_EQ(decoder.in.input_buffer[8], frame_byte(61432));
    EXPECT_EQ(buffer_offset(decoder.in.limit), 9u);
    EXPECT_EQ(decoder.in.chunk_remaining, 0u);
    decoder.in.pos = decoder.in.limit;
    EXPECT_EQ(refill_input(), ERR_TRUNCATED);
  }
  // A long frame: every piece lands where it belongs.
  {
    const uint32_t length = 200000;
    ArchiveFile a(frame_of(length));
    ASSERT_EQ(start_block(), 0);
    uint32_t frame_offset_of_limit = 61424;
    while (decoder.in.chunk_remaining != 0) {
      decoder.in.pos = decoder.in.limit;
      ASSERT_EQ(refill_input(), 0);
      EXPECT_EQ(decoder.in.input_buffer[0], frame_byte(frame_offset_of_limit));
      frame_offset_of_limit += (uint32_t)buffer_offset(decoder.in.limit);
    }
    EXPECT_EQ(frame_offset_of_limit, length);
    EXPECT_EQ(file_pos, length);
  }
}

TEST(StartBlock, FileEndingInsideAFrameEndsTheFrame) {
  // The header says 70000 bytes, the file holds 30000: the first piece is
  // short, the frame ends there, and a refill answers ERR_TRUNCATED.
  {
    Bytes f = frame_of(70000);
    f.resize(30000);
    ArchiveFile a(f);
    ASSERT_EQ(start_block(), 0);
    EXPECT_EQ(decoder.in.chunk_remaining, 0u);
    EXPECT_EQ(buffer_offset(decoder.in.limit), 30000u);
    decoder.in.pos = decoder.in.limit;
    EXPECT_EQ(refill_input(), ERR_TRUNCATED);
  }
  // The file ends during a refill: the bytes that came are usable, the
  // margin included, and the next refill answers ERR_TRUNCATED.
  {
    Bytes f = frame_of(100000);
    f.resize(61432 + 100);
    ArchiveFile a(f);
    ASSERT_EQ(start_block(), 0);
    decoder.in.pos = decoder.in.limit;
    ASSERT_EQ(refill_input(), 0);
    EXPECT_EQ(decoder.in.chunk_remaining, 0u);
    EXPECT_EQ(buffer_offset(decoder.in.limit), 108u);
    decoder.in.pos = decoder.in.limit;
    EXPECT_EQ(refill_input(), ERR_TRUNCATED);
  }
  // Five bytes at the end of the file: no frame.
  {
    ArchiveFile a({0x90, 0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(start_block(), ERR_DAMAGED);
  }
}

TEST(StartBlock, SeeksBackToResumePos) {
  REQUIRE_FAULTS();
  Bytes s = frame_of(40);
  Bytes t = frame_of(50);
  s.insert(s.end(), t.begin(), t.end());
  ArchiveFile a(s);
  ASSERT_EQ(start_block(), 0);
  // Another reader moves the file.
  file_seek(archive_file, 3, SEEK_FROM_START);
  file_pos = 3;
  decoder.in.stream_continued = 1;
  ASSERT_EQ(start_block(), 0);
  EXPECT_EQ(buffer_offset(decoder.in.limit), 50u);
  // Failing seek and read.
  fault_reset();
  decoder.in.resume_pos = 0;
  fault_arm(FAULT_SEEK, 1);
  EXPECT_EQ(start_block(), ERR_SEEK);
  EXPECT_EQ(file_pos, 0u);
  // (The failed seek left the file where it was; file_pos 99 makes the next
  // start seek again.)
  fault_reset();
  file_pos = 99;
  fault_arm(FAULT_READ, 1);
  EXPECT_EQ(start_block(), -1);
  fault_reset();
  file_pos = 99;
  fault_arm(FAULT_READ, 2);
  EXPECT_EQ(start_block(), -1);
  fault_reset();
}

TEST(CopyStored, FromTheBufferThenTheFile) {
  const uint32_t length = 150000;
  Bytes f = frame_of(length);
  ArchiveFile a(f);
  ASSERT_EQ(start_block(), 0);
  // bit_offset 0 starts at pos; the copy takes the buffer (margin included)
  // and then the rest of the frame from the file.
  decoder.in.pos = decoder.in.input_buffer + 6;
  decoder.in.bit_offset = 0;
  Bytes dest(length);
  ASSERT_EQ(copy_stored(dest.data(), length - 6), (int32_t)(length - 6));
  EXPECT_TRUE(std::equal(f.begin() + 6, f.end(), dest.begin()));
  // Asking for more than the frame holds gives what there is.
  ArchiveFile b(f);
  ASSERT_EQ(start_block(), 0);
  decoder.in.pos = decoder.in.input_buffer + 5;
  decoder.in.bit_offset = 5;  // one byte further: offset 6
  ASSERT_EQ(copy_stored(dest.data(), length), (int32_t)(length - 6));
  EXPECT_EQ(dest[0], f[6]);
}

TEST(CopyStored, ShortFramesCancelAndFailures) {
  REQUIRE_FAULTS();
  Bytes f = frame_of(9);
  ArchiveFile a(f);
  ASSERT_EQ(start_block(), 0);
  // A reader that stands past the bytes held has none to give.
  decoder.in.pos = decoder.in.input_buffer + 12;
  Bytes dest(64, 0);
  EXPECT_EQ(copy_stored(dest.data(), 10), 0);
  ArchiveFile b(frame_of(100000));
  ASSERT_EQ(start_block(), 0);
  decoder.in.pos = decoder.in.input_buffer + 6;
  dest.assign(100000, 0);
  decoder.cancel_requested = 1;
  EXPECT_EQ(copy_stored(dest.data(), 99994), ERR_CANCELLED);
  EXPECT_EQ(dest[0], frame_byte(6));  // the bytes copied stay
  decoder.cancel_requested = 0;
  ArchiveFile c(frame_of(100000));
  ASSERT_EQ(start_block(), 0);
  decoder.in.pos = decoder.in.input_buffer + 6;
  fault_reset();
  fault_arm(FAULT_READ, 1);
  EXPECT_EQ(copy_stored(dest.data(), 99994), -1);
  fault_reset();
}

TEST(Refill, CancelAndFailure) {
  REQUIRE_FAULTS();
  ArchiveFile a(frame_of(100000));
  ASSERT_EQ(start_block(), 0);
  decoder.in.pos = decoder.in.limit;
  decoder.cancel_requested = 1;
  EXPECT_EQ(refill_input(), ERR_CANCELLED);
  EXPECT_EQ(decoder.in.chunk_remaining, 100000u - 61432u);  // nothing changed
  decoder.cancel_requested = 0;
  fault_reset();
  fault_arm(FAULT_READ, 1);
  EXPECT_EQ(refill_input(), -1);
  fault_reset();
}

TEST(AlignAndMemoryRoutines, Basics) {
  uint8_t b[16] = {0};
  decoder.in.pos = b;
  decoder.in.bit_offset = 0;
  align_to_byte();
  EXPECT_EQ(decoder.in.pos, b);
  decoder.in.bit_offset = 1;
  align_to_byte();
  EXPECT_EQ(decoder.in.pos, b + 1);
  EXPECT_EQ(decoder.in.bit_offset, 0u);
  // The forward copy may move bytes downwards over themselves.
  uint8_t m[40];
  for (int i = 0; i < 40; i++) m[i] = (uint8_t)i;
  mem_copy_forward(m, m + 3, 37);
  for (int i = 0; i < 37; i++) ASSERT_EQ(m[i], i + 3);
  mem_fill(m, 0xAB, 11);
  EXPECT_EQ(m[10], 0xAB);
  EXPECT_EQ(m[11], 14);
}

}  // namespace
