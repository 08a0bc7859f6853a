#include "test_data.h"

#include <string.h>

namespace testdata {
namespace {

struct Rng {
  uint64_t s;
  explicit Rng(uint32_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t next() {
    s ^= s << 13; s ^= s >> 7; s ^= s << 17;
    return (uint32_t)(s >> 11);
  }
  uint32_t below(uint32_t n) { return next() % n; }
};

}  // namespace

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
  Rng r(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = (uint8_t)r.next();
  return v;
}

std::vector<uint8_t> text(size_t n, uint32_t seed) {
  static const char* words[] = {"the", "of", "and", "archive", "member", "stream", "block", "window",
                                "distance", "length", "installer", "Lumetra", "extract", "folder",
                                "compressed", "history", "a", "is", "to", "in", "table", "set"};
  Rng r(seed);
  std::vector<uint8_t> v;
  v.reserve(n + 16);
  while (v.size() < n) {
    uint32_t k = r.below(100);
    const char* w = words[(k * k / 100 + r.below(3)) % 22];
    v.insert(v.end(), w, w + strlen(w));
    uint32_t p = r.below(20);
    v.push_back(p == 0 ? '.' : p == 1 ? ',' : p == 2 ? '\n' : ' ');
    if (r.below(50) == 0) {  // a number now and then
      for (int i = 0, m = 1 + r.below(6); i < m; i++) v.push_back((uint8_t)('0' + r.below(10)));
      v.push_back(' ');
    }
  }
  v.resize(n);
  return v;
}

std::vector<uint8_t> x86_code(size_t n, uint32_t seed, bool pe) {
  Rng r(seed);
  std::vector<uint8_t> v;
  v.reserve(n + 64);
  if (pe && n >= 512) {
    v.assign(512, 0);
    v[0] = 'M'; v[1] = 'Z';
    v[60] = 0x80;
    memcpy(&v[0x80], "PE\0\0", 4);
    v[0x84] = 0x64; v[0x85] = 0x86;  // AMD64
  }
  uint32_t targets[300];
  for (auto& t : targets) t = r.below((uint32_t)(n ? n : 1));
  static const uint8_t ops[][4] = {{0x48, 0x89, 0x5C, 0x24}, {0x48, 0x83, 0xEC, 0x28}, {0x8B, 0x45, 0xF8, 0},
                                   {0x55, 0x48, 0x89, 0xE5}, {0x0F, 0xB6, 0xC0, 0}, {0xC3, 0xCC, 0xCC, 0xCC}};
  while (v.size() < n) {
    uint32_t k = r.below(10);
    if (k < 4) {
      // call rel32 to a known target: relative to the end of the instruction
      uint32_t at = (uint32_t)v.size();
      int32_t rel = (int32_t)(targets[r.below(300)] - (at + 5));
      v.push_back(0xE8);
      for (int i = 0; i < 4; i++) v.push_back((uint8_t)(rel >> (8 * i)));
    } else if (k < 5) {
      v.push_back(0xE8);  // 0xE8 bytes that are operands or data
      v.push_back(0xE8);
      v.push_back((uint8_t)r.next());
    } else {
      const uint8_t* o = ops[r.below(6)];
      v.insert(v.end(), o, o + 4);
      if (r.below(4) == 0) v.push_back((uint8_t)r.below(16));
    }
  }
  v.resize(n);
  return v;
}

std::vector<uint8_t> mixed(size_t n, uint32_t seed) {
  Rng r(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    size_t part = 1000 + r.below(60000);
    std::vector<uint8_t> p;
    switch (r.below(3)) {
      case 0: p = text(part, r.next()); break;
      case 1: p = x86_code(part, r.next()); break;
      default: p = random_bytes(part / 4, r.next()); break;
    }
    v.insert(v.end(), p.begin(), p.end());
  }
  v.resize(n);
  return v;
}

}  // namespace testdata
