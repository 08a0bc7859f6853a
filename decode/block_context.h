#pragma once
// What the two decode loops of a compressed block share: the output, the bit
// reader, the distance registers and the current table set's tables. The
// reference loop (reference_step) follows the format literally, one item at a
// time, with every check; the fast loop (fast_run) decodes many items while
// its margins hold and leaves every other item, untouched, to the reference
// step. Both produce the same bytes, registers and reader position for every
// input, damaged or not; the tests hold them to it.
#include <stdint.h>

#include "decode/huffman.h"

struct BlockContext {
  uint8_t* out_base;   // buffer start: history, then the block's output
  uint8_t* out;        // next output byte; out_base <= out <= out_end
  uint8_t* out_end;    // out_base + history + bytes to produce
  const uint8_t* pos;  // the bit reader, kept here while the loops run and
  uint32_t bit_offset; // written back to decoder.in before a refill and at the end
  uint32_t last_distance;
  uint32_t prev_distance;
  uint32_t distance_tables;  // 1 to 3
  // The current set's lengths, and its reference tables once built
  // (reference_ready); a distance table that the block does not have has a
  // null lookup. They are built when the set starts if the fast tables cannot
  // be trusted without them, else when the reference step first needs them.
  const uint8_t* set_lengths;
  int reference_ready;
  HuffmanTable litlen;
  HuffmanTable distance[3];
  // The current set's fast tables, or null when the set is decoded by the
  // reference step alone (a code over-subscribed, or one the reference table
  // could not hold whole).
  const uint32_t* fast_litlen;
  const uint32_t* fast_distance[3];
};

enum StepResult {
  STEP_CONTINUE,    // go on with the next item
  STEP_END_OF_SET,  // symbol 256: the next table set follows
  STEP_FINISH       // the block ends: output complete, damaged data or no input
};

// Builds the current set's reference tables (reference_ready afterwards).
// Returns 1 when every code of the set went in whole.
int build_reference_tables(BlockContext& c);

// One item by the format's rules: the output test, the refill, a literal, the
// end of the set or a match (a match reaching before out_base is dropped, one
// of distance 0 ends the block, a long one is cut at out_end).
StepResult reference_step(BlockContext& c);
// Decodes items while every byte they may read lies before decoder.in.limit
// (the reference step would not refill) and every byte a match copy may touch
// lies before out_end. Returns STEP_CONTINUE when the next item is the
// reference step's (nothing of that item consumed), STEP_END_OF_SET after a
// symbol 256.
StepResult fast_run(BlockContext& c);
