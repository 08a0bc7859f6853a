#include "test_archive.h"

#include <string.h>

#include <stdexcept>

namespace {

constexpr uint32_t DEFAULT_BLOCK = 1000000;
constexpr uint32_t MIN_INNER_FRAME_DATA = 2;  // frames that are not last: >= 8 bytes
constexpr size_t DIR_BLOCK_DATA_MAX = 8184 - 7;

// The 45-bit frame header (method 0) in 6 bytes, LSB first.
void put_frame_header(uint8_t* out, uint32_t size, uint32_t frame_length, bool last) {
  uint64_t bits = (last ? 1ull : 0ull) << 4 | (uint64_t)size << 5 | (uint64_t)frame_length << 25;
  for (int i = 0; i < 6; i++) out[i] = (uint8_t)(bits >> (8 * i));
}

void append(std::vector<uint8_t>& out, const void* data, size_t size) {
  if (size == 0) return;
  size_t at = out.size();
  out.resize(at + size);
  memcpy(out.data() + at, data, size);
}

}  // namespace

uint32_t reference_crc32(const void* data, size_t size) {
  const uint8_t* p = (const uint8_t*)data;
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; i++) {
    crc ^= p[i];
    for (int k = 0; k < 8; k++) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

std::string pattern(size_t size, uint32_t seed) {
  std::string s(size, 0);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; i++) {
    x = x * 1103515245u + 12345u;
    s[i] = (char)(x >> 23);
  }
  return s;
}

std::vector<uint8_t> stored_frame(const uint8_t* data, uint32_t size, bool last) {
  if (size > 0xFFFFF - 6) throw std::invalid_argument("stored frame too long");
  std::vector<uint8_t> frame(6);
  put_frame_header(frame.data(), size, 6 + size, last);
  append(frame, data, size);
  return frame;
}

int TestArchive::add_stream() {
  streams_.push_back({});
  return (int)streams_.size() - 1;
}

size_t TestArchive::add_file(int s, const std::string& name, const std::string& data,
                             uint8_t attributes, uint8_t flags) {
  std::vector<uint8_t>& d = streams_[s].decoded;
  TestEntry t;
  t.e.stream_offset = (uint32_t)d.size();
  t.e.size = (uint32_t)data.size();
  t.e.attributes = attributes;
  t.e.flags = flags;
  t.e.write_date = dos_date(2004, 12, 24);
  t.e.write_time = dos_time(12, 29, 52);
  t.e.create_date = dos_date(2004, 12, 24);
  t.e.create_time = dos_time(12, 25, 46);
  t.name = name;
  t.stream = s;
  t.data = data;
  MemberRecord r{};
  r.local_size = (uint32_t)data.size();
  r.local_name_len = (uint16_t)name.size();
  r.local_flags = flags;
  uint8_t local[MEMBER_RECORD_SIZE];
  write_member_record(r, local);
  append(d, local, sizeof(local));
  append(d, name.data(), name.size());
  append(d, data.data(), data.size());
  uint8_t crc[4];
  store_le32(crc, reference_crc32(data.data(), data.size()));
  append(d, crc, 4);
  entries.push_back(t);
  return entries.size() - 1;
}

size_t TestArchive::add_folder(const std::string& name, uint8_t attributes) {
  TestEntry t;
  t.e.flags = FLAG_FOLDER;
  t.e.attributes = attributes;
  t.name = name;
  entries.push_back(t);
  return entries.size() - 1;
}

void TestArchive::pad_stream(int s, uint32_t count, uint8_t value) {
  streams_[s].decoded.insert(streams_[s].decoded.end(), count, value);
}

std::vector<uint8_t> encode_entry(const TestEntry& t) {
  DirectoryEntry e = t.e;
  e.name_len = (uint16_t)(t.raw_name_len >= 0 ? t.raw_name_len : t.name.size());
  e.extra_len = (uint8_t)t.extra.size();
  e.extra2_len = (uint16_t)(t.raw_extra2_len >= 0 ? t.raw_extra2_len : t.extra2.size());
  std::vector<uint8_t> out(DIR_ENTRY_FIXED_SIZE);
  write_entry(e, out.data());
  append(out, t.name.data(), t.name.size());
  append(out, t.extra.data(), t.extra.size());
  append(out, t.extra2.data(), t.extra2.size());
  return out;
}

