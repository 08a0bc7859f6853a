#include "decode/call_filter.h"

#include "base/compact.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "decode/input.h"
#include "base/result_codes.h"

#include <immintrin.h>

namespace {

constexpr uint8_t CALL_OPCODE = 0xE8;

// The staging buffer of a pass. Static rather than on the stack: 64 KB would
// need a stack probe in the stub, and the host's is larger. One pass runs at
// a time.
uint8_t stage[STAGE_SIZE];

// Index of the first 0xE8 in [from, to), or `to`, with the bytes before it
// copied to `dest` (dest[0] for src[from]). 64 (not in the stub, built for
// size) and then 16 bytes at a time while as many remain, each group stored
// whole before it is looked at: bytes stored past the call lie within
// dest[0, to - from) and are staged again after it.
uint32_t copy_to_call(uint8_t* dest, const uint8_t* src, uint32_t from, uint32_t to) {
  const uint32_t start = from;
  const __m128i call = _mm_set1_epi8((char)CALL_OPCODE);
#if !QEV_COMPACT
  // Calls are some 300 bytes apart in code: groups of 64 bytes go over whole
  // with one test, and the group that holds a call is searched again below.
  while (to - from >= 64) {
    const __m128i a = _mm_loadu_si128((const __m128i*)(src + from));
    const __m128i b = _mm_loadu_si128((const __m128i*)(src + from + 16));
    const __m128i c = _mm_loadu_si128((const __m128i*)(src + from + 32));
    const __m128i d = _mm_loadu_si128((const __m128i*)(src + from + 48));
    uint8_t* const to_dest = dest + (from - start);
    _mm_storeu_si128((__m128i*)to_dest, a);
    _mm_storeu_si128((__m128i*)(to_dest + 16), b);
    _mm_storeu_si128((__m128i*)(to_dest + 32), c);
    _mm_storeu_si128((__m128i*)(to_dest + 48), d);
    const __m128i found = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(a, call), _mm_cmpeq_epi8(b, call)),
        _mm_or_si128(_mm_cmpeq_epi8(c, call), _mm_cmpeq_epi8(d, call)));
    if (_mm_movemask_epi8(found) != 0) break;
    from += 64;
  }
#endif
  while (to - from >= 16) {
    const __m128i v = _mm_loadu_si128((const __m128i*)(src + from));
    _mm_storeu_si128((__m128i*)(dest + (from - start)), v);
    const uint32_t found = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(v, call));
    if (found != 0) return from + (uint32_t)__builtin_ctz(found);
    from += 16;
  }
  while (from < to && src[from] != CALL_OPCODE) {
    dest[from - start] = src[from];
    from++;
  }
  return from;
}

#if !QEV_COMPACT
// The same where the CPU compares 64 bytes at once (AVX-512BW), then by the
// 16-byte groups and single bytes above.
__attribute__((target("avx512f,avx512bw"))) uint32_t copy_to_call_wide(uint8_t* dest,
                                                                        const uint8_t* src,
                                                                        uint32_t from, uint32_t to) {
  const uint32_t start = from;
  const __m512i call = _mm512_set1_epi8((char)CALL_OPCODE);
  while (to - from >= 64) {
    const __m512i v = _mm512_loadu_si512(src + from);
    _mm512_storeu_si512(dest + (from - start), v);
    const uint64_t found = _mm512_cmpeq_epi8_mask(v, call);
    if (found != 0) return from + (uint32_t)__builtin_ctzll(found);
    from += 64;
  }
  return copy_to_call(dest + (from - start), src, from, to);
}
#endif

int write_all(FileHandle file, const uint8_t* bytes, uint32_t n) {
  return file_write(file, bytes, n) == (int32_t)n ? 0 : ERR_WRITE;
}

}  // namespace

uint8_t call_scan;

uint16_t restore_call16(uint16_t w, uint32_t p) { return (uint16_t)(w - p); }

