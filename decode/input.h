#pragma once
// Chunked input and the bit reader over decoder.in (see decoder_state.h).
//
// A frame is read in pieces: the first fill holds the frame's first bytes (at
// most 61432), each refill carries the FRAME_MARGIN bytes at `limit` to the
// front and appends up to FRAME_PIECE_MAX more. So while chunk_remaining != 0
// the 8 bytes from `limit` on are real frame bytes, and a symbol started before
// `limit` completes without a refill in its middle.
//
// The file may end before a frame does: a read that returns fewer bytes than
// asked marks the frame's end (chunk_remaining becomes 0, no margin), so the
// next refill answers ERR_TRUNCATED instead of succeeding without new bytes.
#include <stddef.h>
#include <stdint.h>

#include "base/bytes.h"
#include "base/memory.h"

// Starts the next block frame of the stream: seeks back to resume_pos when the
// directory reader has moved the file (stream_continued set), reads the frame's
// 6 header bytes and then as much of the rest as fits. On 0: pos is the frame's
// first byte with bit_offset 0, and resume_pos is where the next frame begins
// once this one is read. 0, ERR_SEEK, ERR_DAMAGED (fewer than 6 header bytes)
// or -1.
int start_block();
// Reads the next piece of the frame, carrying the margin to the front; pos
// keeps its distance past limit and bit_offset is unchanged.
// 0, ERR_TRUNCATED (nothing left of the frame), ERR_CANCELLED or -1.
int refill_input();
// refill_input for a decoder that keeps the reader's position in locals
// (pos, bit_offset): writes them to decoder.in, refills, and reads them back.
// Called only when pos has reached limit.
int refill_reader(const uint8_t*& pos, uint32_t& bit_offset);
// Copies up to n stored bytes to dest: first from the next byte boundary in
// the buffer, then straight from the file (never past the frame). The count
// delivered (below n when the frame or the file ends first), or ERR_CANCELLED
// or -1. Afterwards pos, limit and chunk_remaining are stale: the next
// operation on the stream is start_block.
int32_t copy_stored(uint8_t* dest, uint32_t n);
// Moves the reader to the next byte boundary.
void align_to_byte();

// The next bits at (pos, bit_offset), first bit in bit 0: at least 25 valid
// bits. Reads the 4 bytes at pos, so pos + 4 must lie inside the buffer's
// allocation (the input buffer's spare bytes see to that).
inline uint32_t peek_bits(const uint8_t* pos, uint32_t bit_offset) {
  return load_le32(pos) >> bit_offset;
}
__attribute__((always_inline)) inline void consume_bits(const uint8_t*& pos, uint32_t& bit_offset, uint32_t n) {
  bit_offset += n;
  pos += bit_offset >> 3;
  bit_offset &= 7;
}
