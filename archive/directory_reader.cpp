// The directory reader: one directory block per call, decoded into the
// driver's directory buffer. It shares the archive file, file_pos and the
// input state with the entry stream decoder and needs only dir_read_pos of its
// own: every call positions the file and sets the input state up afresh.
//
// Choices where the format leaves the reader free, all refused as damaged:
// - fewer than 6 magic bytes read;
// - a block whose decoded size exceeds the directory buffer (8192 bytes);
// - a stored block whose data run past the bytes read (its size is more than
//   the bytes after its header).
#include "archive/directory_reader.h"

#include "archive/layout.h"
#include "decode/block_decoder.h"
#include "decode/decoder_state.h"
#include "decode/frame_header.h"
#include "decode/input.h"
#include "platform/platform.h"
#include "base/result_codes.h"

namespace {

// Compressed data begin at bit 50 after the magic: the 45-bit frame header and
// 5 bits passed over (where a member stream's block has its window selector).
constexpr uint32_t DATA_BIT_POSITION = FRAME_HEADER_BITS + WINDOW_SELECTOR_BITS;
constexpr uint32_t DATA_BYTE = DATA_BIT_POSITION / 8;  // 6
constexpr uint32_t DATA_BIT = DATA_BIT_POSITION % 8;   // 2

}  // namespace

int read_directory_block(uint8_t* dir_buffer) {
  if (file_pos != decoder.dir_read_pos) {
    file_pos = decoder.dir_read_pos;
    if (file_seek(archive_file, decoder.dir_read_pos, SEEK_FROM_START) == SEEK_FAILED) {
      return ERR_SEEK;
    }
  }
  decoder.dir_cursor = dir_buffer;
  decoder.dir_end = dir_buffer;
  InputState& in = decoder.in;
  uint8_t* const buf = in.input_buffer;
  int32_t got = read_archive(buf, MAGIC_SIZE);
  if (got < 0) return got;
  if ((uint32_t)got < MAGIC_SIZE) return ERR_DAMAGED;
  for (uint32_t i = 0; i < MAGIC_SIZE; i++) {
    if (buf[i] != DIR_BLOCK_MAGIC[i]) return ERR_DAMAGED;
  }
  got = read_archive(buf, DIR_READ_MAX);
  if (got < 0) return got;
  in.chunk_remaining = 0;  // the block is all in the buffer: no refill
  in.pos = buf;
  in.bit_offset = 0;
  in.limit = buf + got;
  // The header is read even from fewer than 6 bytes read: the buffer is far
  // longer, and what such a block decodes to is its own damage.
  const uint32_t head = load_le32(buf);
  const uint32_t method = frame_method(head);
  if (method > FRAME_METHOD_COMPRESSED) return ERR_DAMAGED;
  const uint32_t size = frame_size(head);
  if (size > DIR_BUFFER_SIZE) return ERR_DAMAGED;
  in.pos = buf + DATA_BYTE;
  in.bit_offset = DATA_BIT;
  int32_t n;
  if (method == FRAME_METHOD_STORED) {
    // Stored data begin at the next byte boundary.
    if ((uint32_t)got < DATA_BYTE + 1 || size > (uint32_t)got - (DATA_BYTE + 1)) {
      return ERR_DAMAGED;
    }
    n = copy_stored(dir_buffer, size);
  } else {
    n = decode_block(dir_buffer, 0, size);
  }
  if (n < 0) return n;
  decoder.dir_end += n;
  decoder.dir_read_pos += MAGIC_SIZE + (uint32_t)(in.pos - buf);
  return 0;
}
