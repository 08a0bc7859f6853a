#include "encode/archive_writer.h"

#include <stdio.h>
#include <string.h>
#include <errno.h>

#include <algorithm>

#include "archive/layout.h"
#include "encode/call_filter.h"
#include "encode/checksum.h"
#include "encode/directory_writer.h"
#include "encode/whole_file.h"

namespace qev {
namespace {

constexpr uint64_t POSITION_LIMIT = 0xFFFFFFFFull;  // archive positions are u32

bool read_file(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
  ReadResult read = read_whole_file(path, POSITION_LIMIT, data, error);
  if (read == ReadResult::TOO_LARGE)
    error = "'" + path + "' is too large (a member holds at most 4 GiB - 1 bytes)";
  return read == ReadResult::OK;
}

}  // namespace

uint8_t choose_filter(FilterMode mode, const uint8_t* data, size_t size) {
  if (!filter_allowed(size)) return 0;
  switch (mode) {
    case FilterMode::None: return 0;
    case FilterMode::E8_16: return FLAG_E8_16;
    case FilterMode::E8_32: return FLAG_E8_32;
    case FilterMode::Auto: return is_x86_pe(data, size) ? FLAG_E8_32 : 0;
  }
  return 0;
}

bool write_archive(const std::vector<PackEntry>& entries, const PackOptions& opt, ByteSink& sink,
                   PackResult& res, const PackProgress& progress) {
  res = PackResult();
  uint8_t header_bytes[ARCHIVE_HEADER_SIZE] = {0};
  if (!sink.write(header_bytes, sizeof header_bytes)) { res.error = "cannot write the archive"; return false; }
  uint64_t position = ARCHIVE_HEADER_SIZE;

  std::vector<DirectoryEntry> dir(entries.size());
  StreamEncoder encoder(opt.encoder);
  std::vector<uint8_t> stream;      // decoded bytes of the open stream
  std::vector<size_t> stream_members;
  std::vector<uint8_t> frames;
  std::vector<uint8_t> data;

  auto close_stream = [&]() -> bool {
    if (stream_members.empty()) return true;
    frames.assign(STREAM_MAGIC, STREAM_MAGIC + MAGIC_SIZE);
    const size_t size = stream.size();
    stream.resize(size + StreamEncoder::STREAM_PADDING, 0);
    encoder.encode_padded(stream.data(), size, frames, &res.report);
    if (position + frames.size() > POSITION_LIMIT) {
      res.error = "the archive would be larger than 4 GiB";
      return false;
    }
    for (size_t i : stream_members) dir[i].stream_pos = (uint32_t)position;
    if (!sink.write(frames.data(), frames.size())) { res.error = "cannot write the archive"; return false; }
    position += frames.size();
    res.streams++;
    stream.clear();
    stream_members.clear();
    return true;
  };

  for (size_t i = 0; i < entries.size(); i++) {
    const PackEntry& e = entries[i];
    DirectoryEntry& d = dir[i];
    d = DirectoryEntry();
    d.attributes = e.attributes;
    d.name_len = (uint16_t)e.name.size();
    d.create_date = e.create_date;
    d.create_time = e.create_time;
    d.write_date = e.write_date;
    d.write_time = e.write_time;
    if (e.folder) {
      d.flags = FLAG_FOLDER;
      res.folders++;
      continue;
    }
    const std::vector<uint8_t>* content = &e.data;
    if (!e.source.empty()) {
      if (!read_file(e.source, data, res.error)) return false;
      content = &data;
    }
    const size_t size = content->size();
    if (size > POSITION_LIMIT - 64 - e.name.size()) {
      res.error = "'" + e.name + "' is too large (a member holds at most 4 GiB - 1 bytes)";
      return false;
    }
    d.size = (uint32_t)size;
    d.crc32 = crc32_update(0, content->data(), size);
    d.flags = choose_filter(opt.filter, content->data(), size);
    if (d.flags == FLAG_E8_16) res.filtered16++;
    if (d.flags == FLAG_E8_32) res.filtered32++;
    const uint64_t record = MEMBER_RECORD_SIZE + e.name.size() + size + 4;
    if (!stream.empty() && (stream.size() >= opt.stream_limit || stream.size() + record > POSITION_LIMIT)) {
      if (!close_stream()) return false;
    }
    d.stream_offset = (uint32_t)stream.size();
    MemberRecord mr = {};
    mr.local_size = d.size;
    mr.local_name_len = d.name_len;
    mr.local_flags = d.flags;
    size_t at = stream.size();
    stream.resize(at + MEMBER_RECORD_SIZE);
    write_member_record(mr, stream.data() + at);
    stream.reserve(std::max<size_t>(stream.capacity(), std::min<uint64_t>(opt.stream_limit, 1u << 30) + record + 64));
    stream.insert(stream.end(), e.name.begin(), e.name.end());
    at = stream.size();
    stream.insert(stream.end(), content->begin(), content->end());
    if (d.flags == FLAG_E8_32) filter_e8_32(stream.data() + at, size);
    if (d.flags == FLAG_E8_16) filter_e8_16(stream.data() + at, size);
    uint8_t crc[4];
    store_u32(crc, d.crc32);
    stream.insert(stream.end(), crc, crc + 4);
    stream_members.push_back(i);
    res.files++;
    res.bytes_in += size;
    if (progress) progress(res.bytes_in, res.files);
  }
  if (!close_stream()) return false;

  // Directory.
  std::vector<uint8_t> serial;
  std::vector<uint32_t> ends;
  for (size_t i = 0; i < entries.size(); i++) {
    size_t at = serial.size();
    serial.resize(at + DIR_ENTRY_FIXED_SIZE);
    write_entry(dir[i], serial.data() + at);
    serial.insert(serial.end(), entries[i].name.begin(), entries[i].name.end());
    ends.push_back((uint32_t)serial.size());
  }
  const uint64_t directory_pos = position;
  frames.clear();
  res.dir_blocks = write_directory(serial, ends, opt.dir_block_limit, opt.dir_block, frames);
  if (position + frames.size() > POSITION_LIMIT) {
    res.error = "the archive would be larger than 4 GiB";
    return false;
  }
  if (!sink.write(frames.data(), frames.size())) { res.error = "cannot write the archive"; return false; }
  position += frames.size();

  ArchiveHeader h = {};
  memcpy(h.archive_magic, ARCHIVE_MAGIC, 4);
  h.directory_pos = (uint32_t)directory_pos;
  h.member_count = (uint32_t)entries.size();
  h.archive_size = (uint32_t)position;
  h.stream_data_size = (uint32_t)(directory_pos - ARCHIVE_HEADER_SIZE);
  write_header(h, header_bytes);
  if (!sink.patch(0, header_bytes, sizeof header_bytes)) { res.error = "cannot write the archive"; return false; }
  res.archive_size = position;
  return true;
}

}  // namespace qev
