// The fast decode loop and the careful step. The fast loop keeps a 64-bit bit
// buffer, takes one table lookup per symbol for the common codes and copies
// matches by words; it runs only while its margins hold and hands every item
// it does not finish, unconsumed, to the careful step, which decodes one item
// from the same entries with every check of the format in its place. So the
// two together give what the reference loop gives, for any input.
//
// Bit buffer state of the fast loop:
//   in_next   the next byte to load into the buffer
//   bitbuf    bits not yet consumed, next bit in bit 0; above bitsleft it holds
//             the bits of the bytes from in_next on (or 0), which is what
//             the next load ORs into the same places
//   bitsleft  how many bits of bitbuf are valid (0..63)
// The reader's bit position is in_next * 8 - bitsleft, so (in_next, bitsleft)
// saved at an item's start is all it takes to give the item back.
//
// Margins, tested once per turn of the loop, before the refill that starts it:
//   input   in_next lies at least 8 bytes before limit. A turn decodes up to
//           four literals after one refill, or one match with a second
//           refill between its length and its distance; every item of the
//           turn starts before in_next + 8, so before limit, where the
//           reference step would not refill either. The first refill loads
//           the 8 bytes before limit at most, the second (7 bytes further on
//           at most) bytes below limit + 7, inside the margin or the input
//           buffer's spare bytes: the bytes the reference step would read.
//   output  four bytes of room for the literals; a match is copied here
//           only when its length plus COPY_OVERRUN fits before out_end,
//           since word copies write up to COPY_OVERRUN - 1 bytes past the
//           match (bytes that the following items overwrite, or that lie past
//           the block's output, which is never served).
// Bits per turn: a refill leaves at least 56 valid bits. Four literals from
// the main table take at most 4 * 11, leaving 12 for the next lookup (11
// bits, or 16 through a subtable, which is only resolved after a refill). A
// match length takes at most 16 + 15 bits; unless 45 bits are left after it,
// a refill makes room for the distance's 16 + 18 and the next lookup's 11.
#include "decode/block_context.h"
#include "base/compact.h"
#include "decode/decoder_state.h"
#include "decode/fast_tables.h"
#include "decode/input.h"

#if QEV_FAST_BMI2
#include <cpuid.h>
#endif

