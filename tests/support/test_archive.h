#pragma once
// Builds valid archives by hand, with stored blocks only, so that tests of the
// shell do not depend on the compressor.
//
//   TestArchive a;
//   int s = a.add_stream();
//   a.add_file(s, "docs\\readme.txt", "hello");     // member record in stream s
//   a.add_folder("docs", 0x10);
//   std::vector<uint8_t> bytes = a.build();
//
// Layout: the 42-byte header, then each stream ("QEVLH\0" and stored block
// frames), then the directory blocks ("QEVDE\0" and one stored block each).
// Entries are written in the order of `entries`, which tests may change
// (reorder, edit fields, make a CRC wrong) before build().
//
// The reader's rules that the builder keeps: a stored frame is a 6-byte header
// (method 0, last bit, block size, frame length = 6 + size) and the data; a
// frame that is not a stream's last is at least 8 bytes long (the reader takes
// the first 8 bytes of a frame in one read); a directory block's data begin 7
// bytes after its magic, fit the reader's 8184 bytes and decode to at most
// 8192; an entry never spans two directory blocks.
#include <stdint.h>

#include <string>
#include <vector>

#include "archive/layout.h"

// The reflected CRC-32 (0xEDB88320), computed bit by bit: an oracle that
// shares nothing with the decoder's table-driven one.
uint32_t reference_crc32(const void* data, size_t size);

// `size` bytes of a pseudo-random pattern fixed by `seed`: member data that
// shows any misplaced, lost or repeated byte.
std::string pattern(size_t size, uint32_t seed);

// A stored block frame of a member stream.
std::vector<uint8_t> stored_frame(const uint8_t* data, uint32_t size, bool last);

struct TestEntry {
  DirectoryEntry e{};       // fixed part; stream_pos, name_len, crc32 filled by build()
  std::string name;         // written as name_len bytes (override name_len via raw_name_len)
  std::string extra;        // first skipped area (extra_len bytes)
  std::string extra2;       // second skipped area (extra2_len bytes)
  int stream = -1;          // member stream of a file entry; -1: e.stream_pos as set
  bool keep_crc = false;    // true: e.crc32 stays as set (a wrong CRC on purpose)
  int raw_name_len = -1;    // >= 0: written as name_len instead of name.size()
  int raw_extra2_len = -1;  // >= 0: written as extra2_len instead of extra2.size()
  std::string data;         // the member's bytes (for tests' own checks)
};

class TestArchive {
 public:
  // A new, empty member stream; its index.
  int add_stream();
  // Appends a member record (local record, name, data, CRC word) for `data` to
  // stream s and adds a file entry for it; returns its index in `entries`.
  size_t add_file(int s, const std::string& name, const std::string& data,
                  uint8_t attributes = 0x20, uint8_t flags = 0);
  // Adds a folder entry; its index.
  size_t add_folder(const std::string& name, uint8_t attributes = 0x10);
  // Appends raw bytes to a stream's decoded bytes (padding between records).
  void pad_stream(int s, uint32_t count, uint8_t value = 0xAA);
  // Decoded bytes of stream s so far (the next record's stream_offset).
  uint32_t stream_size(int s) const { return (uint32_t)streams_[s].decoded.size(); }
  // Block boundaries of stream s as offsets in its decoded bytes; by default a
  // stream is one block (or blocks of 1,000,000 bytes when longer).
  void cut_stream(int s, std::vector<uint32_t> cuts) { streams_[s].cuts = std::move(cuts); }
  // Entries per directory block (the last block takes the rest); by default as
  // many as fit in one block.
  void directory_blocks(std::vector<size_t> entries_per_block) {
    dir_split_ = std::move(entries_per_block);
  }

  std::vector<TestEntry> entries;   // directory order
  int64_t member_count = -1;        // -1: entries.size()
  // Decoded bytes of further directory blocks, stored after those of `entries`.
  std::vector<std::vector<uint8_t>> raw_directory_blocks;

  // The archive's bytes. Afterwards the positions below are known.
  std::vector<uint8_t> build();
  std::vector<uint32_t> stream_positions;     // archive position of each stream's magic
  std::vector<uint32_t> directory_positions;  // archive position of each directory block
  uint32_t directory_pos = 0;

 private:
  struct Stream {
    std::vector<uint8_t> decoded;
    std::vector<uint32_t> cuts;
  };
  std::vector<Stream> streams_;
  std::vector<size_t> dir_split_;
};

// The encoded bytes of one directory entry (fixed part, name, both areas).
std::vector<uint8_t> encode_entry(const TestEntry& entry);
// A stored directory block: "QEVDE\0", the 7-byte header, the data.
std::vector<uint8_t> stored_directory_block(const std::vector<uint8_t>& data);

// DOS date and time of a local moment.
uint16_t dos_date(int year, int month, int day);
uint16_t dos_time(int hour, int minute, int second);
