#include "archive/layout.h"

#include <stddef.h>

// The records' structs hold their fields at the offsets the archive gives
// them (checked below), in the host's order, which is the archive's own
// little-endian one: reading a record is one copy.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are copied as they stand");
static_assert(offsetof(ArchiveHeader, directory_pos) == 4 && offsetof(ArchiveHeader, member_count) == 8 &&
                  offsetof(ArchiveHeader, archive_size) == 20 &&
                  offsetof(ArchiveHeader, stream_data_size) == 24 &&
                  offsetof(ArchiveHeader, reserved28) == 28 && offsetof(ArchiveHeader, reserved40) == 40,
              "the header struct has the header's layout");
static_assert(offsetof(DirectoryEntry, stream_pos) == 4 && offsetof(DirectoryEntry, attributes) == 8 &&
                  offsetof(DirectoryEntry, flags) == 11 && offsetof(DirectoryEntry, stream_offset) == 12 &&
                  offsetof(DirectoryEntry, size) == 16 && offsetof(DirectoryEntry, crc32) == 20 &&
                  offsetof(DirectoryEntry, extra2_len) == 24 && offsetof(DirectoryEntry, name_len) == 26 &&
                  offsetof(DirectoryEntry, create_time) == 28 && offsetof(DirectoryEntry, write_date) == 34 &&
                  offsetof(DirectoryEntry, reserved36) == 36,
              "the entry struct has the entry's layout");
static_assert(offsetof(MemberRecord, local_name_len) == 4 && offsetof(MemberRecord, reserved8) == 8 &&
                  offsetof(MemberRecord, local_flags) == 10,
              "the member record struct has the record's layout");

void parse_header(const uint8_t* b, ArchiveHeader* h) { __builtin_memcpy(h, b, ARCHIVE_HEADER_SIZE); }

void write_header(const ArchiveHeader& h, uint8_t* b) {
  for (int i = 0; i < 4; i++) b[i] = h.archive_magic[i];
  store_le32(b + 4, h.directory_pos);
  store_le32(b + 8, h.member_count);
  store_le32(b + 12, h.reserved12);
  store_le32(b + 16, h.reserved16);
  store_le32(b + 20, h.archive_size);
  store_le32(b + 24, h.stream_data_size);
  for (int i = 0; i < 3; i++) store_le32(b + 28 + 4 * i, h.reserved28[i]);
  store_le16(b + 40, h.reserved40);
}

void parse_entry(const uint8_t* b, DirectoryEntry* e) { __builtin_memcpy(e, b, DIR_ENTRY_FIXED_SIZE); }

void write_entry(const DirectoryEntry& e, uint8_t* b) {
  store_le32(b + 0, e.reserved0);
  store_le32(b + 4, e.stream_pos);
  b[8] = e.attributes;
  b[9] = e.reserved9;
  b[10] = e.extra_len;
  b[11] = e.flags;
  store_le32(b + 12, e.stream_offset);
  store_le32(b + 16, e.size);
  store_le32(b + 20, e.crc32);
  store_le16(b + 24, e.extra2_len);
  store_le16(b + 26, e.name_len);
  store_le16(b + 28, e.create_time);
  store_le16(b + 30, e.create_date);
  store_le16(b + 32, e.write_time);
  store_le16(b + 34, e.write_date);
  store_le16(b + 36, e.reserved36);
}

void parse_member_record(const uint8_t* b, MemberRecord* r) {
  r->local_size = load_le32(b);
  r->local_name_len = load_le16(b + 4);
  r->reserved6 = load_le16(b + 6);
  r->reserved8 = load_le16(b + 8);
  r->local_flags = b[10];
}

void write_member_record(const MemberRecord& r, uint8_t* b) {
  store_le32(b, r.local_size);
  store_le16(b + 4, r.local_name_len);
  store_le16(b + 6, r.reserved6);
  store_le16(b + 8, r.reserved8);
  b[10] = r.local_flags;
}
