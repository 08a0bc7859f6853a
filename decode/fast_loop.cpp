// The fast decode loop: a 64-bit bit buffer, one table lookup per symbol for
// the common codes, match copies by 8-byte words. It runs only while its
// margins hold and hands every item it does not finish, unconsumed, to the
// reference step, so its results equal the reference loop's for any input.
//
// Bit buffer state:
//   in_next   the next byte to load into the buffer
//   bitbuf    bits not yet consumed, next bit in bit 0; above bitsleft it holds
//             the bits of the bytes from in_next on (or 0), which is what
//             the next load ORs into the same places
//   bitsleft  how many bits of bitbuf are valid (0..63)
// The reader's bit position is in_next * 8 - bitsleft, so (in_next, bitsleft)
// saved at an item's start is all it takes to give the item back.
//
// Margins, tested at every item's start:
//   input   the item's first byte lies before limit, so the reference step
//           would not refill before it either. An item takes at most 65 bits
//           and two refills of 8 bytes: every load stays below limit + 24,
//           inside the input buffer's spare bytes, and reads the same bytes
//           the reference step would.
//   output  out < out_end for a literal; a match is copied here only when its
//           length plus COPY_OVERRUN fits before out_end, since word copies
//           write up to COPY_OVERRUN - 1 bytes past the match (bytes that the
//           following items overwrite, or that lie past the block's output,
//           which is never served).
#include "decode/block_context.h"
#include "decode/decoder_state.h"
#include "decode/fast_tables.h"
#include "decode/input.h"

namespace {

constexpr uint32_t COPY_OVERRUN = 16;
// Bits a distance symbol with its extra bits may take: 16 + 18.
constexpr uint32_t MAX_DISTANCE_BITS = 34;

struct BitBuffer {
  const uint8_t* in_next;
  uint64_t bitbuf;
  uint32_t bitsleft;

  // Tops the buffer up to 56..63 bits with one 8-byte load.
  inline void refill() {
    bitbuf |= load_le64(in_next) << bitsleft;
    in_next += (63 - bitsleft) >> 3;
    bitsleft |= 56;
  }
  inline void consume(uint32_t n) {
    bitbuf >>= n;
    bitsleft -= n;
  }
  // The byte that holds the next unread bit.
  inline const uint8_t* pos() const { return in_next - ((bitsleft + 7) >> 3); }
};

inline uint32_t low_bits(uint64_t v, uint32_t n) { return (uint32_t)v & ((1u << n) - 1); }

// The entry for the next code: main entry, or the subtable entry it points to.
inline uint32_t lookup(const uint32_t* table, uint32_t main_bits, uint64_t bitbuf) {
  uint32_t entry = table[low_bits(bitbuf, main_bits)];
  if ((entry & 31) == 0 && entry != FAST_EMPTY) {
    entry = table[(entry >> 16) + low_bits(bitbuf >> main_bits, (entry >> 5) & 31)];
  }
  return entry;
}

inline void store_word(uint8_t* p, uint64_t v) { __builtin_memcpy(p, &v, 8); }

// Copies `length` bytes from `distance` back; may write up to 15 bytes more.
inline void copy_match(uint8_t* out, uint32_t distance, uint32_t length) {
  const uint8_t* from = out - distance;
  uint8_t* const end = out + length;
  if (distance >= 8) {
    // Each word read lies wholly before the word written, so even when the
    // match overlaps itself it reads only bytes already final. Two words
    // first: most matches are short.
    store_word(out, load_le64(from));
    store_word(out + 8, load_le64(from + 8));
    out += 16;
    from += 16;
    while (out < end) {
      store_word(out, load_le64(from));
      store_word(out + 8, load_le64(from + 8));
      out += 16;
      from += 16;
    }
  } else if (distance == 1) {
    const uint64_t v = 0x0101010101010101ull * from[0];
    do {
      store_word(out, v);
      store_word(out + 8, v);
      out += 16;
    } while (out < end);
  } else {
    // A pattern shorter than a word: byte by byte, each byte written before
    // it is read again.
    do {
      *out++ = *from++;
    } while (out < end);
  }
}

}  // namespace

