#include "test_data.h"

#include <stddef.h>
#include <string.h>

#include "shell/stub_config.h"

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

namespace testdata {

std::vector<uint8_t> stub_image() {
  stub_config_reset();
  const size_t block_size = sizeof(StubConfig);
  std::vector<uint8_t> block((const uint8_t*)&stub_config, (const uint8_t*)&stub_config + block_size);
  // Pointers into the block move to its address in the image; the others
  // (the destination buffer, the read-only texts) to the code section.
  const uintptr_t host = (uintptr_t)&stub_config;
  const size_t pointers[] = {
      offsetof(StubConfig, title),           offsetof(StubConfig, alternative_destination),
      offsetof(StubConfig, destination),     offsetof(StubConfig, help_text),
      offsetof(StubConfig, intro_format),    offsetof(StubConfig, prompt_format),
      offsetof(StubConfig, program_name),    offsetof(StubConfig, uninstall_key),
      offsetof(StubConfig, registry_values), offsetof(StubConfig, preset_destination),
      offsetof(StubConfig, done_format)};
  for (size_t at : pointers) {
    uint64_t v;
    memcpy(&v, &block[at], 8);
    v = v >= host && v < host + block_size ? STUB_BLOCK_ADDRESS + (v - host) : STUB_IMAGE_BASE + 0x1000;
    memcpy(&block[at], &v, 8);
  }
  size_t used = block_size;
  while (used && !block[used - 1]) used--;
  const uint32_t data_raw = (uint32_t)((used + 0x1FF) & ~0x1FFu);
  const uint32_t data_virtual = (uint32_t)block_size + 0x1000;

  std::vector<uint8_t> image(0x400 + data_raw, 0);
  auto put16 = [&](size_t at, uint16_t v) { image[at] = (uint8_t)v; image[at + 1] = (uint8_t)(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; i++) image[at + i] = (uint8_t)(v >> (8 * i)); };
  image[0] = 'M';
  image[1] = 'Z';
  put32(60, 0x40);
  memcpy(&image[0x40], "PE\0\0", 4);
  put16(0x44, 0x8664);  // x86-64
  put16(0x46, 2);       // sections
  put16(0x54, 240);     // optional header
  const size_t opt = 0x58;
  put16(opt, 0x20B);
  put32(opt + 24, (uint32_t)STUB_IMAGE_BASE);
  put32(opt + 28, (uint32_t)(STUB_IMAGE_BASE >> 32));
  put32(opt + 32, 0x1000);  // section alignment
  put32(opt + 36, 0x200);   // file alignment
  put32(opt + 56, 0x2000 + ((data_virtual + 0xFFF) & ~0xFFFu));
  put32(opt + 60, 0x200);   // headers
  put32(opt + 108, 16);     // data directory entries
  const size_t sections = opt + 240;
  memcpy(&image[sections], ".text", 5);
  put32(sections + 8, 0x100);
  put32(sections + 12, 0x1000);
  put32(sections + 16, 0x200);
  put32(sections + 20, 0x200);
  put32(sections + 36, 0x60000020);
  memcpy(&image[sections + 40], ".data", 5);
  put32(sections + 48, data_virtual);
  put32(sections + 52, 0x2000);
  put32(sections + 56, data_raw);
  put32(sections + 60, 0x400);
  put32(sections + 76, 0xC0000040);
  memcpy(&image[0x400], block.data(), used);
  return image;
}

}  // namespace testdata