namespace {

// In the compact form (the stub's), the loop decodes two literals per refill
// rather than four: some 30 bytes less code, for a loop that still decodes
// every item of the fast tables, long codes through their subtables
// included (handing those to the careful step cost it some 3 per cent of its
// speed).
constexpr bool COMPACT = QEV_COMPACT;
// The room the fast loop keeps behind a match before it copies it. copy_match
// stores whole words: its first three words reach 3 * 8 bytes from the
// match's start, 22 bytes past the shortest match (2 bytes); its later word
// pairs and its short-period stores reach less far past the end (under 16
// and 8 bytes). So 23 would do; 40 leaves the copy room to change, and the
// careful step finishes whatever the fast loop leaves near a block's end.
constexpr uint32_t COPY_OVERRUN = 40;
static_assert(COPY_OVERRUN >= 3 * 8 - 2 + 1, "copy_match's widest overrun fits in the room");
// The margins a turn of the loop starts within (see the opening comment): the
// input holds a whole word past in_next, which one refill loads, and the
// output has room for the most literals one turn writes.
constexpr uint32_t INPUT_MARGIN = 8;
constexpr uint32_t LITERAL_ROOM = 4;
// Bits a distance symbol with its extra bits may take: 16 + 18.
constexpr uint32_t MAX_DISTANCE_BITS = 34;
constexpr uint32_t LITLEN_MASK = (1u << FAST_LITLEN_BITS) - 1;
constexpr uint32_t DIST_MASK = (1u << FAST_DIST_BITS) - 1;

inline void store_word(uint8_t* p, uint64_t v) { __builtin_memcpy(p, &v, 8); }

// The extra bits of an entry: the (total - length) bits after its code.
inline uint32_t litlen_extra(uint32_t entry, uint64_t bits) {
  return (uint32_t)((bits & ((1ull << (entry & 63)) - 1)) >>
                    ((entry >> FAST_LITLEN_LENGTH_SHIFT) & 31));
}
inline uint32_t distance_extra(uint32_t entry, uint64_t bits) {
  return (uint32_t)((bits & ((1ull << (entry & 63)) - 1)) >>
                    ((entry >> FAST_DIST_LENGTH_SHIFT) & 31));
}

// Copies `length` bytes from `distance` back; may write up to
// COPY_OVERRUN - 1 bytes more.
inline void copy_match(uint8_t* out, uint32_t distance, uint32_t length) {
  const uint8_t* from = out - distance;
  uint8_t* const end = out + length;
  if (distance >= 8) {
    // Each word read lies wholly before the word written, so even when the
    // match overlaps itself it reads only bytes already final. Three words
    // first: nine matches in ten are that short.
    store_word(out, load_le64(from));
    store_word(out + 8, load_le64(from + 8));
    store_word(out + 16, load_le64(from + 16));
    while (out + 24 < end) {
      out += 16;
      from += 16;
      store_word(out + 8, load_le64(from + 8));
      store_word(out + 16, load_le64(from + 16));
    }
  } else {
    // A pattern shorter than a word repeats with its own period. The
    // `distance` bytes before out are the pattern (the load reaches past
    // them into bytes not yet final, which are masked off); doubling it
    // until it fills more than half a word gives a word that holds a whole
    // number of periods in its first `stride` bytes, stored every `stride`
    // bytes.
    uint64_t v = load_le64(from);
    uint32_t stride = distance;
    for (; stride <= 4; stride *= 2) v = (v & ((1ull << (8 * stride)) - 1)) | (v << (8 * stride));
    do {
      store_word(out, v);
      out += stride;
    } while (out < end);
  }
}

// The careful step's entries: from the fast tables, or made of a reference
// table's symbol (0, an entry without a code, for an empty one).
inline uint32_t litlen_entry(const BlockContext& c, uint64_t bits) {
  if (c.fast_litlen != nullptr) {
    return fast_lookup(c.fast_litlen, FAST_LITLEN_BITS, FAST_LITLEN_LENGTH_SHIFT, bits);
  }
  const int32_t s = huffman_lookup(c.litlen, (uint32_t)bits);
  return s == EMPTY_ENTRY ? 0 : c.litlen_templates[s] + c.litlen.lengths[s] * FAST_LITLEN_UNIT;
}

inline uint32_t distance_entry(const BlockContext& c, uint32_t table, uint64_t bits) {
  if (c.fast_litlen != nullptr) {
    return fast_lookup(c.fast_litlen + FAST_DIST_FIRST + table * FAST_DIST_STRIDE, FAST_DIST_BITS,
                       FAST_DIST_LENGTH_SHIFT, bits);
  }
  const HuffmanTable& t = c.distance[table];
  const int32_t s = huffman_lookup(t, (uint32_t)bits);
  return s == EMPTY_ENTRY ? 0 : c.distance_templates[s] + t.lengths[s] * FAST_DIST_UNIT;
}

inline void consume(BlockContext& c, uint32_t n) { consume_bits(c.pos, c.bit_offset, n); }

}  // namespace

StepResult finish_match(BlockContext& c, uint32_t length, uint32_t distance) {
  // Reaching before the buffer: the match is dropped, its bits and register
  // update stay.
  if (distance > (uint32_t)(c.out - c.out_base)) return STEP_CONTINUE;
  // Distance 0 (a repeat register read before any distance was set) would copy
  // bytes onto themselves and leave whatever the buffer held: only damaged
  // data says so, and the block ends here instead.
  if (distance == 0) return STEP_FINISH;
  const uint32_t room = (uint32_t)(c.out_end - c.out);
  if (length > room) length = room;
  const uint8_t* from = c.out - distance;
  // One byte at a time, ascending: a distance below the length repeats the
  // bytes this copy has just written.
  for (uint32_t i = 0; i < length; i++) c.out[i] = from[i];
  c.out += length;
  return STEP_CONTINUE;
}

bool item_input_ready(BlockContext& c) {
  return c.pos < decoder.in.limit || refill_reader(c.pos, c.bit_offset) >= 0;
}

