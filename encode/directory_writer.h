#pragma once
// Encodes the directory: serialised entries cut into directory blocks.
//
// Each block is "QEVDE\0" and one frame whose decoded bytes are whole entries,
// at most `block_limit` (<= 8192) of them, and whose frame is at most 8184
// bytes, all the reader takes in after the magic, so the block decodes
// without a refill. A stored directory block's data begin at byte 7 of the
// frame (the reader passes over 5 bits after the 45-bit header). Blocks have
// no history; the next block begins right after the last byte of this one.
#include <stdint.h>

#include <vector>

#include "encode/block_writer.h"

namespace qev {

constexpr uint32_t DIR_BLOCK_DECODED_MAX = 8192;
constexpr uint32_t DIR_BLOCK_FRAME_MAX = 8184;

// entries: the serialised entries back to back; entry_ends[i] is the end of
// entry i. Appends the blocks to out; returns the block count.
uint32_t write_directory(const std::vector<uint8_t>& entries, const std::vector<uint32_t>& entry_ends,
                         uint32_t block_limit, const BlockChoice& choice, std::vector<uint8_t>& out);

}  // namespace qev
