// CRC-32 two ways with the same result. Where the CPU has carry-less
// multiplication (PCLMULQDQ with SSE4.1, checked once by build_crc_table), runs
// of 16 bytes or more fold 16 bytes per step (on the host, runs of 256 bytes
// or more 64 bytes per step where it has VPCLMULQDQ on 512-bit registers),
// then reduce to 32 bits (Barrett); the rest goes by slicing-by-8: eight
// bytes per step through eight tables. Table 0 is decoder.crc_table, the
// byte-at-a-time table; table t holds for each byte value the CRC of that
// byte followed by t zero bytes.
//
// In the compact form (the stub's), the four lanes live in one small array on
// the stack, indexed by the block's offset, which takes a third of the code of
// four lanes in registers for nearly their speed; runs below 64 bytes and the
// rest go a byte at a time through table 0 alone.
#include "decode/crc32.h"

#include "base/compact.h"
#include "decode/decoder_state.h"
#include "decode/input.h"

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define QEV_CRC_FOLDING 1
#endif

uint8_t crc_folding;

namespace {

constexpr uint32_t CRC_POLYNOMIAL = 0xEDB88320;  // reflected 0x04C11DB7
#if !QEV_COMPACT
uint32_t crc_slices[7][256];                     // tables 1..7
#endif

#if QEV_CRC_FOLDING
// The shortest run that crc_fold takes.
constexpr size_t FOLD_MIN = QEV_COMPACT ? 64 : 16;

// Folding constants for the reflected polynomial: x^(512+32) and x^(512-32)
// (folding four lanes over 64 bytes), x^(128+32) and x^(128-32) (one lane
// over 16 bytes), x^64 (64 to 32 bits) modulo P, and P with its Barrett
// constant floor(x^64 / P), all bit-reflected.
const uint64_t K1K2[2] __attribute__((aligned(16))) = {0x0154442bd4, 0x01c6e41596};
const uint64_t K3K4[2] __attribute__((aligned(16))) = {0x01751997d0, 0x00ccaa009e};
const uint64_t K5K0[2] __attribute__((aligned(16))) = {0x0163cd6124, 0};
const uint64_t POLY[2] __attribute__((aligned(16))) = {0x01db710641, 0x01f7011641};

// One lane x folded forward over 16 bytes (k: the constants of the distance)
// and the bytes there added.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold_16(__m128i x, __m128i k,
                                                               __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), next),
                       _mm_clmulepi64_si128(x, k, 0x11));
}

// 128 bits to 64, 64 to 32, then the Barrett reduction.
__attribute__((target("pclmul,sse4.1"), always_inline)) inline uint32_t reduce_128(__m128i x1) {
  __m128i x0 = _mm_load_si128((const __m128i*)K3K4);
  __m128i x2, x3;
  x2 = _mm_clmulepi64_si128(x1, x0, 0x10);
  x3 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
  x0 = _mm_loadl_epi64((const __m128i*)K5K0);
  x2 = _mm_srli_si128(x1, 4);
  x1 = _mm_and_si128(x1, x3);
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, x0, 0x00), x2);
  x0 = _mm_load_si128((const __m128i*)POLY);
  x2 = _mm_and_si128(x1, x3);
  x2 = _mm_clmulepi64_si128(x2, x0, 0x10);
  x2 = _mm_and_si128(x2, x3);
  x2 = _mm_clmulepi64_si128(x2, x0, 0x00);
  x1 = _mm_xor_si128(x1, x2);
  return (uint32_t)_mm_extract_epi32(x1, 1);
}

