#pragma once
// The decoder state: one zero-initialised process-wide record shared by the
// input layer, the block decoder, the entry stream decoder, the call filter and
// the directory reader. It lives for the whole run; the extraction driver
// resets the stream part (window null, current_stream -1) before each
// extraction.
#include <stdint.h>

constexpr uint32_t INPUT_BUFFER_SIZE = 0xF000;  // 61440
constexpr uint32_t FRAME_PIECE_MAX = 0xEFF0;    // 61424: 61440 - 8 carried - 8 spare
constexpr uint32_t FRAME_MARGIN = 8;
// Bytes allocated behind the 61440 of the input buffer. An item begun just
// before limit, at the end of a full last piece (limit at 61432) of damaged
// data, can run 8 bytes past it; the reference step's 4-byte peeks then reach
// 12 bytes past limit and the fast loop's 8-byte loads 24. The spare bytes
// keep every such read inside the allocation (their contents do not matter).
constexpr uint32_t INPUT_BUFFER_SPARE = 64;
constexpr uint32_t INPUT_BUFFER_ALLOC = INPUT_BUFFER_SIZE + INPUT_BUFFER_SPARE;

// The bit reader and the frame being read.
//   pos, bit_offset  the next unread bit is bit bit_offset (0..7) of *pos; the
//                    bit position is pos * 8 + bit_offset. Bits are read least
//                    significant first.
//   limit            a decoder may start a symbol only while pos < limit; at or
//                    past it, it calls refill_input first. While
//                    chunk_remaining != 0, the FRAME_MARGIN bytes from limit on
//                    are real frame bytes, so a symbol started before limit
//                    (at most 65 bits with its extra fields and distance)
//                    completes without a refill.
//   chunk_remaining  bytes of the current frame still in the archive file.
//   resume_pos       file position where this stream's reading continues.
//   stream_continued set once the stream's first block is done.
struct InputState {
  uint32_t resume_pos;
  const uint8_t* limit;
  uint8_t* input_buffer;  // INPUT_BUFFER_ALLOC bytes, owned by the driver
  const uint8_t* pos;
  uint32_t chunk_remaining;
  uint32_t bit_offset;
  uint8_t stream_continued;
};

struct DecoderState {
  InputState in;
  // Entry streams.
  uint32_t current_stream;   // file position of the held stream's first block; -1 none
  uint8_t* window;           // history + current block's output; null until needed
  uint32_t window_capacity;  // allocated bytes of window
  uint32_t history_len;      // bytes of earlier output at window's start
  uint32_t window_start;     // decoded-stream offset of the current block's first byte
  uint32_t block_len;        // bytes the current block produced
  uint8_t last_block;        // the current block is the stream's last
  uint8_t stream_broken;     // set while a block is being decoded; left set on failure
  // Member output.
  uint32_t member_crc;       // running CRC-32 of the member's output
  uint32_t filter_mode;      // 0 none, 2 16-bit, 4 32-bit call filter
  uint8_t carry[8];          // filter bytes held back for the next piece
  uint32_t carry_len;
  uint32_t crc_table[256];   // built once at start-up
  // Directory reader.
  uint32_t dir_read_pos;     // file position of the next directory block's magic
  uint8_t* dir_cursor;       // next unread byte of the driver's dir_buffer
  uint8_t* dir_end;          // end of the decoded bytes in dir_buffer
  // Set by the extraction driver while it runs (null otherwise): called
  // wherever the decoders poll cancel_requested, before they read it, so that
  // the dialog repaints and its Cancel and close box get through while a long
  // member is decoded, not only between members.
  void (*drain_hook)();
  // Set by the program that runs the decoders before the first archive is
  // read: where the archive begins in its file (stream and directory
  // positions count from there), and the history kept for each window
  // selector (the installer points it into its configuration block, whose
  // table the packer finds the block by: connect_decoder_to_config).
  uint32_t archive_base;
  const uint32_t (*window_sizes)[8];  // [row][column] of the selector
  // Set by whoever ends the run (the dialog's Cancel and close box, the host
  // tool's signal handler); the decoders and the driver stop at their next
  // poll. Cleared by the host tool before each run.
  uint8_t cancel_requested;
};

extern DecoderState decoder;

// The decoders' poll of decoder.cancel_requested (before each block, at
// every refill and stored copy, once per table set, after every filter
// stretch): runs drain_hook first when one is set. Nonzero when cancelled.
int poll_cancel();
