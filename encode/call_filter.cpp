#include "encode/call_filter.h"

#include "archive/layout.h"

namespace qev {

void filter_e8_32(uint8_t* d, size_t size) {
  if (size < 5) return;
  const uint32_t n = (uint32_t)size;
  for (size_t i = 0; i + 5 <= size;) {
    if (d[i] != 0xE8) { i++; continue; }
    uint32_t p = (uint32_t)(i + 1);
    uint32_t o = load_u32(d + p);
    uint32_t s = o + p;
    uint32_t v;
    if (s < n) v = s;
    else if (s - n < p) v = n - p - 1 - o;
    else v = o;
    store_u32(d + p, v);
    i += 5;
  }
}

void unfilter_e8_32(uint8_t* d, size_t size) {
  if (size < 5) return;
  const uint32_t n = (uint32_t)size;
  for (size_t i = 0; i + 5 <= size;) {
    if (d[i] != 0xE8) { i++; continue; }
    uint32_t p = (uint32_t)(i + 1);
    uint32_t v = load_u32(d + p);
    uint32_t o;
    if ((int32_t)v < 0 && (int64_t)(int32_t)v >= -(int64_t)p) o = n - p - 1 - v;
    else if (v < n) o = v - p;
    else o = v;
    store_u32(d + p, o);
    i += 5;
  }
}

void filter_e8_16(uint8_t* d, size_t size) {
  for (size_t i = 0; i + 3 <= size;) {
    if (d[i] != 0xE8) { i++; continue; }
    uint32_t p = (uint32_t)(i + 1);
    store_u16(d + p, (uint16_t)(load_u16(d + p) + p));
    i += 3;
  }
}

void unfilter_e8_16(uint8_t* d, size_t size) {
  for (size_t i = 0; i + 3 <= size;) {
    if (d[i] != 0xE8) { i++; continue; }
    uint32_t p = (uint32_t)(i + 1);
    store_u16(d + p, (uint16_t)(load_u16(d + p) - p));
    i += 3;
  }
}

bool is_x86_pe(const uint8_t* d, size_t size) {
  if (size < 64 || d[0] != 'M' || d[1] != 'Z') return false;
  uint32_t pe = load_u32(d + 60);  // e_lfanew
  if (pe < 64 || pe > size || size - pe < 24) return false;
  if (d[pe] != 'P' || d[pe + 1] != 'E' || d[pe + 2] != 0 || d[pe + 3] != 0) return false;
  uint16_t machine = load_u16(d + pe + 4);
  return machine == 0x14C || machine == 0x8664;  // i386, AMD64
}

}  // namespace qev
