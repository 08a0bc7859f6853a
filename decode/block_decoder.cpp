// A compressed block: its header, its code-length sets, and for each table set
// the tables and the decode loops.
#include "decode/block_decoder.h"

#include "decode/block_context.h"
#include "decode/decoder_state.h"
#include "decode/fast_tables.h"
#include "decode/huffman.h"
#include "decode/input.h"
#include "decode/length_sets.h"
#include "platform/platform.h"
#include "shell/result_codes.h"
#include "shell/stub_config.h"

namespace {

constexpr uint32_t LITLEN_BITS = 9;
constexpr uint32_t DISTANCE_BITS = 7;
constexpr uint32_t MAX_DISTANCE_SYMBOLS = 42;

// The block decoder's working storage, rebuilt in place for every table set.
// Static rather than on the stack: some 40 KB, more than a stub's stack probe
// should see, and plain zeroed data needs no constructor.
struct BlockTables {
  int32_t litlen_lookup[1u << LITLEN_BITS];
  int32_t litlen_tree[2 * LITLEN_SYMBOLS];
  int32_t distance_lookup[3][1u << DISTANCE_BITS];
  int32_t distance_tree[3][2 * MAX_DISTANCE_SYMBOLS];
  // The current set's codes, computed once for both kinds of table.
  uint32_t litlen_codes[LITLEN_SYMBOLS];
  uint32_t distance_codes[3][MAX_DISTANCE_SYMBOLS];
  // Fast entry templates: the literal/length ones depend on the block's
  // distance table count (litlen_templates_for, 0 before the first), the
  // distance ones on nothing (computed once, when entry 1 is still 0).
  uint32_t litlen_templates[LITLEN_SYMBOLS];
  uint32_t litlen_templates_for;
  uint32_t distance_templates[MAX_DISTANCE_SYMBOLS];
  uint32_t fast_litlen[FAST_LITLEN_ENOUGH];
  uint32_t fast_distance[3][FAST_DIST_ENOUGH];
};
BlockTables tables;

}  // namespace

int build_reference_tables(BlockContext& c) {
  const CodeLengthSet set = {c.set_lengths};
  int whole = build_table(tables.litlen_lookup, tables.litlen_tree, tables.litlen_codes,
                          set.litlen(), LITLEN_BITS, LITLEN_SYMBOLS) == 0;
  c.litlen = {tables.litlen_lookup, tables.litlen_tree, set.litlen(), LITLEN_BITS};
  for (uint32_t t = 0; t < 3; t++) {
    c.distance[t].lookup = nullptr;
    if (t >= c.distance_tables) continue;
    whole &= build_table(tables.distance_lookup[t], tables.distance_tree[t],
                         tables.distance_codes[t], set.distance(t), DISTANCE_BITS,
                         distance_sizes[t]) == 0;
    c.distance[t] = {tables.distance_lookup[t], tables.distance_tree[t], set.distance(t),
                     DISTANCE_BITS};
  }
  c.reference_ready = 1;
  return whole;
}

