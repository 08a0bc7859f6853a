#pragma once
// The archive's byte layout. Every integer is little-endian and packed; records
// are written field by field with the storers below and read by copying them
// into structs laid out like them (never by casting a byte pointer to a
// struct), so alignment does not matter.
//
//   [ArchiveHeader 42 bytes][member streams ...][directory blocks ...]
//
// A member stream is STREAM_MAGIC followed by block frames; its decoded bytes
// hold member records (11-byte local record, name, data, CRC word) back to
// back. The directory is a chain of DIR_MAGIC + one block, whose decoded bytes
// are DirectoryEntry records (38-byte fixed part, name, two skipped areas); an
// entry never spans two directory blocks.
#include <stddef.h>
#include <stdint.h>

#include "base/bytes.h"

constexpr uint32_t ARCHIVE_HEADER_SIZE = 42;
constexpr uint32_t DIR_ENTRY_FIXED_SIZE = 38;
constexpr uint32_t MEMBER_RECORD_SIZE = 11;
constexpr uint32_t MAGIC_SIZE = 6;  // stream and directory block magics

// "QEV\n" at the archive's first byte; written, never checked by the reader.
constexpr uint8_t ARCHIVE_MAGIC[4] = {0x51, 0x45, 0x56, 0x0A};
// "QEVLH\0" before each member stream's first block; never checked by the reader.
constexpr uint8_t STREAM_MAGIC[6] = {0x51, 0x45, 0x56, 0x4C, 0x48, 0x00};
// "QEVDE\0" before each directory block; compared exactly.
constexpr uint8_t DIR_BLOCK_MAGIC[6] = {0x51, 0x45, 0x56, 0x44, 0x45, 0x00};

// Entry flag bits. When both filter bits are set, the 16-bit filter wins.
constexpr uint8_t FLAG_FOLDER = 1;
constexpr uint8_t FLAG_E8_16 = 2;
constexpr uint8_t FLAG_E8_32 = 4;

// ArchiveHeader (42 bytes). The reader uses directory_pos and member_count only.
struct ArchiveHeader {
  uint8_t archive_magic[4];   //  0: "QEV\n"
  uint32_t directory_pos;     //  4: archive position of the first directory block
  uint32_t member_count;      //  8: directory entries (files and folders)
  uint32_t reserved12;        // 12: unread
  uint32_t reserved16;        // 16: unread
  uint32_t archive_size;      // 20: header to the end of the last directory block
  uint32_t stream_data_size;  // 24: directory_pos - 42
  uint32_t reserved28[3];     // 28: unread
  uint16_t reserved40;        // 40: unread
};
void parse_header(const uint8_t* bytes, ArchiveHeader* out);   // 42 bytes in
// Whether the header's sizes agree with each other, as in every archive the
// packer writes: stream_data_size is directory_pos - 42 and archive_size lies
// past directory_pos. Only then does archive_size tell the archive's length
// (the extractor never needed it, so older writers may have left it unset).
inline bool header_sizes_agree(const ArchiveHeader& h) {
  return h.stream_data_size == h.directory_pos - ARCHIVE_HEADER_SIZE && h.archive_size > h.directory_pos;
}
void write_header(const ArchiveHeader& h, uint8_t* bytes);     // 42 bytes out

// DirectoryEntry: the 38-byte fixed part; then name_len name bytes (ANSI, no
// NUL), then extra_len + extra2_len bytes that the reader skips.
struct DirectoryEntry {
  uint32_t reserved0;      //  0: unread
  uint32_t stream_pos;     //  4: archive position of the member's stream magic
  uint8_t attributes;      //  8: DOS attributes; bits 0-2 are applied
  uint8_t reserved9;       //  9: unread
  uint8_t extra_len;       // 10: first skipped area after the name
  uint8_t flags;           // 11: FLAG_FOLDER, FLAG_E8_16, FLAG_E8_32
  uint32_t stream_offset;  // 12: member record's offset in the decoded stream
  uint32_t size;           // 16: bytes written to disk
  uint32_t crc32;          // 20: CRC-32 of the restored bytes
  uint16_t extra2_len;     // 24: second skipped area after the name
  uint16_t name_len;       // 26: name bytes
  uint16_t create_time;    // 28: DOS time
  uint16_t create_date;    // 30: DOS date; 0 leaves the creation time alone
  uint16_t write_time;     // 32: DOS time
  uint16_t write_date;     // 34: DOS date; 0 leaves the write time alone
  uint16_t reserved36;     // 36: unread
};
void parse_entry(const uint8_t* bytes, DirectoryEntry* out);   // 38 bytes in
void write_entry(const DirectoryEntry& e, uint8_t* bytes);     // 38 bytes out

// The 11-byte local record at the head of each member record in a decoded stream.
struct MemberRecord {
  uint32_t local_size;      // 0: the member's size; unread
  uint16_t local_name_len;  // 4: name bytes that follow; the reader skips them
  uint16_t reserved6;       // 6: unread
  uint16_t reserved8;       // 8: unread
  uint8_t local_flags;      // 10: the entry's flags; unread
};
void parse_member_record(const uint8_t* bytes, MemberRecord* out);  // 11 bytes in
// The one field the reader takes, read where the record holds it: the stub
// collects the record's 11 bytes while a member's stream is decoded and
// passes over this many name bytes before the member's data.
inline uint32_t member_record_name_len(const uint8_t* record) {
  return load_le16(record + offsetof(MemberRecord, local_name_len));
}
void write_member_record(const MemberRecord& r, uint8_t* bytes);    // 11 bytes out
