#pragma once
// Chunked input and the bit reader over decoder.in (see decoder_state.h).
#include <stddef.h>
#include <stdint.h>

// Starts the next block frame of the stream: seeks back to resume_pos when the
// directory reader has moved the file, reads the frame's first 8 bytes and as
// much of the rest as fits. 0, ERR_SEEK, ERR_DAMAGED, ERR_TRUNCATED or -1.
int start_block();
// Reads the next piece of the frame, carrying the margin to the front.
// 0, ERR_TRUNCATED, ERR_CANCELLED or -1.
int refill_input();
// Copies up to n stored bytes to dest (from the buffer, then straight from the
// file). The count delivered, or ERR_CANCELLED or -1.
int32_t copy_stored(uint8_t* dest, uint32_t n);
// Moves the reader to the next byte boundary.
void align_to_byte();

// Forward copy (8 bytes at a time, then single bytes, ascending): only where dst
// lies below src or the areas do not overlap.
void mem_copy_forward(void* dst, const void* src, size_t n);
void mem_fill(void* dst, uint8_t value, size_t n);
