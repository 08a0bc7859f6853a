#pragma once
// Compresses one member stream's decoded bytes into block frames.
//
// The stream is cut into blocks of at most options.block_size bytes (never
// more than a stored frame can hold, so a stored block is always possible).
// The reader's window is modelled (ReaderWindow) so that each block's parse
// reaches only into history the reader keeps; the first block has none. Each
// compressed block's window selector keeps what its own matches need and, when
// the block is shorter than the window, all the history the next block could
// use. The frames are laid end to end, each exactly as long as the reader
// reads it.
#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

#include "encode/block_writer.h"

namespace qev {

// Compression settings. Level 0 stores, 1-9 trade speed for size (6 is the
// default). The remaining fields force constructs for tests.
struct EncoderOptions {
  int level = 6;
  uint32_t block_size = 0;     // 0: the largest a stored frame allows
  BlockChoice block;           // forced block kinds, table counts, set splits
  int force_selector = -1;     // 0-31: this selector in every compressed block
};

// What the writer produced, for tests and statistics.
struct StreamReport {
  uint32_t blocks = 0, stored = 0, default_sets = 0, sent_sets = 0;
  uint32_t tables_used[4] = {0};  // blocks by distance table count
  uint32_t max_sets = 0;          // most table sets in one block
  uint32_t selector_rows = 0;     // bit r set when a block obeyed by the reader used row r
  uint32_t max_distance = 0;      // longest match distance written
  uint32_t max_history = 0;       // most history the reader kept before a block
};

class StreamEncoder {
 public:
  explicit StreamEncoder(const EncoderOptions& options);
  ~StreamEncoder();
  // Appends the frames of a stream holding `data` to out.
  void encode(const uint8_t* data, size_t size, std::vector<uint8_t>& out, StreamReport* report = nullptr);
  // The same without copying the data: STREAM_PADDING readable bytes must
  // follow data[size - 1] (the match search reads ahead).
  void encode_padded(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                     StreamReport* report = nullptr);
  static constexpr size_t STREAM_PADDING = 16;

 private:
  struct State;
  EncoderOptions options_;
  std::unique_ptr<State> state_;
};

}  // namespace qev
