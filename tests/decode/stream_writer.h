#pragma once
// A small writer of the compressed format for the decoder's tests and the
// benchmark: LSB-first bit fields, canonical codes, code-length sets, blocks
// and frames, and a plain LZ77 parser. Written from the format's description
// alone and kept simple; the tests do not rely on it where the format's own
// worked examples or streams built field by field can say what is right.
#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace dectest {

class BitWriter {
 public:
  // Appends the low n bits of value (n <= 32), bit 0 first.
  void put(uint32_t value, unsigned n);
  // Appends a Huffman code: its first bit (the code's most significant) first.
  void put_code(uint32_t code, unsigned length);
  void align();
  uint64_t bit_count() const { return bits_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t bits_ = 0;
};

// Canonical codes (most significant bit first) of lengths[0..n).
std::vector<uint32_t> canonical_codes(const uint8_t* lengths, size_t n);
// Huffman code lengths for the frequencies, none above `limit`; a symbol with
// frequency 0 gets no code, a lone symbol gets length 1.
std::vector<uint8_t> huffman_lengths(const std::vector<uint32_t>& freq, unsigned limit);

// One literal or match at the symbol level.
struct Item {
  uint32_t lit_sym = 0;      // 0-255 literal, 257-287 match
  uint32_t lit_extra = 0;    // the length's extra bits
  uint32_t lit_extra_bits = 0;
  uint32_t dist_table = 0;
  uint32_t dist_sym = 0;
  uint32_t dist_extra = 0;
  uint32_t dist_extra_bits = 0;
};
Item literal(uint8_t byte);
// Length symbol and extra bits for a match length (2..33026).
void length_symbol(uint32_t length, uint32_t* sym, uint32_t* extra, uint32_t* extra_bits);
// Distance symbol (>= 6) and extra bits for a distance of 5 or more.
void distance_symbol(uint32_t distance, uint32_t* sym, uint32_t* extra, uint32_t* extra_bits);
// The distance table a match length takes in a block with `tables` tables.
uint32_t table_for_length(uint32_t length, uint32_t tables);

// Tracks the decoder's repeat registers and turns matches into items.
struct MatchCoder {
  uint32_t tables = 3;
  uint32_t last = 0;
  uint32_t prev = 0;
  // Whether (length, distance) can be coded now; if so fills *item and
  // updates the registers.
  bool code(uint32_t length, uint32_t distance, Item* item);
};

struct TableSet {
  std::vector<Item> items;
  bool end_with_256 = true;
  // Lengths to use instead of ones fitted to the items (set size bytes).
  std::vector<uint8_t> lengths;
};

struct BlockDesign {
  uint32_t tables = 3;         // distance tables, 1-3
  bool default_set = false;    // send no sets (the items must fit the default codes)
  uint32_t window_size = 0;    // history + block size, for the default set's choice
  unsigned max_code_length = 16;
  std::vector<TableSet> sets;
};

// Writes the pre-code and the lengths of the sets (each `set_size` bytes),
// using zero and repeat runs where they help.
void write_length_sets(BitWriter& w, const std::vector<std::vector<uint8_t>>& sets,
                       size_t set_size);
// Writes a compressed block: header, lengths, the items of each set.
void write_block(BitWriter& w, BlockDesign design);

// Frames: the 45-bit header, the 5 selector bits (compressed only) and the
// payload, with block_length the frame's exact length.
std::vector<uint8_t> compressed_frame(const BlockDesign& design, uint32_t block_size, bool last,
                                      uint32_t selector);
std::vector<uint8_t> stored_frame(const uint8_t* data, uint32_t size, bool last);

// Greedy LZ77 over data[start, end) with matches reaching back to `window_lo`
// at most; `chain` bounds the hash chain walk. Items follow the registers of a
// block that begins at `start`.
std::vector<Item> lz_parse(const uint8_t* data, size_t window_lo, size_t start, size_t end,
                           uint32_t tables, int chain);
// Cuts items into sets of `per_set` items (0: one set).
std::vector<TableSet> split_sets(const std::vector<Item>& items, size_t per_set);

}  // namespace dectest
