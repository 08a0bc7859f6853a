#include "stub_decode.h"

#include <stdio.h>
#include <unistd.h>

#include "archive/directory_reader.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "archive/directory_walk.h"
#include "archive/entry_stream.h"
#include "archive/member_reader.h"
#include "base/result_codes.h"
#include "platform/platform.h"
#include "shell/stub_config.h"

std::string stub_decode_file(const std::string& path, uint32_t base, bool keep_data,
                             std::vector<StubMember>* members, uint64_t* bytes_out) {
  build_crc_table();
  decoder.archive_base = base;
  connect_decoder_to_config();
  archive_file = file_open(path.c_str(), ACCESS_READ);
  if (archive_file == INVALID_FILE) return "cannot open " + path;
  std::string error;
  std::vector<uint8_t> input(INPUT_BUFFER_ALLOC), dir(DIR_BUFFER_SIZE);
  decoder.in.input_buffer = input.data();
  reset_stream_state();
  uint8_t hb[ARCHIVE_HEADER_SIZE];
  ArchiveHeader h;
  std::string out_path = path + ".member";
  uint64_t total = 0;
  if (file_seek(archive_file, (int32_t)base, SEEK_FROM_START) == SEEK_FAILED) error = "seek";
  file_pos = base;
  if (error.empty() && read_archive(hb, ARCHIVE_HEADER_SIZE) != (int32_t)ARCHIVE_HEADER_SIZE) error = "header";
  if (error.empty()) {
    parse_header(hb, &h);
    int r = directory_walk_begin(dir.data(), h.directory_pos);
    if (r) error = "directory_walk_begin " + std::to_string(r);
  }
  for (uint32_t i = 0; error.empty() && i < h.member_count; i++) {
    StubMember m;
    const uint8_t* name;
    int walked = directory_walk_next(dir.data(), &m.entry, &name);
    if (walked) { error = "directory_walk_next " + std::to_string(walked); break; }
    m.name.assign((const char*)name, m.entry.name_len);
    if (!(m.entry.flags & FLAG_FOLDER)) {
      if (keep_data) unlink(out_path.c_str());
      FileHandle f = keep_data ? file_create(out_path.c_str(), 0) : file_open("/dev/null", ACCESS_WRITE);
      if (f == INVALID_FILE) { error = "cannot create the member file"; break; }
      m.restarted = m.entry.size && decoder.current_stream == base + m.entry.stream_pos + 6 &&
                    m.entry.stream_offset < decoder.window_start;
      int r = read_member(f, m.entry);
      file_close(f);
      m.crc = decoder.member_crc;
      if (r == ERR_CRC) { error = "CRC mismatch for " + m.name; break; }
      if (r) { error = "read_member " + std::to_string(r) + " for " + m.name; break; }
      total += m.entry.size;
      if (keep_data) {
        FILE* in = fopen(out_path.c_str(), "rb");
        m.data.resize(m.entry.size);
        if (!in || fread(m.data.data(), 1, m.data.size(), in) != m.data.size()) error = "reading back " + m.name;
        if (in) fclose(in);
      }
    }
    if (members) members->push_back(std::move(m));
  }
  reset_stream_state();
  decoder.in.input_buffer = nullptr;
  file_close(archive_file);
  archive_file = INVALID_FILE;
  if (keep_data) unlink(out_path.c_str());
  if (bytes_out) *bytes_out = total;
  return error;
}
