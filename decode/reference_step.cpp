// The reference decode of one item: short, literal, every test in its place;
// the oracle that the fast loop and the careful step are tested against.
#include "decode/block_context.h"
#include "decode/decoder_state.h"
#include "decode/input.h"
#include "decode/length_sets.h"
#include "decode/reference_decoder.h"

namespace {

uint32_t take_bits(BlockContext& c, uint32_t n) {
  uint32_t value = peek_bits(c.pos, c.bit_offset) & ((1u << n) - 1);
  consume_bits(c.pos, c.bit_offset, n);
  return value;
}

// Length of a match symbol (257..287), reading its extra bits.
uint32_t match_length(BlockContext& c, uint32_t symbol) {
  if (symbol <= 265) return symbol - 255;
  if (symbol >= 286) return 259 + take_bits(c, 15);
  uint32_t g = (symbol - 266) >> 2;
  uint32_t i = (symbol - 266) & 3;
  return 3 + (1u << (g + 3)) + (i << (g + 1)) + take_bits(c, g + 1);
}

// Distance of a distance symbol, reading its extra bits and updating the two
// repeat registers.
uint32_t match_distance(BlockContext& c, uint32_t symbol) {
  uint32_t distance;
  if (symbol == 0) return c.last_distance;
  if (symbol == 1) {
    distance = c.prev_distance;
    c.prev_distance = c.last_distance;
    c.last_distance = distance;
    return distance;
  }
  if (symbol <= 5) return symbol - 1;
  uint32_t p = (symbol - 6) >> 1;
  distance = (1u << (p + 2)) + 1 + ((symbol & 1) ? (1u << (p + 1)) : 0) + take_bits(c, p + 1);
  c.prev_distance = c.last_distance;
  c.last_distance = distance;
  return distance;
}

}  // namespace

StepResult reference_step(BlockContext& c) {
  if (!c.reference_ready) build_reference_tables(c);
  if (c.out == c.out_end) return STEP_FINISH;
  // Input exhausted, cancelled or unreadable: the block ends with what it has.
  if (!item_input_ready(c)) return STEP_FINISH;
  int32_t symbol = decode_symbol(c.litlen, c.pos, c.bit_offset);
  if (symbol == EMPTY_ENTRY) return STEP_FINISH;
  if (symbol < (int32_t)END_OF_SET) {
    *c.out++ = (uint8_t)symbol;
    return STEP_CONTINUE;
  }
  if (symbol == (int32_t)END_OF_SET) return STEP_END_OF_SET;
  uint32_t length = match_length(c, (uint32_t)symbol);
  uint32_t table = 0;
  if (length == 2) table = 1;
  if (length == 3 && c.distance_tables == 3) table = 2;
  // A one-table block has no table for length 2: nothing can follow such a
  // match, so the block ends here as damaged.
  if (c.distance[table].lookup == nullptr) return STEP_FINISH;
  int32_t distance_symbol = decode_symbol(c.distance[table], c.pos, c.bit_offset);
  if (distance_symbol == EMPTY_ENTRY) return STEP_FINISH;
  uint32_t distance = match_distance(c, (uint32_t)distance_symbol);
  return finish_match(c, length, distance);
}

namespace {

StepResult decode_set_reference(BlockContext& c) {
  StepResult r;
  do r = reference_step(c);
  while (r == STEP_CONTINUE);
  return r;
}

}  // namespace

int32_t decode_block_reference(uint8_t* out_base, uint32_t history, uint32_t want) {
  return decode_block_by(out_base, history, want, 0, decode_set_reference);
}