namespace {

// The tables of one set. The reference tables' results are not acted upon
// beyond the choice of loop: codes they could not hold decode as empty.
// The fast tables are used only where they decode exactly as the reference
// tables: no code over-subscribed, and every code held whole by its
// reference table, which is certain for complete and empty codes and is
// found out by building for the others.
void build_set(BlockContext& c, const uint8_t* lengths, int allow_fast) {
  const CodeLengthSet set = {lengths};
  c.set_lengths = lengths;
  c.reference_ready = 0;
  int fast = allow_fast;
  int reference_first = !allow_fast;
  for (uint32_t t = 0; t <= c.distance_tables; t++) {
    const uint8_t* l = t == 0 ? set.litlen() : set.distance(t - 1);
    const uint32_t n = t == 0 ? LITLEN_SYMBOLS : distance_sizes[t - 1];
    build_codes(l, n, t == 0 ? tables.litlen_codes : tables.distance_codes[t - 1]);
    const uint32_t space = code_space(l, n);
    if (space > FULL_CODE_SPACE) fast = 0;
    if (space != 0 && space != FULL_CODE_SPACE) reference_first = 1;
  }
  if (reference_first && !build_reference_tables(c)) fast = 0;
  if (fast) {
    if (tables.litlen_templates_for != c.distance_tables) {
      for (uint32_t s = 0; s < LITLEN_SYMBOLS; s++) {
        tables.litlen_templates[s] = litlen_template(s, c.distance_tables);
      }
      tables.litlen_templates_for = c.distance_tables;
    }
    if (tables.distance_templates[1] == 0) {
      for (uint32_t s = 0; s < MAX_DISTANCE_SYMBOLS; s++) {
        tables.distance_templates[s] = distance_template(s);
      }
    }
    fast = build_fast_table(tables.fast_litlen, FAST_LITLEN_ENOUGH, FAST_LITLEN_BITS,
                            set.litlen(), tables.litlen_codes, tables.litlen_templates,
                            LITLEN_SYMBOLS);
    for (uint32_t t = 0; t < c.distance_tables && fast; t++) {
      fast = build_fast_table(tables.fast_distance[t], FAST_DIST_ENOUGH, FAST_DIST_BITS,
                              set.distance(t), tables.distance_codes[t],
                              tables.distance_templates, distance_sizes[t]);
      c.fast_distance[t] = tables.fast_distance[t];
    }
  }
  c.fast_litlen = fast ? tables.fast_litlen : nullptr;
}

// Decodes the current set until symbol 256 or the block's end.
StepResult decode_set(BlockContext& c) {
  StepResult r;
  do {
    r = c.fast_litlen != nullptr ? fast_run(c) : STEP_CONTINUE;
    if (r == STEP_CONTINUE) r = reference_step(c);
  } while (r == STEP_CONTINUE);
  return r;
}

int32_t decode_block_with(uint8_t* out_base, uint32_t history, uint32_t want, int allow_fast) {
  InputState& in = decoder.in;
  const uint8_t* pos = in.pos;
  uint32_t bit_offset = in.bit_offset;
  uint32_t header = peek_bits(pos, bit_offset) & 0xFF;
  consume_bits(pos, bit_offset, 8);
  in.pos = pos;
  in.bit_offset = bit_offset;
  const uint32_t distance_tables = header & 3;
  const uint32_t set_count = header >> 2;
  if (distance_tables == 0) return ERR_DAMAGED;
  // The default set has no lengths for a third distance table; a block that
  // asks for three tables and sends no sets cannot be decoded as meant.
  if (distance_tables == 3 && set_count == 0) return ERR_DAMAGED;
  const uint32_t set_size = distance_tables == 3 ? SET_SIZE_THREE_TABLES : SET_SIZE_TWO_TABLES;
  uint8_t* lengths = (uint8_t*)mem_alloc(set_count != 0 ? set_count * set_size : set_size);
  if (lengths == nullptr) return ERR_NOMEM;
  int result = read_length_sets(lengths, set_size, set_count, history + want);
  if (result < 0) {
    mem_free(lengths);
    return result;
  }
  BlockContext c;
  c.out_base = out_base;
  c.out = out_base + history;
  c.out_end = c.out + want;
  c.pos = in.pos;
  c.bit_offset = in.bit_offset;
  c.last_distance = 0;
  c.prev_distance = 0;
  c.distance_tables = distance_tables;
  const uint32_t sets = set_count != 0 ? set_count : 1;
  for (uint32_t j = 0;; j++) {
    if (stub_config.cancel_requested) {
      mem_free(lengths);
      return ERR_CANCELLED;
    }
    if (j == sets) break;
    build_set(c, lengths + j * set_size, allow_fast);
    if (decode_set(c) == STEP_FINISH) break;
  }
  in.pos = c.pos;
  in.bit_offset = c.bit_offset;
  align_to_byte();
  mem_free(lengths);
  return (int32_t)(c.out - (out_base + history));
}

}  // namespace

uint8_t reference_decoding;

int32_t decode_block(uint8_t* out_base, uint32_t history, uint32_t want) {
  return decode_block_with(out_base, history, want, !reference_decoding);
}

int32_t decode_block_reference(uint8_t* out_base, uint32_t history, uint32_t want) {
  return decode_block_with(out_base, history, want, 0);
}
