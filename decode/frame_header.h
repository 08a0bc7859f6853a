#pragma once
// A block frame's header: the first 45 bits of every frame, read least
// significant bit first (bit n is bit n % 8 of byte n / 8):
//
//   bits  0-3    method: 0 stored, 1 compressed (others are damage)
//   bit   4      last: the stream's last block
//   bits  5-24   size: the bytes the block decodes to
//   bits 25-44   length: the frame's bytes, this header included
//
// The readers take the first three fields from the frame's first 32-bit word
// and the length from the word at byte 3; the writer puts the first three as
// one value and patches the length in once the frame is complete.
#include <stdint.h>

#include "base/bytes.h"

constexpr uint32_t FRAME_HEADER_BITS = 45;
constexpr uint32_t FRAME_HEADER_BYTES = (FRAME_HEADER_BITS + 7) / 8;  // 6
constexpr uint32_t FRAME_METHOD_STORED = 0;
constexpr uint32_t FRAME_METHOD_COMPRESSED = 1;
constexpr uint32_t FRAME_SIZE_SHIFT = 5;
constexpr uint32_t FRAME_LENGTH_SHIFT = 25;
constexpr uint32_t FRAME_FIELD_BITS = 20;
constexpr uint32_t FRAME_FIELD_MAX = (1u << FRAME_FIELD_BITS) - 1;  // size and length
// A compressed block's 5-bit window selector follows the header; the
// directory reader passes over 5 bits there in every block.
constexpr uint32_t WINDOW_SELECTOR_BITS = 5;

// The fields in `head`, the frame's first 32 bits.
inline uint32_t frame_method(uint32_t head) { return head & 15; }
inline uint32_t frame_last(uint32_t head) { return (head >> 4) & 1; }
inline uint32_t frame_size(uint32_t head) { return (head >> FRAME_SIZE_SHIFT) & FRAME_FIELD_MAX; }
// The length, from the frame's first bytes (at least 7 readable).
inline uint32_t frame_length(const uint8_t* frame) {
  return (load_le32(frame + 3) >> (FRAME_LENGTH_SHIFT - 24)) & FRAME_FIELD_MAX;
}

// The writer's side: method, last and size as the header's first
// FRAME_LENGTH_SHIFT bits.
constexpr uint32_t frame_head(uint32_t method, bool last, uint32_t size) {
  return method | (last ? 1u : 0u) << 4 | size << FRAME_SIZE_SHIFT;
}
