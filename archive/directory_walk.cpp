#include "archive/directory_walk.h"

#include "archive/directory_reader.h"
#include "decode/decoder_state.h"
#include "platform/platform.h"
#include "base/result_codes.h"

int directory_walk_begin(uint8_t* dir_buffer, uint32_t directory_pos) {
  decoder.dir_cursor = dir_buffer;
  decoder.dir_end = dir_buffer;
  uint32_t position = decoder.archive_base + directory_pos;
  decoder.dir_read_pos = position;
  file_pos = position;
  if (file_seek(archive_file, position, SEEK_FROM_START) == SEEK_FAILED) return ERR_SEEK;
  return 0;
}

int directory_walk_next(uint8_t* dir_buffer, DirectoryEntry* entry, const uint8_t** name) {
  if ((uint32_t)(decoder.dir_end - decoder.dir_cursor) < DIR_ENTRY_FIXED_SIZE) {
    int result = read_directory_block(dir_buffer);
    if (result != 0) return result;
    if ((uint32_t)(decoder.dir_end - decoder.dir_cursor) < DIR_ENTRY_FIXED_SIZE) return ERR_DAMAGED;
  }
  const uint8_t* fixed = decoder.dir_cursor;
  parse_entry(fixed, entry);
  // Everything of the entry must lie in this block's decoded bytes; the
  // skipped areas are checked too, so the cursor never passes dir_end.
  uint32_t left = (uint32_t)(decoder.dir_end - fixed) - DIR_ENTRY_FIXED_SIZE;
  uint32_t variable = (uint32_t)entry->name_len + entry->extra_len + entry->extra2_len;
  if (variable > left) return ERR_DAMAGED;
  *name = fixed + DIR_ENTRY_FIXED_SIZE;
  decoder.dir_cursor = (uint8_t*)fixed + DIR_ENTRY_FIXED_SIZE + variable;
  return 0;
}