StepResult careful_step(BlockContext& c) {
  if (c.out == c.out_end) return STEP_FINISH;
  // Input exhausted, cancelled or unreadable: the block ends with what it has.
  if (!item_input_ready(c)) return STEP_FINISH;
  // An item starts before limit, where at least 8 more bytes and the buffer's
  // spare bytes follow: both loads stay inside the buffer. Each yields at
  // least 57 bits, enough for a code with its extra bits.
  uint64_t bits = load_le64(c.pos) >> c.bit_offset;
  const uint32_t entry = litlen_entry(c, bits);
  if ((entry & 63) == 0) return STEP_FINISH;  // no code: damaged data
  consume(c, entry & 63);
  if ((int32_t)entry < 0) {
    *c.out++ = (uint8_t)(entry >> 16);
    return STEP_CONTINUE;
  }
  // The end of the set, or a length 2 in a one-table block, which has no
  // table for it: nothing can follow such a match, so the block ends here as
  // damaged.
  if (entry & FAST_EXCEPTIONAL) return (entry & FAST_END_OF_SET) ? STEP_END_OF_SET : STEP_FINISH;
  uint32_t length = ((entry >> 16) & 0x1FF) + litlen_extra(entry, bits);
  const uint32_t table = (entry >> FAST_TABLE_SHIFT) & 3;
  bits = load_le64(c.pos) >> c.bit_offset;
  const uint32_t dentry = distance_entry(c, table, bits);
  if ((dentry & 63) == 0) return STEP_FINISH;
  consume(c, dentry & 63);
  uint32_t distance = (dentry >> 12) + distance_extra(dentry, bits);
  if (distance == 0) distance = (dentry & FAST_SHIFT) ? c.prev_distance : c.last_distance;
  if (dentry & FAST_SHIFT) {
    c.prev_distance = c.last_distance;
    c.last_distance = distance;
  }
  return finish_match(c, length, distance);
}