#if QEV_COMPACT
// The running CRC over `length` bytes: at least 64, a multiple of 16. Four
// lanes take every fourth 16-byte block each, folded 64 bytes forward, so
// that the multiplier works on all four at once; the lanes, whose last blocks
// are the final four, are then folded into one, 16 bytes at a time in that
// order.
__attribute__((target("pclmul,sse4.1"))) uint32_t crc_fold(uint32_t crc, const uint8_t* p,
                                                            size_t length) {
  // The lanes by byte offset, the first block's offset 0.
  uint8_t x[64];
  for (size_t j = 0; j < 64; j += 16) {
    _mm_storeu_si128((__m128i*)(x + j), _mm_loadu_si128((const __m128i*)(p + j)));
  }
  _mm_storeu_si128((__m128i*)x, _mm_xor_si128(_mm_loadu_si128((const __m128i*)x), _mm_cvtsi32_si128((int)crc)));
  const __m128i k = _mm_load_si128((const __m128i*)K1K2);
  for (size_t i = 64; i < length; i += 16) {
    __m128i* lane = (__m128i*)(x + (i & 63));
    _mm_storeu_si128(lane, fold_16(_mm_loadu_si128(lane), k, _mm_loadu_si128((const __m128i*)(p + i))));
  }
  __m128i y = _mm_loadu_si128((const __m128i*)(x + (length & 63)));
  const __m128i k16 = _mm_load_si128((const __m128i*)K3K4);
  for (size_t j = 16; j < 64; j += 16) {
    y = fold_16(y, k16, _mm_loadu_si128((const __m128i*)(x + ((length + j) & 63))));
  }
  return reduce_128(y);
}
#else
// The running CRC over `length` bytes: at least 16, a multiple of 16. From 64
// bytes on, four lanes fold 64 bytes per step, independent of each other, so
// the multiplier works on all four at once; they are then folded into one,
// which takes the rest 16 bytes per step.
__attribute__((target("pclmul,sse4.1"))) uint32_t crc_fold(uint32_t crc, const uint8_t* p,
                                                            size_t length) {
  __m128i x0, x1;
  const __m128i* q = (const __m128i*)p;
  x1 = _mm_xor_si128(_mm_loadu_si128(q), _mm_cvtsi32_si128((int)crc));
  size_t i = 1;
  const size_t blocks = length / 16;
  if (blocks >= 4) {
    __m128i y2 = _mm_loadu_si128(q + 1), y3 = _mm_loadu_si128(q + 2), y4 = _mm_loadu_si128(q + 3);
    x0 = _mm_load_si128((const __m128i*)K1K2);
    for (i = 4; i + 4 <= blocks; i += 4) {
      x1 = fold_16(x1, x0, _mm_loadu_si128(q + i));
      y2 = fold_16(y2, x0, _mm_loadu_si128(q + i + 1));
      y3 = fold_16(y3, x0, _mm_loadu_si128(q + i + 2));
      y4 = fold_16(y4, x0, _mm_loadu_si128(q + i + 3));
    }
    x0 = _mm_load_si128((const __m128i*)K3K4);
    x1 = fold_16(x1, x0, y2);
    x1 = fold_16(x1, x0, y3);
    x1 = fold_16(x1, x0, y4);
  }
  x0 = _mm_load_si128((const __m128i*)K3K4);
  for (; i < blocks; i++) x1 = fold_16(x1, x0, _mm_loadu_si128(q + i));
  return reduce_128(x1);
}
#endif

#if !QEV_COMPACT
// Where the CPU multiplies four lanes at once (VPCLMULQDQ on 512-bit
// vectors): four vectors fold 256 bytes per step, each 128-bit lane as the
// one-lane fold does, over 2048 bits (x^(2048+32) and x^(2048-32) modulo P);
// they are folded into one over 64 bytes (the four-lane constants), which
// takes whole 64-byte groups, and its lanes into one over 16 bytes, which
// goes on as crc_fold does.
// Each pair for all four lanes.
const uint64_t K2048_WIDE[8] __attribute__((aligned(64))) = {
    0x011542778a, 0x01322d1430, 0x011542778a, 0x01322d1430,
    0x011542778a, 0x01322d1430, 0x011542778a, 0x01322d1430};
const uint64_t K1K2_WIDE[8] __attribute__((aligned(64))) = {
    0x0154442bd4, 0x01c6e41596, 0x0154442bd4, 0x01c6e41596,
    0x0154442bd4, 0x01c6e41596, 0x0154442bd4, 0x01c6e41596};

#define QEV_WIDE_TARGET __attribute__((target("avx512f,avx512vl,vpclmulqdq,pclmul,sse4.1")))

QEV_WIDE_TARGET inline __m512i fold_64(__m512i x, __m512i k, __m512i next) {
  // 0x96: the exclusive or of all three.
  return _mm512_ternarylogic_epi32(_mm512_clmulepi64_epi128(x, k, 0x00),
                                   _mm512_clmulepi64_epi128(x, k, 0x11), next, 0x96);
}

