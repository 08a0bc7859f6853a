#pragma once
// What the decode loops of a compressed block share: the output, the bit
// reader, the distance registers and the current table set's tables.
//
// Three loops decode a table set's items, and all give the same bytes,
// registers and reader position for every input, damaged or not:
// - fast_run decodes many items while its margins hold and hands every other
//   item, untouched, to the careful step;
// - careful_step decodes one item with every check in its place (the output
//   test, the refill, the empty entries, the dropped and the cut matches),
//   from the same entries as the fast loop, so it finishes whatever the fast
//   loop leaves, and decodes alone the sets whose fast tables cannot be built;
// - reference_step (reference_decoder.h, a library of its own that only
//   tests link) follows the format literally, symbol by symbol through the
//   reference tables: the oracle that the other two are tested against.
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
  // The current set's fast tables (the literal/length table, the distance
  // tables behind it as fast_tables.h places them), or null when the set is
  // decoded through the reference tables (a code over-subscribed, or one the
  // reference table could not hold whole); and the entry templates that
  // reference symbols are then turned into.
  const uint32_t* fast_litlen;
  const uint32_t* litlen_templates;
  const uint32_t* distance_templates;
};

enum StepResult {
  STEP_CONTINUE,    // go on with the next item
  STEP_END_OF_SET,  // symbol 256: the next table set follows
  STEP_FINISH       // the block ends: output complete, damaged data or no input
};

// Before an item: refills the input when the reader has reached limit (the
// reader's position travels through decoder.in and back). False when the
// input is exhausted, cancelled or unreadable.
bool item_input_ready(BlockContext& c);

// A decoded match, byte by byte: dropped when it reaches before out_base,
// the block's end when its distance is 0, cut at out_end.
StepResult finish_match(BlockContext& c, uint32_t length, uint32_t distance);

// Builds the current set's reference tables (reference_ready afterwards).
// Returns 1 when every code of the set went in whole.
int build_reference_tables(BlockContext& c);

// One item by the format's rules (as reference_step decodes it), decoded from fast-table entries (or, without fast tables,
// from entries made of the reference tables' symbols and the templates).
StepResult careful_step(BlockContext& c);
// Decodes items while every byte they may read lies before decoder.in.limit
// (the reference step would not refill) and every byte a match copy may touch
// lies before out_end. Returns STEP_CONTINUE when the next item is the careful
// step's (nothing of that item consumed): the end of the set, an entry
// without a code, a match to drop, cut or end the block with, or a margin.
StepResult fast_run(BlockContext& c);

// Decodes a compressed block (as decode_block does), each table set by
// decode_set, on the tables build_set leaves: the reference tables alone, or
// also the fast tables when `fast` is set.
typedef StepResult (*SetDecoder)(BlockContext& c);
int32_t decode_block_by(uint8_t* out_base, uint32_t history, uint32_t want, int fast,
                        SetDecoder decode_set);
