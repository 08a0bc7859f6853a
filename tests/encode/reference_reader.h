#pragma once
// A strict, slow reader of whole archives in memory, written from the reading
// rules alone (it shares no code with the writer). It fails on anything the
// stub would read differently from what the writer meant: a frame whose
// block_length is not exactly where decoding stops, a frame under 8 bytes, a
// match the stub would drop (reaching before its window), a distance of 0, a
// symbol without a code, a block that ends short, a length-2 match in a block
// with one distance table, a directory block that does not fit the directory
// reader's 8184-byte read or decodes to more than 8192 bytes.
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

namespace refread {

struct Member {
  std::string name;
  uint8_t flags = 0, attributes = 0;
  uint32_t stream_pos = 0, stream_offset = 0, size = 0, crc32 = 0;
  uint16_t create_date = 0, create_time = 0, write_date = 0, write_time = 0;
  std::vector<uint8_t> data;  // restored bytes (files)
};

// What the archive's blocks used, to prove that tests reach every construct.
struct Constructs {
  uint32_t stored = 0, default1 = 0, default2 = 0, tables[4] = {0}, max_sets = 0;
  uint32_t selector_rows = 0;  // bit r: a continued compressed block with row r
  uint32_t max_history = 0;    // most history kept before a block
  uint32_t max_distance = 0;
  uint32_t longest_run = 0;    // longest zero or repeat run in length sets
  uint32_t long_matches = 0;   // symbol 286/287
  uint32_t register_uses = 0, short_distances = 0, len2 = 0, len3_table2 = 0;
};

struct Archive {
  uint32_t directory_pos = 0, member_count = 0, archive_size = 0, stream_data_size = 0;
  std::vector<Member> members;
  Constructs seen;
};

// Reads the archive that starts at `base` in `file`. Returns "" or an error.
std::string read_archive(const std::vector<uint8_t>& file, size_t base, Archive& out);
// Decodes one stream whose first frame starts at `at` (after the magic).
std::string read_stream(const uint8_t* data, size_t size, size_t at, std::vector<uint8_t>& out,
                        Constructs& seen);

uint32_t crc32(const uint8_t* p, size_t n);
// Reads `sets` code-length sets (pre-code first) from bytes, LSB-first.
std::string read_length_sets(const uint8_t* bytes, size_t size, int set_size, int sets,
                             std::vector<uint8_t>& lengths, uint64_t* bits_used);

}  // namespace refread