// The running CRC over `length` bytes: at least 256, a multiple of 16.
QEV_WIDE_TARGET uint32_t crc_fold_wide(uint32_t crc, const uint8_t* p, size_t length) {
  __m512i x0 = _mm512_xor_si512(_mm512_loadu_si512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128((int)crc)));
  __m512i x1 = _mm512_loadu_si512(p + 64);
  __m512i x2 = _mm512_loadu_si512(p + 128);
  __m512i x3 = _mm512_loadu_si512(p + 192);
  size_t i = 256;
  __m512i k = _mm512_load_si512(K2048_WIDE);
  for (; i + 256 <= length; i += 256) {
    x0 = fold_64(x0, k, _mm512_loadu_si512(p + i));
    x1 = fold_64(x1, k, _mm512_loadu_si512(p + i + 64));
    x2 = fold_64(x2, k, _mm512_loadu_si512(p + i + 128));
    x3 = fold_64(x3, k, _mm512_loadu_si512(p + i + 192));
  }
  k = _mm512_load_si512(K1K2_WIDE);
  x0 = fold_64(x0, k, x1);
  x0 = fold_64(x0, k, x2);
  x0 = fold_64(x0, k, x3);
  for (; i + 64 <= length; i += 64) x0 = fold_64(x0, k, _mm512_loadu_si512(p + i));
  __m128i lanes[4];
  _mm512_storeu_si512(lanes, x0);
  const __m128i k16 = _mm_load_si128((const __m128i*)K3K4);
  __m128i x = fold_16(lanes[0], k16, lanes[1]);
  x = fold_16(x, k16, lanes[2]);
  x = fold_16(x, k16, lanes[3]);
  for (; i < length; i += 16) x = fold_16(x, k16, _mm_loadu_si128((const __m128i*)(p + i)));
  return reduce_128(x);
}
#endif
#endif

}  // namespace

void build_crc_table() {
  for (uint32_t i = 0; i < 256; i++) {
    uint32_t c = i;
    for (int k = 0; k < 8; k++) c = (c & 1) ? (c >> 1) ^ CRC_POLYNOMIAL : c >> 1;
    decoder.crc_table[i] = c;
  }
#if !QEV_COMPACT
  for (uint32_t i = 0; i < 256; i++) {
    uint32_t c = decoder.crc_table[i];
    for (int t = 0; t < 7; t++) {
      c = decoder.crc_table[c & 0xFF] ^ (c >> 8);
      crc_slices[t][i] = c;
    }
  }
#endif
#if QEV_CRC_FOLDING
  unsigned a, b, c, d;
  crc_folding = __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) && (c & bit_SSE4_1);
#if !QEV_COMPACT
  // The processor's and the system's support of the 512-bit registers both
  // count, which the compiler's query checks.
  __builtin_cpu_init();
  if (crc_folding && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("vpclmulqdq")) {
    crc_folding = 2;
  }
#endif
#endif
}

uint32_t crc_update(uint32_t crc, const uint8_t* data, size_t length) {
#if QEV_CRC_FOLDING
  if (crc_folding && length >= FOLD_MIN) {
    size_t whole = length & ~(size_t)15;
#if !QEV_COMPACT
    if (crc_folding == 2 && whole >= 256) {
      crc = crc_fold_wide(crc, data, whole);
    } else
#endif
    crc = crc_fold(crc, data, whole);
    data += whole;
    length -= whole;
  }
#endif
  const uint32_t* t0 = decoder.crc_table;
#if !QEV_COMPACT
  while (length >= 8) {
    uint32_t lo = load_le32(data) ^ crc;
    uint32_t hi = load_le32(data + 4);
    crc = crc_slices[6][lo & 0xFF] ^ crc_slices[5][(lo >> 8) & 0xFF] ^
          crc_slices[4][(lo >> 16) & 0xFF] ^ crc_slices[3][lo >> 24] ^
          crc_slices[2][hi & 0xFF] ^ crc_slices[1][(hi >> 8) & 0xFF] ^
          crc_slices[0][(hi >> 16) & 0xFF] ^ t0[hi >> 24];
    data += 8;
    length -= 8;
  }
#endif
  while (length != 0) {
    crc = t0[(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    length--;
  }
  return crc;
}