StepResult fast_run(BlockContext& c) {
  const uint8_t* const in_limit = decoder.in.limit;
  if (c.pos >= in_limit) return STEP_CONTINUE;
  const uint32_t* const litlen = c.fast_litlen;
  uint8_t* out = c.out;
  uint8_t* const out_end = c.out_end;
  uint8_t* const out_base = c.out_base;
  uint32_t last_distance = c.last_distance;
  uint32_t prev_distance = c.prev_distance;
  StepResult result = STEP_CONTINUE;

  BitBuffer b = {c.pos, 0, 0};
  b.refill();
  b.consume(c.bit_offset);

  const uint8_t* item_in;
  uint32_t item_bits;
  for (;;) {
    item_in = b.in_next;
    item_bits = b.bitsleft;
    if (out >= out_end || b.pos() >= in_limit) break;
    b.refill();
    uint32_t entry = lookup(litlen, FAST_LITLEN_BITS, b.bitbuf);
    if (entry & FAST_LITERAL) {
      *out++ = (uint8_t)(entry >> 16);
      b.consume(entry & 31);
      // Two more literals on the same refill: 56 bits hold three codes of up
      // to 16 bits. Each is an item of its own, with its own margin tests.
      for (int more = 0; more < 2; more++) {
        entry = lookup(litlen, FAST_LITLEN_BITS, b.bitbuf);
        if (!(entry & FAST_LITERAL) || out >= out_end || b.pos() >= in_limit) break;
        *out++ = (uint8_t)(entry >> 16);
        b.consume(entry & 31);
      }
      continue;
    }
    if (entry == FAST_EMPTY) break;
    const uint32_t code_bits = entry & 31;
    if (entry & FAST_END_OF_SET) {
      b.consume(code_bits);
      result = STEP_END_OF_SET;
      item_in = b.in_next;
      item_bits = b.bitsleft;
      break;
    }
    const uint32_t extra = (entry >> 5) & 31;
    const uint32_t length = (entry >> 16) + low_bits(b.bitbuf >> code_bits, extra);
    const uint32_t table = (entry >> 12) & 3;
    if (table == FAST_NO_TABLE) break;
    b.consume(code_bits + extra);
    if (b.bitsleft < MAX_DISTANCE_BITS) b.refill();
    const uint32_t dentry = lookup(c.fast_distance[table], FAST_DIST_BITS, b.bitbuf);
    if (dentry == FAST_EMPTY) break;
    const uint32_t dcode_bits = dentry & 31;
    uint32_t distance = dentry >> 12;
    uint32_t new_last = last_distance;
    uint32_t new_prev = prev_distance;
    switch ((dentry >> 10) & 3) {
      case FAST_NEW:
        distance += low_bits(b.bitbuf >> dcode_bits, (dentry >> 5) & 31);
        new_prev = last_distance;
        new_last = distance;
        break;
      case FAST_LAST:
        distance = last_distance;
        break;
      case FAST_PREV:
        distance = prev_distance;
        new_prev = last_distance;
        new_last = distance;
        break;
      default:  // FAST_FIXED: distances 1-4
        break;
    }
    // Dropped, distance-0 and cut matches are the reference step's.
    if (distance - 1 >= (uint32_t)(out - out_base) ||
        length + COPY_OVERRUN > (uint32_t)(out_end - out)) {
      break;
    }
    b.consume(dcode_bits + ((dentry >> 5) & 31));
    last_distance = new_last;
    prev_distance = new_prev;
    copy_match(out, distance, length);
    out += length;
  }
  // Give back the item not finished here (or, after symbol 256, nothing).
  c.pos = item_in - ((item_bits + 7) >> 3);
  c.bit_offset = (0u - item_bits) & 7;
  c.out = out;
  c.last_distance = last_distance;
  c.prev_distance = prev_distance;
  return result;
}