uint32_t restore_call32(uint32_t v, uint32_t p, uint32_t size) {
  // Three ranges of stored values map onto the relative operands, together a
  // bijection of all 2^32 values: [-p, 0) onto [size - p, size), [0, size)
  // onto [-p, size - p), and the rest onto itself.
  if ((int32_t)v < 0 && (int64_t)(int32_t)v >= -(int64_t)p) return size - p - 1 - v;
  if (v < size) return v - p;
  return v;
}

int32_t translate_pass(FileHandle file, const uint8_t* src, uint32_t n, uint32_t offset,
                       uint32_t member_size) {
  const uint32_t width = decoder.filter_mode;
  const uint32_t stretch_limit = width == 2 ? STAGE_LIMIT_16 : STAGE_LIMIT_32;
#if !QEV_COMPACT
  if (call_scan == 0) call_scan = __builtin_cpu_supports("avx512bw") ? 2 : 1;
  const bool wide = call_scan == 2;
#endif
  uint32_t i = 0;
  while (i < n) {
    const uint32_t stretch_end = n - i > stretch_limit ? i + stretch_limit : n;
    uint32_t staged = 0;
    while (i < stretch_end) {
      // The bytes up to the next call go over as they are.
#if !QEV_COMPACT
      uint32_t call = wide ? copy_to_call_wide(stage + staged, src, i, stretch_end)
                           : copy_to_call(stage + staged, src, i, stretch_end);
#else
      uint32_t call = copy_to_call(stage + staged, src, i, stretch_end);
#endif
      staged += call - i;
      i = call;
      if (i == stretch_end) break;
      // The call byte and its operand, which may lie past the stretch and
      // past the n bytes; an 0xE8 inside an operand starts nothing.
      stage[staged++] = CALL_OPCODE;
      const uint32_t p = offset + i + 1;
      if (width == 2) {
        uint16_t w = restore_call16(load_le16(src + i + 1), p);
        __builtin_memcpy(stage + staged, &w, 2);
      } else {
        uint32_t v = restore_call32(load_le32(src + i + 1), p, member_size);
        __builtin_memcpy(stage + staged, &v, 4);
      }
      staged += width;
      i += 1 + width;
    }
    decoder.member_crc = crc_update(decoder.member_crc, stage, staged);
    if (poll_cancel()) return ERR_CANCELLED;
    if (write_all(file, stage, staged) < 0) return ERR_WRITE;
  }
  return (int32_t)(i - n);
}

int filter_write(FileHandle file, const uint8_t* piece, uint32_t n, uint32_t offset,
                 uint32_t member_size, int last) {
  const uint32_t width = decoder.filter_mode;
  uint8_t* const carry = decoder.carry;
  if (decoder.carry_len > 0) {
    const uint32_t held = decoder.carry_len;
    const uint32_t room = 8 - held;
    const uint32_t take = room < n ? room : n;
    mem_copy_forward(carry + held, piece, take);
    if (room > n) {
      // Too little to complete the carry: carry and piece together become the
      // piece (the tail below then moves within the carry, downwards).
      piece = carry;
      n += held;
      offset -= held;
    } else {
      // The held bytes start with an 0xE8 whose operand now lies among the
      // appended ones; what the pass reads past them was the piece's.
      int32_t over = translate_pass(file, carry, held, offset - held, member_size);
      if (over < 0) return over;
      piece += over;
      offset += (uint32_t)over;
      n -= (uint32_t)over;
    }
    decoder.carry_len = 0;
  }
  uint32_t s = 0;
  if (n > width) {
    int32_t over = translate_pass(file, piece, n - width, offset, member_size);
    if (over < 0) return over;
    s = n - width + (uint32_t)over;
  }
  // The tail: bytes whose operand may not be complete yet. Taken as they are
  // up to the first 0xE8, or all of them on the member's last piece.
  uint32_t stop = s;
  while (stop < n && (last || piece[stop] != CALL_OPCODE)) stop++;
  if (stop > s) {
    decoder.member_crc = crc_update(decoder.member_crc, piece + s, stop - s);
    if (write_all(file, piece + s, stop - s) < 0) return ERR_WRITE;
  }
  mem_copy_forward(carry, piece + stop, n - stop);
  decoder.carry_len = n - stop;
  return 0;
}
