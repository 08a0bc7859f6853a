// The directory reader on archives on disk: stored and compressed directory
// blocks, the position of the next block found from what was consumed, the
// buffer bounds, damaged blocks refused, failures passed up with dir_read_pos
// unchanged, and turns taken with the entry stream decoder on one file.
#include <gtest/gtest.h>

#include <vector>

#include "archive/directory_reader.h"
#include "archive/layout.h"
#include "archive_builder.h"
#include "decode/decoder_state.h"
#include "archive/entry_stream.h"
#include "decode_fixture.h"
#include "fault_support.h"
#include "base/result_codes.h"
#include "stream_writer.h"

namespace {

using dectest::ArchiveFile;
using dectest::BitWriter;
using dectest::Bytes;

const Bytes kMagic = {0x51, 0x45, 0x56, 0x44, 0x45, 0x00};  // "QEVDE\0"

Bytes entry(const std::string& name, uint32_t stream_pos, uint32_t offset, uint32_t size) {
  DirectoryEntry e = {};
  e.stream_pos = stream_pos;
  e.stream_offset = offset;
  e.size = size;
  e.name_len = (uint16_t)name.size();
  Bytes b(38);
  write_entry(e, b.data());
  b.insert(b.end(), name.begin(), name.end());
  return b;
}

// A stored directory block: magic, 45-bit header, 5 bits, data from byte 7.
Bytes stored_dir_block(const Bytes& data, uint32_t size_field) {
  BitWriter w;
  w.put(0, 4);                              // method: stored
  w.put(1, 1);                              // last-block bit (not read)
  w.put(size_field, 20);                    // decoded size
  w.put(7 + (uint32_t)data.size(), 20);     // block length (not read)
  w.put(0, 5);                              // passed over
  w.align();
  Bytes b = kMagic;
  Bytes h = w.take();
  b.insert(b.end(), h.begin(), h.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes compressed_dir_block(const Bytes& data) {
  dectest::BlockDesign design;
  design.tables = 2;
  design.sets = dectest::split_sets(dectest::lz_parse(data.data(), 0, 0, data.size(), 2, 8), 0);
  Bytes f = dectest::compressed_frame(design, (uint32_t)data.size(), false, 0);
  Bytes b = kMagic;
  b.insert(b.end(), f.begin(), f.end());
  return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

size_t decoded() { return (size_t)(decoder.dir_end - decoder.dir_cursor); }

TEST(DirectoryReader, StoredThenCompressedBlocks) {
  REQUIRE_FAULTS();
  Bytes three = cat({entry("first_file1", 42, 0, 1), entry("second_file", 42, 16, 2),
                     entry("third_file3", 42, 33, 3)});
  ASSERT_EQ(three.size(), 147u);
  Bytes many;
  for (int i = 0; i < 60; i++) {
    Bytes e = entry("folder\\file" + std::to_string(i) + ".txt", 42, i * 100, i);
    many.insert(many.end(), e.begin(), e.end());
  }
  Bytes archive = cat({Bytes(10, 0xAA), stored_dir_block(three, 147), compressed_dir_block(many)});
  ArchiveFile a(archive);
  decoder.dir_read_pos = 10;
  std::vector<uint8_t> buffer(DIR_BUFFER_SIZE);
  fault_reset();
  ASSERT_EQ(read_directory_block(buffer.data()), 0);
  EXPECT_EQ(decoder.dir_cursor, buffer.data());
  ASSERT_EQ(decoded(), 147u);
  EXPECT_TRUE(std::equal(three.begin(), three.end(), buffer.begin()));
  EXPECT_EQ(decoder.dir_read_pos, 10u + 6 + 7 + 147);
  // The compressed block decodes from the one read: magic and block, no more.
  ASSERT_EQ(read_directory_block(buffer.data()), 0);
  ASSERT_EQ(decoded(), many.size());
  EXPECT_TRUE(std::equal(many.begin(), many.end(), buffer.begin()));
  EXPECT_EQ(decoder.dir_read_pos, archive.size());
  EXPECT_EQ(fault_calls(FAULT_READ), 4u);
  // The first read took the file past the second block's start: back to it.
  EXPECT_EQ(fault_calls(FAULT_SEEK), 2u);
  fault_reset();
}

TEST(DirectoryReader, DamagedBlocksAreRefused) {
  std::vector<uint8_t> buffer(DIR_BUFFER_SIZE);
  Bytes small = entry("x", 42, 0, 1);
  struct Case {
    const char* what;
    Bytes archive;
  } cases[] = {
      {"wrong magic", cat({Bytes{0x51, 0x45, 0x56, 0x44, 0x46, 0x00}, Bytes(20, 0)})},
      {"short magic", Bytes{0x51, 0x45, 0x56}},
      {"method 2", cat({kMagic, Bytes{0x02, 0, 0, 0, 0, 0, 0, 0}})},
      {"larger than the buffer", stored_dir_block(Bytes(8193, 1), 8193)},
      {"stored data past the bytes read", stored_dir_block(small, (uint32_t)small.size() + 1)},
  };
  for (const Case& c : cases) {
    ArchiveFile a(c.archive);
    decoder.dir_read_pos = 0;
    EXPECT_EQ(read_directory_block(buffer.data()), ERR_DAMAGED) << c.what;
    EXPECT_EQ(decoder.dir_read_pos, 0u) << c.what;
    EXPECT_EQ(decoded(), 0u) << c.what;
  }
  // A compressed block larger than the buffer is refused before decoding.
  Bytes big(9000, 'a');
  ArchiveFile a(compressed_dir_block(big));
  decoder.dir_read_pos = 0;
  EXPECT_EQ(read_directory_block(buffer.data()), ERR_DAMAGED);
  // Exactly 8192 bytes fit.
  ArchiveFile b(compressed_dir_block(Bytes(8192, 'b')));
  decoder.dir_read_pos = 0;
  ASSERT_EQ(read_directory_block(buffer.data()), 0);
  EXPECT_EQ(decoded(), 8192u);
}

TEST(DirectoryReader, CodesPastTheBytesReadEndShort) {
  Bytes many;
  for (int i = 0; i < 40; i++) {
    Bytes e = entry("name" + std::to_string(i * 7919), 42, i, i);
    many.insert(many.end(), e.begin(), e.end());
  }
  Bytes block = compressed_dir_block(many);
  block.resize(block.size() * 2 / 3);
  ArchiveFile a(block);
  decoder.dir_read_pos = 0;
  std::vector<uint8_t> buffer(DIR_BUFFER_SIZE);
  ASSERT_EQ(read_directory_block(buffer.data()), 0);
  EXPECT_GT(decoded(), 0u);
  EXPECT_LT(decoded(), many.size());
  // The last item began before the end of the bytes read and took what
  // lay past them; everything before it is right.
  ASSERT_GT(decoded(), 300u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + (ptrdiff_t)decoded() - 300, many.begin()));
}

TEST(DirectoryReader, FailuresLeaveThePositionAlone) {
  REQUIRE_FAULTS();
  Bytes archive = stored_dir_block(entry("x", 42, 0, 1), 39);
  std::vector<uint8_t> buffer(DIR_BUFFER_SIZE);
  for (FaultOp op : {FAULT_SEEK, FAULT_READ}) {
    for (uint32_t n : {1u, 2u}) {
      if (op == FAULT_SEEK && n == 2) continue;
      ArchiveFile a(archive);
      decoder.dir_read_pos = 0;
      file_pos = 5;  // another reader moved the file
      fault_reset();
      fault_arm(op, n);
      EXPECT_EQ(read_directory_block(buffer.data()), op == FAULT_SEEK ? ERR_SEEK : -1);
      EXPECT_EQ(decoder.dir_read_pos, 0u);
      fault_reset();
    }
  }
}

TEST(DirectoryReader, TakesTurnsWithTheStreamDecoder) {
  // Header, one stream with two members, then two directory blocks of one
  // entry each. Directory, member, directory, member.
  dectest::Bytes decoded_stream;
  Bytes d1 = dectest::text_data(30, 4000), d2 = dectest::text_data(31, 4000);
  Bytes r1 = dectest::member_record("a", d1, 0), r2 = dectest::member_record("b", d2, 0);
  decoded_stream = cat({r1, r2});
  Bytes stream = dectest::encode_stream(decoded_stream, {{5000}, {(uint32_t)decoded_stream.size() - 5000}});
  Bytes header(42, 0);
  const uint32_t dir_pos = 42 + (uint32_t)stream.size();
  Bytes archive = cat({header, stream, stored_dir_block(entry("a", 42, 0, 4000), 39),
                       stored_dir_block(entry("b", 42, (uint32_t)r1.size(), 4000), 39)});
  ArchiveFile a(archive);
  decoder.dir_read_pos = dir_pos;
  std::vector<uint8_t> buffer(DIR_BUFFER_SIZE);
  for (int m = 0; m < 2; m++) {
    ASSERT_EQ(read_directory_block(buffer.data()), 0);
    DirectoryEntry e;
    parse_entry(buffer.data(), &e);
    dectest::OutputFile out;
    ASSERT_EQ(decode_member(out.handle(), e.stream_pos, e.stream_offset, e.size, e.flags), 0);
    EXPECT_EQ(out.bytes(), m == 0 ? d1 : d2);
  }
}

}  // namespace
