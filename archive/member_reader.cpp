#include "archive/member_reader.h"

#include "archive/entry_stream.h"
#include "base/result_codes.h"
#include "decode/decoder_state.h"

int read_member(FileHandle file, const DirectoryEntry& entry) {
  int result = decode_member(file, entry.stream_pos, entry.stream_offset, entry.size, entry.flags);
  if (result < 0) return result;
  return member_verified(entry) ? 0 : ERR_CRC;
}

// A stream that ends before the member's data do leaves stream_broken set, and
// the bytes written are then fewer than `size`; their CRC-32 can still equal
// the entry's (no byte written and a crc32 of 0, say), so the CRC comparison
// alone would keep a truncated file without a word.
int member_verified(const DirectoryEntry& entry) {
  int whole = entry.size == 0 || !decoder.stream_broken;
  return whole && decoder.member_crc == entry.crc32;
}
