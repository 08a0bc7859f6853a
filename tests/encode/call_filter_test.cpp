// The forward call filters against the stub's translation, written here from
// its rules: worked examples, operands at the member's end, 0xE8 bytes inside
// operands, and random round trips.
#include <gtest/gtest.h>

#include "archive/layout.h"
#include "encode/call_filter.h"
#include "test_data.h"

namespace {

// The stub's inverse of one 32-bit operand v at member offset p, member size n.
uint32_t stub_32(uint32_t v, uint32_t p, uint32_t n) {
  if ((int32_t)v < 0 && (int64_t)(int32_t)v >= -(int64_t)p) return n - p - 1 - v;
  if (v < n) return v - p;
  return v;
}

// Applies the stub's scan to a whole member.
void stub_unfilter(std::vector<uint8_t>& d, int m) {
  uint32_t n = (uint32_t)d.size();
  for (uint32_t i = 0; i + 1 + m <= n;) {
    if (d[i] != 0xE8) { i++; continue; }
    uint32_t p = i + 1;
    if (m == 4) store_le32(&d[p], stub_32(load_le32(&d[p]), p, n));
    else store_le16(&d[p], (uint16_t)(load_le16(&d[p]) - p));
    i = p + m;
  }
}

TEST(CallFilter, WorkedExamples32) {
  const uint32_t n = 0x94000, p = 0x800;
  std::vector<uint8_t> d(n, 0);
  auto filtered = [&](uint32_t o) {
    std::fill(d.begin(), d.end(), 0);
    d[p - 1] = 0xE8;
    store_le32(&d[p], o);
    qev::filter_e8_32(d.data(), d.size());
    return load_le32(&d[p]);
  };
  // Stored values of the stub's examples map back to these originals.
  EXPECT_EQ(filtered(0x800), 0x1000u);                 // o + p < N: o + p
  EXPECT_EQ(filtered(stub_32(0xFFFFFFF0u, p, n)), 0xFFFFFFF0u);
  EXPECT_EQ(stub_32(0xFFFFFFF0u, p, n), 0x9380Fu);
  EXPECT_EQ(filtered(0x00100000), stub_32(0x00100000, p, n) == 0x00100000 ? 0x00100000u : 0u);
  EXPECT_EQ(filtered((uint32_t)-0x1000), (uint32_t)-0x1000);  // below -p: unchanged
}

TEST(CallFilter, WorkedExample16) {
  std::vector<uint8_t> d(0x200, 0);
  d[0xFF] = 0xE8;
  store_le16(&d[0x100], 0x1134);
  qev::filter_e8_16(d.data(), d.size());
  EXPECT_EQ(load_le16(&d[0x100]), 0x1234);
}

TEST(CallFilter, OperandsAtTheEndAndInsideOperands) {
  for (int m : {2, 4}) {
    for (size_t n = 0; n < 16; n++) {
      for (size_t at = 0; at < n; at++) {
        std::vector<uint8_t> d(n, 0x11);
        d[at] = 0xE8;
        if (at + 1 < n) d[at + 1] = 0xE8;  // an 0xE8 that is an operand byte
        std::vector<uint8_t> f = d;
        m == 4 ? qev::filter_e8_32(f.data(), n) : qev::filter_e8_16(f.data(), n);
        if (at + 1 + m > n) EXPECT_EQ(f, d) << "cut-off operand changed, n " << n << " at " << at;
        stub_unfilter(f, m);
        EXPECT_EQ(f, d) << "m " << m << " n " << n << " at " << at;
      }
    }
  }
  std::vector<uint8_t> all(1000, 0xE8);  // every fifth byte is a call
  for (int m : {2, 4}) {
    std::vector<uint8_t> f = all;
    m == 4 ? qev::filter_e8_32(f.data(), f.size()) : qev::filter_e8_16(f.data(), f.size());
    stub_unfilter(f, m);
    EXPECT_EQ(f, all);
  }
}

TEST(CallFilter, RandomRoundTrips) {
  for (uint32_t seed = 1; seed <= 30; seed++) {
    auto d = seed % 2 ? testdata::x86_code(50000 + seed * 977, seed) : testdata::random_bytes(20000 + seed, seed);
    // Operands near every boundary of the three cases.
    for (int k = 0; k < 50 && d.size() > 100; k++) {
      uint32_t p = (uint32_t)(7 + k * 131 % (d.size() - 20));
      d[p - 1] = 0xE8;
      uint32_t n = (uint32_t)d.size();
      uint32_t vals[] = {n - p, n - p - 1, n, 0u - p, 0u - p - 1, 0x7FFFFFFF, 0x80000000u, 0};
      store_le32(&d[p], vals[k % 8]);
    }
    for (int m : {2, 4}) {
      std::vector<uint8_t> f = d;
      m == 4 ? qev::filter_e8_32(f.data(), f.size()) : qev::filter_e8_16(f.data(), f.size());
      std::vector<uint8_t> g = f, whole = f;
      stub_unfilter(f, m);
      EXPECT_EQ(f, d) << seed;
      m == 4 ? qev::unfilter_e8_32(g.data(), g.size()) : qev::unfilter_e8_16(g.data(), g.size());
      EXPECT_EQ(g, d) << seed;
      // The member arriving in pieces of 1 to a few hundred bytes: operands
      // cut between pieces wait for the next one.
      std::vector<uint8_t> h = d;
      qev::CallFilterRun run(m == 4 ? FLAG_E8_32 : FLAG_E8_16, h.size());
      uint64_t have = 0;
      for (uint32_t k = 0; have < h.size(); k++) {
        have = std::min<uint64_t>(h.size(), have + 1 + (k * 2654435761u >> 24) % (k % 3 ? 7 : 400));
        uint64_t done = run.run(h.data() + run.done(), have);
        EXPECT_TRUE(done <= have && done + m >= have) << seed;
      }
      EXPECT_EQ(run.done(), h.size());
      EXPECT_EQ(h, whole) << seed;
    }
  }
}

TEST(CallFilter, DetectsPeByContent) {
  auto pe = testdata::x86_code(4096, 3, true);
  EXPECT_TRUE(qev::is_x86_pe(pe.data(), pe.size()));
  pe[0x84] = 0xC4; pe[0x85] = 0x01;  // ARM Thumb-2
  EXPECT_FALSE(qev::is_x86_pe(pe.data(), pe.size()));
  pe[0x84] = 0x4C; pe[0x85] = 0x01;  // i386
  EXPECT_TRUE(qev::is_x86_pe(pe.data(), pe.size()));
  pe[0x80] = 'N';
  EXPECT_FALSE(qev::is_x86_pe(pe.data(), pe.size()));
  auto mz_only = testdata::text(4096, 1);
  mz_only[0] = 'M'; mz_only[1] = 'Z';
  EXPECT_FALSE(qev::is_x86_pe(mz_only.data(), mz_only.size()));
  EXPECT_FALSE(qev::is_x86_pe(pe.data(), 10));
  // ELF: programs and shared objects for i386 and x86-64; not relocatable
  // objects, other machines, big-endian files or cut headers.
  std::vector<uint8_t> elf = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 62, 0};
  EXPECT_TRUE(qev::is_x86_elf_image(elf.data(), elf.size()));
  elf[16] = 2; elf[18] = 3; elf[4] = 1;
  EXPECT_TRUE(qev::is_x86_elf_image(elf.data(), elf.size()));
  EXPECT_FALSE(qev::is_x86_elf_image(elf.data(), 19));
  elf[16] = 1;  // relocatable
  EXPECT_FALSE(qev::is_x86_elf_image(elf.data(), elf.size()));
  elf[16] = 3; elf[18] = 183;  // AArch64
  EXPECT_FALSE(qev::is_x86_elf_image(elf.data(), elf.size()));
  elf[18] = 62; elf[5] = 2;  // big-endian
  EXPECT_FALSE(qev::is_x86_elf_image(elf.data(), elf.size()));
}

}  // namespace
