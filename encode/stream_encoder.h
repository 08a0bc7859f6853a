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
//
// A stream may also be compressed in segments, each on its own (and so at the
// same time as the others): a segment is a run of whole blocks, and every
// segment but a stream's first starts with the WINDOW_SIZE bytes in front of
// it as its dictionary. The frames of a stream's segments, laid end to end in
// order, are the stream. This needs blocks of at least WINDOW_SIZE bytes
// (segment_ready): then the block in front of a segment alone gives the reader
// at least WINDOW_SIZE bytes of history, so the reader keeps exactly what each
// selector says, whatever the blocks before it were, and a segment's frames
// depend only on its dictionary and its own bytes.
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

// One segment of a stream: `size` bytes at data + history.
struct Segment {
  const uint8_t* data = nullptr;  // the dictionary, the segment's bytes, STREAM_PADDING readable bytes
  uint32_t history = 0;           // dictionary bytes: 0 in a stream's first segment, else WINDOW_SIZE
  size_t size = 0;                // a multiple of the block size, except in a stream's last segment
  bool first = true;              // the stream begins with this segment
  bool last = true;               // the stream ends with this segment
};

class StreamEncoder {
 public:
  explicit StreamEncoder(const EncoderOptions& options);
  ~StreamEncoder();
  // The length of every block but a stream's last.
  static uint32_t block_size(const EncoderOptions& options);
  // Whether streams may be cut into segments (blocks of at least WINDOW_SIZE bytes).
  static bool segment_ready(const EncoderOptions& options);
  // Appends the frames of one segment to out.
  void encode_segment(const Segment& segment, std::vector<uint8_t>& out, StreamReport* report = nullptr);
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
