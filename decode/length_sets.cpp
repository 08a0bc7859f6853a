#include "decode/length_sets.h"

#include "base/compact.h"
#include "decode/decoder_state.h"
#include "decode/huffman.h"
#include "decode/input.h"
#include "base/result_codes.h"

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

// The pre-code's own working storage. consumed[i] is the code length of the
// symbol in lookup[i] (0 where the lookup holds none), so that a symbol's
// length does not wait for the symbol (not kept in the compact form).
struct PrecodeTables {
  uint8_t lengths[PRECODE_SYMBOLS];
  uint32_t codes[PRECODE_SYMBOLS];
  int32_t lookup[1u << PRECODE_BITS];
  int32_t tree[2 * PRECODE_SYMBOLS];
  uint8_t consumed[1u << PRECODE_BITS];
};
PrecodeTables precode;

// The bit reader in locals; written back to decoder.in before a refill and on
// leaving.
struct Reader {
  const uint8_t* pos;
  uint32_t bit_offset;

  // A refill is due when a field or symbol is to start at or past limit.
  int ensure_input() { return pos < decoder.in.limit ? 0 : refill_reader(pos, bit_offset); }
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
#if !QEV_COMPACT
  for (uint32_t i = 0; i < (1u << PRECODE_BITS); i++) {
    precode.consumed[i] = precode.lookup[i] >= 0 ? precode.lengths[precode.lookup[i]] : 0;
  }
#endif
  return 0;
}

// The pre-code symbols of the lengths, one after another, each one waiting
// for the bits its predecessor left. Taken from a 64-bit bit buffer, as in
// the fast decode loop (see there), whose position is in_next * 8 - bitsleft;
// the reader r is brought up to date from it before a refill and by finish().
// In the compact form (the stub's), the symbols are peeked and consumed in r itself.
#if QEV_COMPACT
class PrecodeSymbols {
 public:
  explicit PrecodeSymbols(Reader& r) : r_(r) {}
  // The next symbol, its code consumed: 0, ERR_DAMAGED (bits that match no
  // code) or the failure of a refill.
  int next(int32_t* symbol) {
    int result = r_.ensure_input();
    if (result < 0) return result;
    const uint32_t bits = peek_bits(r_.pos, r_.bit_offset);
    int32_t s = precode.lookup[bits & ((1u << PRECODE_BITS) - 1)];
    if (s < 0) s = huffman_lookup(table_, bits);
    if (s == EMPTY_ENTRY) return ERR_DAMAGED;
    consume_bits(r_.pos, r_.bit_offset, precode.lengths[s]);
    *symbol = s;
    return 0;
  }
  void finish() {}

 private:
  Reader& r_;
  const HuffmanTable table_ = {precode.lookup, precode.tree, precode.lengths, PRECODE_BITS};
};
#else
class PrecodeSymbols {
 public:
  explicit PrecodeSymbols(Reader& r) : r_(r) { load(); }
  int next(int32_t* symbol) {
    // The reader's byte lies below in_next_: only from limit on can it have
    // reached limit.
    if (in_next_ >= limit_ && in_next_ - ((bitsleft_ + 7) >> 3) >= limit_) {
      finish();
      int result = r_.ensure_input();
      if (result < 0) return result;
      load();
    }
    // The lookup was made when the symbol before was taken, ahead of what
    // the caller does with that one (a branch on its kind, often taken the
    // other way than guessed): the tree only for codes longer than its width.
    int32_t s = ahead_symbol_;
    uint32_t consumed = ahead_consumed_;
    if (s < 0) {
      s = huffman_lookup(table_, (uint32_t)bitbuf_);
      if (s == EMPTY_ENTRY) return ERR_DAMAGED;
      consumed = precode.lengths[s];
    }
    bitbuf_ >>= consumed;
    bitsleft_ -= consumed;
    look_ahead();
    *symbol = s;
    return 0;
  }
  // Puts the position into r.
  void finish() {
    r_.pos = in_next_ - ((bitsleft_ + 7) >> 3);
    r_.bit_offset = (0u - bitsleft_) & 7;
  }

 private:
  // A load at the reader's byte: 57 to 64 bits. The reader may stand up to 8
  // bytes past limit, inside the margin or the spare bytes.
  void load() {
    bitbuf_ = load_le64(r_.pos) >> r_.bit_offset;
    in_next_ = r_.pos + 8;
    bitsleft_ = 64 - r_.bit_offset;
    limit_ = decoder.in.limit;
    look_ahead();
  }
  // The next symbol's lookup, with the 16 bits a symbol may take topped up
  // first. Topping up loads 8 bytes from at most 8 bytes past the reader,
  // which stands before limit, or up to 2 bytes past it after the section's
  // last symbol or before a refill: inside the margin or the spare bytes.
  void look_ahead() {
    if (bitsleft_ < MAX_CODE_LENGTH) {
      bitbuf_ |= load_le64(in_next_) << bitsleft_;
      in_next_ += (63 - bitsleft_) >> 3;
      bitsleft_ |= 56;
    }
    const uint32_t index = (uint32_t)bitbuf_ & ((1u << PRECODE_BITS) - 1);
    ahead_symbol_ = precode.lookup[index];
    ahead_consumed_ = precode.consumed[index];
  }

  Reader& r_;
  const HuffmanTable table_ = {precode.lookup, precode.tree, precode.lengths, PRECODE_BITS};
  const uint8_t* in_next_;
  const uint8_t* limit_;  // decoder.in.limit, which only a refill moves
  uint64_t bitbuf_;
  uint32_t bitsleft_;
  int32_t ahead_symbol_;
  uint32_t ahead_consumed_;
};
#endif

int read_sets(Reader& r, uint8_t* lengths, uint32_t set_size, uint32_t end) {
  uint32_t current = 0;
  uint32_t zero_multiplier = 1;
  uint32_t repeat_multiplier = 1;
  uint32_t out = 0;
  PrecodeSymbols symbols(r);
  while (out < end) {
    int32_t symbol;
    int result = symbols.next(&symbol);
    if (result < 0) {
      symbols.finish();
      return result;
    }
    if ((uint32_t)symbol < ZERO_RUN_1) {
      // A change against the same place of the previous set, or against the
      // current length where that has no code (or there is no previous set).
      // Both are at most 16, so one subtraction takes the sum modulo 17.
      uint32_t base = out >= set_size ? lengths[out - set_size] : 0;
      if (base == 0) base = current;
      current = base + (uint32_t)symbol;
      if (current >= 17) current -= 17;
      lengths[out++] = (uint8_t)current;
      zero_multiplier = 1;
      repeat_multiplier = 1;
    } else if ((uint32_t)symbol <= ZERO_RUN_2) {
      // Zero runs leave the current length alone.
      uint32_t run = zero_multiplier * ((uint32_t)symbol - ZERO_RUN_1 + 1);
      if (run > end - out) run = end - out;
#if !QEV_COMPACT
      // Most runs are a few lengths: two word stores where 16 bytes are
      // left, rather than a call. The zeros past the run lie before `end`,
      // where lengths yet to come go, each written before it is read.
      if (run <= 16 && end - out >= 16) {
        const uint64_t zero = 0;
        __builtin_memcpy(lengths + out, &zero, 8);
        __builtin_memcpy(lengths + out + 8, &zero, 8);
      } else
#endif
      mem_fill(lengths + out, 0, run);
      out += run;
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
  symbols.finish();
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