namespace {

// The loop itself, compiled once for every processor and, where the build
// asks for it (QEV_FAST_BMI2), once more for those with BMI2, whose shifts
// by a register and bit-field extracts take one instruction each.
__attribute__((always_inline)) inline StepResult fast_run_body(BlockContext& c) {
  const uint8_t* const in_limit = decoder.in.limit;
  uint8_t* out = c.out;
  uint8_t* const out_end = c.out_end;
  if (in_limit - c.pos <= (ptrdiff_t)INPUT_MARGIN || out_end - out < (ptrdiff_t)LITERAL_ROOM) {
    return STEP_CONTINUE;
  }
  // Both limits lie inside their buffers: past c.pos and past out. A turn
  // starts while in_next < in_fast_end and out < out_fast_end.
  const uint8_t* const in_fast_end = in_limit - (INPUT_MARGIN - 1);
  uint8_t* const out_fast_end = out_end - (LITERAL_ROOM - 1);
  const uint32_t* const litlen = c.fast_litlen;
  uint8_t* const out_base = c.out_base;
  uint32_t last_distance = c.last_distance;
  uint32_t prev_distance = c.prev_distance;

  // bitsleft: only its low byte counts. A literal/length entry's low byte is
  // its consumed count and nothing more, so the whole entry is subtracted;
  // what it takes from the higher bytes is never read.
  const uint8_t* in_next = c.pos;
  uint64_t bitbuf = 0;
  uint32_t bitsleft = 0;
  // Tops the buffer up to 56..63 bits with one 8-byte load.
  auto refill = [&]() __attribute__((always_inline)) {
    bitbuf |= load_le64(in_next) << (uint8_t)bitsleft;
    in_next += 7 - (((uint8_t)bitsleft >> 3) & 7);
    bitsleft |= 56;
  };
  refill();
  bitbuf >>= c.bit_offset;
  bitsleft -= c.bit_offset;

  // Bits of the item to give back consumed already.
  uint32_t consumed = 0;
  uint32_t entry = litlen[bitbuf & LITLEN_MASK];
  for (;;) {
    if (in_next >= in_fast_end || out >= out_fast_end) break;
    refill();
    if ((int32_t)entry < 0) {
      // A literal from the main table, then up to three more on the same
      // refill (one more in the compact form).
      bitbuf >>= entry & 63;
      bitsleft -= entry;
      *out++ = (uint8_t)(entry >> 16);
      entry = litlen[bitbuf & LITLEN_MASK];
      if ((int32_t)entry < 0) {
        bitbuf >>= entry & 63;
        bitsleft -= entry;
        *out++ = (uint8_t)(entry >> 16);
        entry = litlen[bitbuf & LITLEN_MASK];
        if (!COMPACT && (int32_t)entry < 0) {
          bitbuf >>= entry & 63;
          bitsleft -= entry;
          *out++ = (uint8_t)(entry >> 16);
          entry = litlen[bitbuf & LITLEN_MASK];
          if ((int32_t)entry < 0) {
            bitbuf >>= entry & 63;
            bitsleft -= entry;
            *out++ = (uint8_t)(entry >> 16);
            entry = litlen[bitbuf & LITLEN_MASK];
          }
        }
      }
      continue;
    }
    if (entry & FAST_EXCEPTIONAL) {
      // The end of the set, no code, no distance table: the careful step's.
      // So are long codes in the compact form.
      if (!(entry & FAST_SUBTABLE)) break;
      entry = litlen[(entry >> 16) + ((uint32_t)(bitbuf >> FAST_LITLEN_BITS) &
                                      ((1u << ((entry >> FAST_LITLEN_LENGTH_SHIFT) & 31)) - 1))];
      if ((int32_t)entry < 0) {
        bitbuf >>= entry & 63;
        bitsleft -= entry;
        *out++ = (uint8_t)(entry >> 16);
        entry = litlen[bitbuf & LITLEN_MASK];
        continue;
      }
      if (entry & FAST_EXCEPTIONAL) break;
    }
    // A match: its length, then (when fewer bits are left than a distance
    // may take with the next lookup after it) a refill, and its distance.
    const uint32_t length = ((entry >> 16) & 0x1FF) + litlen_extra(entry, bitbuf);
    const uint32_t* const dtable =
        (const uint32_t*)((const uint8_t*)(litlen + FAST_DIST_FIRST) + (entry & (3u << FAST_TABLE_SHIFT)));
    bitbuf >>= entry & 63;
    bitsleft -= entry;
    if ((uint8_t)bitsleft < MAX_DISTANCE_BITS + FAST_LITLEN_BITS) refill();
    uint32_t dentry = dtable[bitbuf & DIST_MASK];
    if ((dentry & 63) == 0) {
      if (dentry != FAST_EMPTY_DISTANCE) {
        dentry = dtable[(dentry >> 16) +
                        ((uint32_t)(bitbuf >> FAST_DIST_BITS) &
                         ((1u << ((dentry >> FAST_DIST_LENGTH_SHIFT) & 31)) - 1))];
      }
      if (dentry == FAST_EMPTY_DISTANCE) {
        consumed = entry & 63;
        break;
      }
    }
    uint32_t distance = (dentry >> 12) + distance_extra(dentry, bitbuf);
    const uint32_t repeat = (dentry & FAST_SHIFT) ? prev_distance : last_distance;
    if (distance == 0) distance = repeat;
    // The next item's lookup first: the checks below wait for the distance,
    // the next item only for the bits.
    bitbuf >>= dentry & 63;
    bitsleft -= dentry & 63;
    const uint32_t next_entry = litlen[bitbuf & LITLEN_MASK];
    // Dropped, distance-0 and cut matches are the careful step's.
    if (distance - 1 >= (uint32_t)(out - out_base) ||
        length + COPY_OVERRUN - (LITERAL_ROOM - 1) > (uint32_t)(out_fast_end - out)) {
      consumed = (entry & 63) + (dentry & 63);
      break;
    }
    // Whether the registers shift is hard to guess: masks, not a branch.
    const uint32_t shift = 0u - (uint32_t)((dentry & FAST_SHIFT) != 0);
    prev_distance = (last_distance & shift) | (prev_distance & ~shift);
    last_distance = (distance & shift) | (last_distance & ~shift);
    entry = next_entry;
    copy_match(out, distance, length);
    out += length;
  }
  // Give back the item not finished here: the reader's bit position is
  // in_next * 8 - bitsleft, and the item began `consumed` bits before it.
  const uint32_t item_bits = (uint8_t)bitsleft + consumed;
  c.pos = in_next - ((item_bits + 7) >> 3);
  c.bit_offset = (0u - item_bits) & 7;
  c.out = out;
  c.last_distance = last_distance;
  c.prev_distance = prev_distance;
  return STEP_CONTINUE;
}

#if QEV_FAST_BMI2
__attribute__((target("bmi,bmi2"))) StepResult fast_run_bmi2(BlockContext& c) {
  return fast_run_body(c);
}

// 0 not yet asked, 1 without BMI2, 2 with.
int bmi2_state;

int has_bmi2() {
  if (bmi2_state == 0) {
    unsigned a, b, c, d;
    bool bmi = __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_BMI) && (b & bit_BMI2);
    bmi2_state = bmi ? 2 : 1;
  }
  return bmi2_state == 2;
}
#endif

}  // namespace

StepResult fast_run(BlockContext& c) {
#if QEV_FAST_BMI2
  if (has_bmi2()) return fast_run_bmi2(c);
#endif
  return fast_run_body(c);
}
