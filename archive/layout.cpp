#include "archive/layout.h"

void parse_header(const uint8_t* b, ArchiveHeader* h) {
  for (int i = 0; i < 4; i++) h->archive_magic[i] = b[i];
  h->directory_pos = load_u32(b + 4);
  h->member_count = load_u32(b + 8);
  h->reserved12 = load_u32(b + 12);
  h->reserved16 = load_u32(b + 16);
  h->archive_size = load_u32(b + 20);
  h->stream_data_size = load_u32(b + 24);
  for (int i = 0; i < 3; i++) h->reserved28[i] = load_u32(b + 28 + 4 * i);
  h->reserved40 = load_u16(b + 40);
}

void write_header(const ArchiveHeader& h, uint8_t* b) {
  for (int i = 0; i < 4; i++) b[i] = h.archive_magic[i];
  store_u32(b + 4, h.directory_pos);
  store_u32(b + 8, h.member_count);
  store_u32(b + 12, h.reserved12);
  store_u32(b + 16, h.reserved16);
  store_u32(b + 20, h.archive_size);
  store_u32(b + 24, h.stream_data_size);
  for (int i = 0; i < 3; i++) store_u32(b + 28 + 4 * i, h.reserved28[i]);
  store_u16(b + 40, h.reserved40);
}

void parse_entry(const uint8_t* b, DirectoryEntry* e) {
  e->reserved0 = load_u32(b + 0);
  e->stream_pos = load_u32(b + 4);
  e->attributes = b[8];
  e->reserved9 = b[9];
  e->extra_len = b[10];
  e->flags = b[11];
  e->stream_offset = load_u32(b + 12);
  e->size = load_u32(b + 16);
  e->crc32 = load_u32(b + 20);
  e->extra2_len = load_u16(b + 24);
  e->name_len = load_u16(b + 26);
  e->create_time = load_u16(b + 28);
  e->create_date = load_u16(b + 30);
  e->write_time = load_u16(b + 32);
  e->write_date = load_u16(b + 34);
  e->reserved36 = load_u16(b + 36);
}

void write_entry(const DirectoryEntry& e, uint8_t* b) {
  store_u32(b + 0, e.reserved0);
  store_u32(b + 4, e.stream_pos);
  b[8] = e.attributes;
  b[9] = e.reserved9;
  b[10] = e.extra_len;
  b[11] = e.flags;
  store_u32(b + 12, e.stream_offset);
  store_u32(b + 16, e.size);
  store_u32(b + 20, e.crc32);
  store_u16(b + 24, e.extra2_len);
  store_u16(b + 26, e.name_len);
  store_u16(b + 28, e.create_time);
  store_u16(b + 30, e.create_date);
  store_u16(b + 32, e.write_time);
  store_u16(b + 34, e.write_date);
  store_u16(b + 36, e.reserved36);
}

void parse_member_record(const uint8_t* b, MemberRecord* r) {
  r->local_size = load_u32(b);
  r->local_name_len = load_u16(b + 4);
  r->reserved6 = load_u16(b + 6);
  r->reserved8 = load_u16(b + 8);
  r->local_flags = b[10];
}

void write_member_record(const MemberRecord& r, uint8_t* b) {
  store_u32(b, r.local_size);
  store_u16(b + 4, r.local_name_len);
  store_u16(b + 6, r.reserved6);
  store_u16(b + 8, r.reserved8);
  b[10] = r.local_flags;
}
