#include "archive_pass.h"

#include "archive/directory_reader.h"
#include "base/result_codes.h"
#include "archive/layout.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "archive/entry_stream.h"
#include "archive/member_reader.h"
#include "archive/directory_walk.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"

ArchivePass archive_pass(FileHandle archive, FileHandle sink, uint8_t* buffer) {
  static bool crc_ready = false;
  if (!crc_ready) {
    build_crc_table();
    crc_ready = true;
  }
  ArchivePass pass = {0, 0, -1};
  stub_config_reset();
  decoder.archive_base = 0;
  connect_decoder_to_config();
  archive_file = archive;
  uint8_t header[ARCHIVE_HEADER_SIZE];
  file_pos = 0;
  if (file_seek(archive_file, 0, SEEK_FROM_START) == SEEK_FAILED) {
    pass.result = ERR_SEEK;
    return pass;
  }
  if (read_archive(header, ARCHIVE_HEADER_SIZE) != (int32_t)ARCHIVE_HEADER_SIZE) {
    pass.result = ERR_DAMAGED;
    return pass;
  }
  parse_header(header, &header_copy);
  decoder.in.input_buffer = buffer;
  uint8_t* dir_buffer = buffer + INPUT_BUFFER_ALLOC;
  reset_stream_state();
  pass.result = directory_walk_begin(dir_buffer, header_copy.directory_pos);
  for (uint32_t i = 0; pass.result == 0 && i < header_copy.member_count; i++) {
    DirectoryEntry entry;
    const uint8_t* name;
    pass.failed_entry = (int32_t)i;
    pass.result = directory_walk_next(dir_buffer, &entry, &name);
    if (pass.result != 0 || (entry.flags & FLAG_FOLDER)) continue;
    pass.result = read_member(sink, entry);
    pass.bytes += entry.size;
  }
  if (pass.result == 0) pass.failed_entry = -1;
  reset_stream_state();
  decoder.in.input_buffer = nullptr;
  archive_file = INVALID_FILE;
  return pass;
}
