#include "encode/call_filter.h"

#include <algorithm>

#include "archive/layout.h"

namespace qev {

void filter_e8_32(uint8_t* d, size_t size) { CallFilterRun(FLAG_E8_32, size).run(d, size); }

void filter_e8_16(uint8_t* d, size_t size) { CallFilterRun(FLAG_E8_16, size).run(d, size); }

uint64_t CallFilterRun::run(uint8_t* at, uint64_t have) {
  const uint64_t from = next_;
  const uint32_t n = (uint32_t)size_;
  // Calls begin before `end` (their operand ends inside the member) and, of
  // the bytes at hand, before `stop`.
  const uint64_t end = size_ >= unit_ ? size_ - unit_ + 1 : 0;
  const uint64_t stop = std::min(end, have >= unit_ ? have - unit_ + 1 : 0);
  uint64_t i = next_;
  while (i < stop) {
    uint8_t* d = at + (i - from);
    if (*d != 0xE8) { i++; continue; }
    const uint32_t p = (uint32_t)(i + 1);
    if (unit_ == 3) {
      store_le16(d + 1, (uint16_t)(load_le16(d + 1) + p));
    } else {
      const uint32_t o = load_le32(d + 1), s = o + p;
      uint32_t v;
      if (s < n) v = s;
      else if (s - n < p) v = n - p - 1 - o;
      else v = o;
      store_le32(d + 1, v);
    }
    i += unit_;
  }
  next_ = i >= end ? std::max(i, have) : i;
  return next_;
}

void unfilter_e8_32(uint8_t* d, size_t size) {
  if (size < 5) return;
  const uint32_t n = (uint32_t)size;
  for (size_t i = 0; i + 5 <= size;) {
    if (d[i] != 0xE8) { i++; continue; }
    uint32_t p = (uint32_t)(i + 1);
    uint32_t v = load_le32(d + p);
    uint32_t o;
    if ((int32_t)v < 0 && (int64_t)(int32_t)v >= -(int64_t)p) o = n - p - 1 - v;
    else if (v < n) o = v - p;
    else o = v;
    store_le32(d + p, o);
    i += 5;
  }
}

void unfilter_e8_16(uint8_t* d, size_t size) {
  for (size_t i = 0; i + 3 <= size;) {
    if (d[i] != 0xE8) { i++; continue; }
    uint32_t p = (uint32_t)(i + 1);
    store_le16(d + p, (uint16_t)(load_le16(d + p) - p));
    i += 3;
  }
}

uint64_t pe_header_at(const uint8_t* d, uint64_t size) {
  if (size < 64 || d[0] != 'M' || d[1] != 'Z') return 0;
  uint32_t pe = load_le32(d + 60);  // e_lfanew
  if (pe < 64 || pe > size || size - pe < 24) return 0;
  return pe;
}

bool is_x86_pe_header(const uint8_t* h) {
  if (h[0] != 'P' || h[1] != 'E' || h[2] != 0 || h[3] != 0) return false;
  uint16_t machine = load_le16(h + 4);
  return machine == 0x14C || machine == 0x8664;  // i386, AMD64
}

bool is_x86_elf_image(const uint8_t* d, size_t len) {
  if (len < 20 || d[0] != 0x7F || d[1] != 'E' || d[2] != 'L' || d[3] != 'F') return false;
  if ((d[4] != 1 && d[4] != 2) || d[5] != 1) return false;  // 32 or 64 bits, little-endian
  const uint16_t type = load_le16(d + 16), machine = load_le16(d + 18);
  return (type == 2 || type == 3) && (machine == 3 || machine == 62);  // EXEC, DYN; i386, x86-64
}

bool is_x86_pe(const uint8_t* d, size_t size) {
  uint64_t pe = pe_header_at(d, size);
  return pe && is_x86_pe_header(d + pe);
}

}  // namespace qev
