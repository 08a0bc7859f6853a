#pragma once
// Writes bit fields least significant bit first: the first bit written is bit
// 0 of the first byte, and a field of n bits has its bit 0 written first. This
// is the order in which the reader peeks a little-endian word and shifts it.
//
// Bits accumulate in a 64-bit register and leave in whole bytes; bytes() is
// only complete after flush(), which pads the last byte with zero bits.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

namespace qev {

class BitWriter {
 public:
  // Appends to out. Until flush(), out may hold spare bytes past the bits.
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out), pos_(out.size()), base_bits_(out.size() * 8) {}

  // n <= 32; value must fit in n bits.
  void put(uint32_t value, int n) {
    acc_ |= (uint64_t)value << count_;
    count_ += n;
    if (count_ >= 32) {
      if (out_.size() < pos_ + 8) out_.resize(pos_ + 4096);  // capacity grows geometrically
      uint32_t w = (uint32_t)acc_;
      memcpy(out_.data() + pos_, &w, 4);  // little-endian host
      pos_ += 4;
      acc_ >>= 32;
      count_ -= 32;
    }
  }
  // Bits written since construction.
  uint64_t bit_count() const { return pos_ * 8 + count_ - base_bits_; }
  // Writes out the pending bits, the last byte padded with zeros, and trims
  // out to the bytes written.
  void flush() {
    out_.resize(pos_);
    while (count_ > 0) {
      out_.push_back((uint8_t)acc_);
      acc_ >>= 8;
      count_ = count_ > 8 ? count_ - 8 : 0;
    }
    pos_ = out_.size();
    acc_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  size_t pos_;
  uint64_t acc_ = 0;
  int count_ = 0;
  size_t base_bits_;
};

// Overwrites n bits (n <= 32) at bit position `bit` of `bytes` (LSB-first).
inline void patch_bits(uint8_t* bytes, uint64_t bit, uint32_t value, int n) {
  for (int i = 0; i < n; i++, bit++) {
    uint8_t mask = (uint8_t)(1u << (bit & 7));
    if ((value >> i) & 1) bytes[bit >> 3] |= mask;
    else bytes[bit >> 3] &= (uint8_t)~mask;
  }
}

}  // namespace qev
