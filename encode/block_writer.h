#pragma once
// Writes one block frame: the 45-bit frame header, then either stored bytes
// or a compressed block (5 window-selector bits, the 8-bit block header, the
// table sets' code lengths and the coded items of each set).
//
// Holds for every frame written here:
//  - block_length is the frame's exact length: the reader takes the next frame
//    from where it stopped reading, which is the byte boundary after the last
//    bit it consumed, so nothing is padded and the last set's items are not
//    followed by an end-of-set symbol (the reader stops as soon as the block's
//    output is complete). Every set but the last ends with symbol 256.
//  - a frame is at least 8 bytes and at most MAX_FRAME_LENGTH bytes; stored
//    blocks need at least 2 bytes of data (1 in a directory block).
//  - a block with one distance table has no length-2 matches (the reader has
//    no table for them): such matches are sent as two literals.
//  - the default set is used only with one or two distance tables, and its
//    distance table 0 variant is chosen from history + block size exactly as
//    the reader does.
//  - distance codes follow the reader's registers, which start at 0 in every
//    block: a distance equal to last_distance is symbol 0, to prev_distance
//    symbol 1 (swap), distances 1-4 symbols 2-5, others push.
#include <stdint.h>

#include <vector>

#include "encode/lz_item.h"

namespace qev {

// Choices a caller (mostly tests) may force; the defaults let the writer pick.
struct BlockChoice {
  int force_tables = 0;        // 1-3, or 0 to choose
  int force_default = -1;      // 1 default set, 0 sent sets, -1 choose
  bool force_stored = false;   // stored whenever the size allows
  bool allow_stored = true;
  uint32_t split_items = 0;    // fixed set length in items (no merging), 0 = adaptive
  int split_effort = 2;        // 0 one set, 1 few sets, 2 full search, 3 from finer stretches
};

struct BlockParams {
  const uint8_t* data = nullptr;  // the block's first byte; items refer to it
  uint32_t len = 0;               // bytes the block produces
  uint32_t history = 0;           // history bytes the reader keeps before the block
  bool last = false;
  uint32_t selector = 0;          // 5 bits: row | column << 2
  bool directory = false;         // directory block: stored data begin at byte 7
};

enum class BlockKind { Stored, DefaultSet, SentSets };
struct BlockResult {
  BlockKind kind;
  int tables;
  int sets;
  uint32_t frame_bytes;
};

// Appends the frame to out.
BlockResult write_block(const BlockParams& p, const std::vector<Item>& items,
                        const BlockChoice& choice, std::vector<uint8_t>& out);

}  // namespace qev
