#include "platform/cp1252.h"

#include <stdint.h>

// Code points of the bytes 0x80-0x9F; the undefined five map to themselves.
static const uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

static uint32_t code_point_of(uint8_t b) {
  return (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : b;
}

// The byte for a code point, or -1 when it has none.
static int byte_of(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return (int)cp;
  for (int i = 0; i < 32; i++) {
    if (kHighControls[i] == cp) return 0x80 + i;
  }
  return -1;
}

static bool fail(char* out, size_t out_size) {
  if (out_size > 0) out[0] = 0;
  return false;
}

bool cp1252_to_utf8(const char* in, char* out, size_t out_size) {
  size_t n = 0;
  for (const uint8_t* p = (const uint8_t*)in; *p; p++) {
    uint32_t cp = code_point_of(*p);
    uint8_t seq[3];
    size_t len;
    if (cp < 0x80) {
      seq[0] = (uint8_t)cp;
      len = 1;
    } else if (cp < 0x800) {
      seq[0] = (uint8_t)(0xC0 | (cp >> 6));
      seq[1] = (uint8_t)(0x80 | (cp & 0x3F));
      len = 2;
    } else {
      seq[0] = (uint8_t)(0xE0 | (cp >> 12));
      seq[1] = (uint8_t)(0x80 | ((cp >> 6) & 0x3F));
      seq[2] = (uint8_t)(0x80 | (cp & 0x3F));
      len = 3;
    }
    if (n + len >= out_size) return fail(out, out_size);  // keeps room for the NUL
    for (size_t i = 0; i < len; i++) out[n++] = (char)seq[i];
  }
  if (n >= out_size) return fail(out, out_size);
  out[n] = 0;
  return true;
}

// Decodes one UTF-8 sequence at p; returns its length, or 0 when it is not a
// valid, shortest-form sequence of a scalar value.
static size_t decode_utf8(const uint8_t* p, uint32_t* cp) {
  uint8_t b = p[0];
  size_t len;
  uint32_t min;
  if (b < 0x80) {
    *cp = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    len = 2, min = 0x80, *cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3, min = 0x800, *cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4, min = 0x10000, *cp = b & 0x07;
  } else {
    return 0;  // continuation byte, 0xC0/0xC1 (always overlong) or 0xF5+
  }
  // A terminator is not a continuation byte, so a cut sequence stops here.
  for (size_t i = 1; i < len; i++) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    *cp = (*cp << 6) | (p[i] & 0x3F);
  }
  if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
  return len;
}

bool utf8_to_cp1252(const char* in, char* out, size_t out_size) {
  size_t n = 0;
  const uint8_t* p = (const uint8_t*)in;
  while (*p) {
    uint32_t cp;
    size_t len = decode_utf8(p, &cp);
    if (len == 0) return fail(out, out_size);
    int b = byte_of(cp);
    if (b < 0) return fail(out, out_size);
    if (n + 1 >= out_size) return fail(out, out_size);
    out[n++] = (char)b;
    p += len;
  }
  if (n >= out_size) return fail(out, out_size);
  out[n] = 0;
  return true;
}
