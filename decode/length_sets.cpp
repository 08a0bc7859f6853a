#include "decode/length_sets.h"

#include "decode/decoder_state.h"
#include "decode/huffman.h"
#include "decode/input.h"
#include "shell/result_codes.h"

namespace {

constexpr uint32_t PRECODE_BITS = 6;  // lookup width of the pre-code table
constexpr uint32_t PRECODE_FIELD_BITS = 5;
constexpr uint32_t ZERO_RUN_1 = 17;
constexpr uint32_t ZERO_RUN_2 = 18;
constexpr uint32_t REPEAT_RUN_1 = 19;
// Run multipliers double with every run symbol of their kind. Past this value
// any run already covers the largest array (63 * 372 bytes), so doubling stops
// there instead of overflowing; the runs it then writes are the same.
constexpr uint32_t MULTIPLIER_CAP = 1u << 16;

// The pre-code's own working storage.
struct PrecodeTables {
  uint8_t lengths[PRECODE_SYMBOLS];
  uint32_t codes[PRECODE_SYMBOLS];
  int32_t lookup[1u << PRECODE_BITS];
  int32_t tree[2 * PRECODE_SYMBOLS];
};
PrecodeTables precode;

// The bit reader in locals; written back to decoder.in before a refill and on
// leaving.
struct Reader {
  const uint8_t* pos;
  uint32_t bit_offset;

  // A refill is due when a field or symbol is to start at or past limit.
  int ensure_input() {
    InputState& in = decoder.in;
    if (pos < in.limit) return 0;
    in.pos = pos;
    in.bit_offset = bit_offset;
    int result = refill_input();
    pos = in.pos;
    bit_offset = in.bit_offset;
    return result;
  }
  void write_back() {
    decoder.in.pos = pos;
    decoder.in.bit_offset = bit_offset;
  }
};

// The pre-code: 5-bit fields; 2..31 give the length field - 1 to the next
// position, 0 and 1 skip a run of zero lengths (1 or 2 times the run
// multiplier, which doubles with each such field).
int read_precode_fields(Reader& r) {
  for (uint32_t i = 0; i < PRECODE_SYMBOLS; i++) precode.lengths[i] = 0;
  uint32_t i = 0;
  uint32_t multiplier = 1;
  while (i < PRECODE_SYMBOLS) {
    int result = r.ensure_input();
    if (result < 0) return result;
    uint32_t v = peek_bits(r.pos, r.bit_offset) & ((1u << PRECODE_FIELD_BITS) - 1);
    consume_bits(r.pos, r.bit_offset, PRECODE_FIELD_BITS);
    if (v >= 2) {
      precode.lengths[i++] = (uint8_t)(v - 1);
      multiplier = 1;
    } else {
      // At most five runs in a row before i passes 20, so no overflow.
      i += multiplier * (v + 1);
      multiplier <<= 1;
    }
  }
  for (uint32_t s = 0; s < PRECODE_SYMBOLS; s++) {
    if (precode.lengths[s] > MAX_CODE_LENGTH) return ERR_DAMAGED;
  }
  // An incomplete or over-subscribed pre-code is not refused here: bits that
  // match none of its codes are found as EMPTY_ENTRY while reading.
  build_codes(precode.lengths, PRECODE_SYMBOLS, precode.codes);
  build_table(precode.lookup, precode.tree, precode.codes, precode.lengths, PRECODE_BITS,
              PRECODE_SYMBOLS);
  return 0;
}

int read_sets(Reader& r, uint8_t* lengths, uint32_t set_size, uint32_t end) {
  const HuffmanTable table = {precode.lookup, precode.tree, precode.lengths, PRECODE_BITS};
  uint32_t current = 0;
  uint32_t zero_multiplier = 1;
  uint32_t repeat_multiplier = 1;
  uint32_t out = 0;
  while (out < end) {
    int result = r.ensure_input();
    if (result < 0) return result;
    int32_t symbol = decode_symbol(table, r.pos, r.bit_offset);
    if (symbol == EMPTY_ENTRY) return ERR_DAMAGED;
    if ((uint32_t)symbol < ZERO_RUN_1) {
      // A change against the same place of the previous set, or against the
      // current length where that has no code (or there is no previous set).
      uint32_t base = out >= set_size ? lengths[out - set_size] : 0;
      if (base == 0) base = current;
      current = (base + (uint32_t)symbol) % 17;
      lengths[out++] = (uint8_t)current;
      zero_multiplier = 1;
      repeat_multiplier = 1;
    } else if ((uint32_t)symbol <= ZERO_RUN_2) {
      // Zero runs leave the current length alone.
      uint32_t run = zero_multiplier * ((uint32_t)symbol - ZERO_RUN_1 + 1);
      for (; run > 0 && out < end; run--) lengths[out++] = 0;
      if (zero_multiplier < MULTIPLIER_CAP) zero_multiplier <<= 1;
      repeat_multiplier = 1;
    } else {
      uint32_t run = repeat_multiplier * ((uint32_t)symbol - REPEAT_RUN_1 + 1);
      for (; run > 0 && out < end; run--) {
        uint32_t previous = out >= set_size ? lengths[out - set_size] : 0;
        if (previous != 0) current = previous;
        lengths[out++] = (uint8_t)current;
      }
      if (repeat_multiplier < MULTIPLIER_CAP) repeat_multiplier <<= 1;
      zero_multiplier = 1;
    }
  }
  // Every length written is a value modulo 17 or a copy of one, so none is
  // above 16: the table builders can take them as they are.
  return 0;
}

}  // namespace

int read_length_sets(uint8_t* lengths, uint32_t set_size, uint32_t set_count,
                     uint32_t window_size) {
  if (set_count == 0) {
    default_length_set(lengths, window_size);
    return 0;
  }
  Reader r = {decoder.in.pos, decoder.in.bit_offset};
  int result = read_precode_fields(r);
  if (result == 0) result = read_sets(r, lengths, set_size, set_count * set_size);
  r.write_back();
  return result;
}

int read_precode(uint8_t* lengths) {
  Reader r = {decoder.in.pos, decoder.in.bit_offset};
  int result = read_precode_fields(r);
  r.write_back();
  for (uint32_t s = 0; s < PRECODE_SYMBOLS; s++) lengths[s] = precode.lengths[s];
  return result;
}

void default_length_set(uint8_t* lengths, uint32_t window_size) {
  // Runs of (count, length) over the 344 positions; distance table 0 has two
  // variants, the one for windows above 8192 bytes first.
  static const uint8_t runs[] = {
      244, 8, 12, 9, 1, 0, 4, 9, 5, 10, 22, 11,  // literal/length: 0-243, 244-255, 256, ...
      22, 5, 20, 6,                              // distance table 0, large window
      4, 4, 24, 5, 14, 0,                        // distance table 0, small window
      2, 3, 12, 4};                              // distance table 1
  const bool large = window_size > SMALL_WINDOW;
  uint32_t out = 0;
  for (uint32_t r = 0; r < sizeof runs; r += 2) {
    const bool skip = large ? (r >= 16 && r < 22) : (r >= 12 && r < 16);
    if (skip) continue;
    for (uint32_t k = 0; k < runs[r]; k++) lengths[out++] = runs[r + 1];
  }
}
