// A compressed block: its header, its code-length sets, and for each table set
// the tables and the decode loops.
#include "decode/block_decoder.h"

#include "decode/block_context.h"
#include "base/compact.h"
#include "decode/decoder_state.h"
#include "decode/fast_tables.h"
#include "decode/huffman.h"
#include "decode/input.h"
#include "decode/length_sets.h"
#include "platform/platform.h"
#include "base/result_codes.h"

namespace {

constexpr uint32_t LITLEN_BITS = 9;
constexpr uint32_t DISTANCE_BITS = 7;
constexpr uint32_t MAX_DISTANCE_SYMBOLS = 42;

// The block decoder's working storage, rebuilt in place for every table set.
// Static rather than on the stack: some 40 KB, more than a stub's stack probe
// should see, and plain zeroed data needs no constructor.
struct BlockTables {
  // The reference tables: for table t (0 literal/length, 1 + i distance
  // table i) the codes and the tree slots lie at the set's offset of its
  // lengths (twice that for the 2n tree slots), the lookups one after another.
  int32_t lookups[(1u << LITLEN_BITS) + 3 * (1u << DISTANCE_BITS)];
  int32_t trees[2 * SET_SIZE_THREE_TABLES];
  uint32_t codes[SET_SIZE_THREE_TABLES];
  // Fast entry templates: the literal/length ones depend on the block's
  // distance table count (litlen_templates_for, 0 before the first), the
  // distance ones on nothing (computed once, when entry 1 is still 0).
  uint32_t litlen_templates[LITLEN_SYMBOLS];
  uint32_t litlen_templates_for;
  uint32_t distance_templates[MAX_DISTANCE_SYMBOLS];
  uint32_t fast[FAST_TABLES_SIZE];
};
BlockTables tables;

}  // namespace

int build_reference_tables(BlockContext& c) {
  int whole = 1;
  for (uint32_t t = 0; t <= 3; t++) {
    HuffmanTable& table = t == 0 ? c.litlen : c.distance[t - 1];
    table.lookup = nullptr;
    if (t > c.distance_tables) continue;
    const uint32_t first = t == 0 ? 0 : distance_starts[t - 1];
    const uint32_t n = t == 0 ? LITLEN_SYMBOLS : distance_sizes[t - 1];
    const uint32_t k = t == 0 ? LITLEN_BITS : DISTANCE_BITS;
    int32_t* const lookup =
        tables.lookups + (t == 0 ? 0 : (1u << LITLEN_BITS) + (t - 1) * (1u << DISTANCE_BITS));
    const uint8_t* const lengths = c.set_lengths + first;
    build_codes(lengths, n, tables.codes + first);
    whole &= build_table(lookup, tables.trees + 2 * first, tables.codes + first, lengths, k, n) == 0;
    table = {lookup, tables.trees + 2 * first, lengths, k};
  }
  c.reference_ready = 1;
  return whole;
}

namespace {

// Whether no code of n lengths is longer than a reference lookup of k bits,
// which then holds the code whole (a code that is not over-subscribed needs
// no tree then). In the compact form (the stub's), not asked: every incomplete code
// is tried on its reference table.
inline bool within_lookup(const uint8_t* lengths, uint32_t n, uint32_t k) {
#if QEV_COMPACT
  (void)lengths;
  (void)n;
  (void)k;
  return false;
#else
  uint32_t longest = 0;
  for (uint32_t s = 0; s < n; s++) longest = lengths[s] > longest ? lengths[s] : longest;
  return longest <= k;
#endif
}

// The tables of one set. The reference tables' results are not acted upon
// beyond the choice of loop: codes they could not hold decode as empty.
// The fast tables are used only where they decode exactly as the reference
// tables: no code over-subscribed, and every code held whole by its
// reference table, which is certain for complete and empty codes and for
// codes no longer than the lookup, and is found out by building for the
// others.
void build_set(BlockContext& c, const uint8_t* lengths, int fast) {
  const CodeLengthSet set = {lengths};
  c.set_lengths = lengths;
  c.reference_ready = 0;
  if (tables.litlen_templates_for != c.distance_tables) {
    litlen_templates(tables.litlen_templates, c.distance_tables);
    tables.litlen_templates_for = c.distance_tables;
  }
  if (tables.distance_templates[1] == 0) distance_templates(tables.distance_templates);
  c.litlen_templates = tables.litlen_templates;
  c.distance_templates = tables.distance_templates;
  c.fast_litlen = nullptr;
  if (!fast) return;
  int built = build_fast_table(tables.fast, FAST_LITLEN_TABLE, set.litlen(), tables.litlen_templates,
                               LITLEN_SYMBOLS);
  int incomplete = built == FAST_BUILT_INCOMPLETE && !within_lookup(set.litlen(), LITLEN_SYMBOLS, LITLEN_BITS);
  for (uint32_t t = 0; t < c.distance_tables && built; t++) {
    built = build_fast_table(tables.fast + FAST_DIST_FIRST + t * FAST_DIST_STRIDE, FAST_DIST_TABLE,
                             set.distance(t), tables.distance_templates, distance_sizes[t]);
    incomplete |= built == FAST_BUILT_INCOMPLETE &&
                  !within_lookup(set.distance(t), distance_sizes[t], DISTANCE_BITS);
  }
  // An incomplete code may be one the reference table cannot hold whole;
  // then the set goes by the reference tables, as over-subscribed ones do.
  if ((!built || incomplete) && !build_reference_tables(c)) built = 0;
  if (built) c.fast_litlen = tables.fast;
}


}  // namespace

int32_t decode_block_by(uint8_t* out_base, uint32_t history, uint32_t want, int fast,
                        SetDecoder decode_set) {
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
  // Every way out goes through the one mem_free at the end.
  int32_t result = read_length_sets(lengths, set_size, set_count, history + want);
  if (result >= 0) {
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
      if (poll_cancel()) {
        result = ERR_CANCELLED;
        break;
      }
      if (j == sets) break;
      build_set(c, lengths + j * set_size, fast);
      if (decode_set(c) == STEP_FINISH) break;
    }
    if (result >= 0) {
      in.pos = c.pos;
      in.bit_offset = c.bit_offset;
      align_to_byte();
      result = (int32_t)(c.out - (out_base + history));
    }
  }
  mem_free(lengths);
  return result;
}

// Decodes the current set until symbol 256 or the block's end: the fast loop
// while its margins hold, the careful step for every item it leaves.
StepResult decode_set_fast(BlockContext& c) {
  StepResult r;
  do {
    if (c.fast_litlen != nullptr) fast_run(c);
    r = careful_step(c);
  } while (r == STEP_CONTINUE);
  return r;
}

int32_t decode_block(uint8_t* out_base, uint32_t history, uint32_t want) {
  return decode_block_by(out_base, history, want, 1, decode_set_fast);
}
