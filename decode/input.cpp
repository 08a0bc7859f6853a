// Chunked input: frames of a member stream read piece by piece into the input
// buffer, with the margin that lets a symbol finish without a refill.
#include "decode/input.h"

#include "decode/decoder_state.h"
#include "decode/frame_header.h"
#include "platform/platform.h"
#include "base/result_codes.h"

namespace {

// The first fill takes the header and as much of the rest as fills the buffer
// like any later piece does: 6 + 61426 = 8 carried + 61424 = 61432 bytes.
constexpr uint32_t FIRST_PIECE_MAX = FRAME_MARGIN + FRAME_PIECE_MAX - FRAME_HEADER_BYTES;

inline uint32_t min_u32(uint32_t a, uint32_t b) { return a < b ? a : b; }

// After a piece of `got` bytes was asked as `asked`: a short count means the
// file ended inside the frame, so the frame ends here (nothing more to read, no
// margin held back). Otherwise the rest stays to be read.
inline uint32_t remaining_after(uint32_t remaining, uint32_t asked, uint32_t got) {
  return got < asked ? 0 : remaining - got;
}

}  // namespace

// The header is read alone first and the rest of the frame after it, so a
// frame is never read past its own end: a frame shorter than 8 bytes (an
// empty or one-byte stored block) leaves the file at the next frame, which
// resume_pos then names. Frames of 8 bytes or more fill the buffer exactly as
// reading 8 bytes and then the rest would.
int start_block() {
  InputState& in = decoder.in;
  if (in.stream_continued && in.resume_pos != file_pos) {
    file_pos = in.resume_pos;
    if (file_seek(archive_file, in.resume_pos, SEEK_FROM_START) == SEEK_FAILED) {
      return ERR_SEEK;
    }
  }
  uint8_t* buf = in.input_buffer;
  int32_t got = read_archive(buf, FRAME_HEADER_BYTES);
  if (got < 0) return got;
  if ((uint32_t)got < FRAME_HEADER_BYTES) return ERR_DAMAGED;
  uint32_t block_length = frame_length(buf);
  uint32_t filled = FRAME_HEADER_BYTES;
  uint32_t remaining = 0;
  if (block_length > FRAME_HEADER_BYTES) {
    remaining = block_length - FRAME_HEADER_BYTES;
    uint32_t asked = min_u32(remaining, FIRST_PIECE_MAX);
    got = read_archive(buf + FRAME_HEADER_BYTES, asked);
    if (got < 0) return got;
    filled += (uint32_t)got;
    remaining = remaining_after(remaining, asked, (uint32_t)got);
  }
  in.chunk_remaining = remaining;
  in.limit = buf + filled - (remaining != 0 ? FRAME_MARGIN : 0);
  in.pos = buf;
  in.bit_offset = 0;
  in.resume_pos = file_pos;
  return 0;
}

int refill_input() {
  InputState& in = decoder.in;
  if (in.chunk_remaining == 0) return ERR_TRUNCATED;
  if (poll_cancel()) return ERR_CANCELLED;
  // A symbol started before limit ends at most FRAME_MARGIN bytes past it;
  // anything else is not a position this refill can carry.
  ptrdiff_t past = in.pos - in.limit;
  if (past < 0 || past > (ptrdiff_t)FRAME_MARGIN) return ERR_DAMAGED;
  uint8_t* buf = in.input_buffer;
  mem_copy_forward(buf, in.limit, FRAME_MARGIN);
  uint32_t asked = min_u32(in.chunk_remaining, FRAME_PIECE_MAX);
  int32_t got = read_archive(buf + FRAME_MARGIN, asked);
  if (got < 0) return got;
  in.chunk_remaining = remaining_after(in.chunk_remaining, asked, (uint32_t)got);
  in.pos = buf + past;
  in.limit = buf + FRAME_MARGIN + got - (in.chunk_remaining != 0 ? FRAME_MARGIN : 0);
  return 0;
}

int32_t copy_stored(uint8_t* dest, uint32_t n) {
  InputState& in = decoder.in;
  const uint8_t* p = in.pos + (in.bit_offset != 0 ? 1 : 0);
  const uint8_t* end = in.limit + (in.chunk_remaining != 0 ? FRAME_MARGIN : 0);
  // A reader that stands past the bytes held (a frame shorter than its header
  // says) has none to give, not a negative count.
  uint32_t avail = p < end ? (uint32_t)(end - p) : 0;
  uint32_t copied = min_u32(avail, n);
  mem_copy_forward(dest, p, copied);
  in.pos = p + copied;
  in.bit_offset = 0;
  if (poll_cancel()) return ERR_CANCELLED;
  if (copied < n) {
    uint32_t asked = min_u32(n - copied, in.chunk_remaining);
    if (asked != 0) {
      int32_t got = read_archive(dest + copied, asked);
      if (got < 0) return got;
      copied += (uint32_t)got;
    }
  }
  return (int32_t)copied;
}

void align_to_byte() {
  InputState& in = decoder.in;
  if (in.bit_offset != 0) {
    in.pos++;
    in.bit_offset = 0;
  }
}