std::vector<uint8_t> stored_directory_block(const std::vector<uint8_t>& data) {
  if (data.size() > DIR_BLOCK_DATA_MAX) throw std::invalid_argument("directory block too long");
  std::vector<uint8_t> out(DIR_BLOCK_MAGIC, DIR_BLOCK_MAGIC + 6);
  uint8_t header[7] = {};
  put_frame_header(header, (uint32_t)data.size(), (uint32_t)(7 + data.size()), true);
  append(out, header, 7);  // bits 45-49 (the selector a stored block lacks) stay 0
  append(out, data.data(), data.size());
  return out;
}

std::vector<uint8_t> TestArchive::build() {
  std::vector<uint8_t> out(ARCHIVE_HEADER_SIZE);
  stream_positions.clear();
  for (Stream& s : streams_) {
    stream_positions.push_back((uint32_t)out.size());
    append(out, STREAM_MAGIC, 6);
    std::vector<uint32_t> cuts = s.cuts;
    if (cuts.empty()) {
      for (uint32_t c = DEFAULT_BLOCK; c < s.decoded.size(); c += DEFAULT_BLOCK) cuts.push_back(c);
    }
    cuts.push_back((uint32_t)s.decoded.size());
    uint32_t start = 0;
    for (size_t i = 0; i < cuts.size(); i++) {
      bool last = i + 1 == cuts.size();
      uint32_t size = cuts[i] - start;
      if (cuts[i] < start || (!last && size < MIN_INNER_FRAME_DATA))
        throw std::invalid_argument("stream cut leaves a frame shorter than 8 bytes");
      std::vector<uint8_t> frame = stored_frame(s.decoded.data() + start, size, last);
      append(out, frame.data(), frame.size());
      start = cuts[i];
    }
  }

  directory_pos = (uint32_t)out.size();
  directory_positions.clear();
  std::vector<uint8_t> block;
  size_t in_block = 0, block_index = 0;
  auto flush = [&]() {
    directory_positions.push_back((uint32_t)out.size());
    std::vector<uint8_t> b = stored_directory_block(block);
    append(out, b.data(), b.size());
    block.clear();
    in_block = 0;
    block_index++;
  };
  for (TestEntry& t : entries) {
    if (t.stream >= 0) t.e.stream_pos = stream_positions[t.stream];
    if (!t.keep_crc && !(t.e.flags & FLAG_FOLDER))
      t.e.crc32 = reference_crc32(t.data.data(), t.data.size());
    std::vector<uint8_t> bytes = encode_entry(t);
    bool split_here = block_index < dir_split_.size() && in_block == dir_split_[block_index];
    if (split_here || block.size() + bytes.size() > DIR_BLOCK_DATA_MAX) flush();
    append(block, bytes.data(), bytes.size());
    in_block++;
  }
  if (!block.empty() || (directory_positions.empty() && raw_directory_blocks.empty())) flush();
  for (const std::vector<uint8_t>& raw : raw_directory_blocks) {
    block = raw;
    flush();
  }

  ArchiveHeader h{};
  for (int i = 0; i < 4; i++) h.archive_magic[i] = ARCHIVE_MAGIC[i];
  h.directory_pos = directory_pos;
  h.member_count = member_count >= 0 ? (uint32_t)member_count : (uint32_t)entries.size();
  h.archive_size = (uint32_t)out.size();
  h.stream_data_size = directory_pos - ARCHIVE_HEADER_SIZE;
  write_header(h, out.data());
  return out;
}

uint16_t dos_date(int year, int month, int day) {
  return (uint16_t)(((year - 1980) << 9) | (month << 5) | day);
}

uint16_t dos_time(int hour, int minute, int second) {
  return (uint16_t)((hour << 11) | (minute << 5) | (second / 2));
}
