#pragma once
// SHA-256 (FIPS 180-4): the packer's proof that two files hold the same
// bytes, so that one stored copy may serve both. A cryptographic digest,
// since a crafted pair of files must not be able to pass for each other.
#include <stddef.h>
#include <stdint.h>

namespace qev {

struct Digest {
  uint8_t bytes[32];
  bool operator==(const Digest& o) const;
  bool operator!=(const Digest& o) const { return !(*this == o); }
};

class Sha256 {
 public:
  Sha256();
  void update(const uint8_t* data, size_t size);
  Digest finish();  // the object is then spent

 private:
  void compress(const uint8_t* block);
  uint32_t h_[8];
  uint8_t block_[64];
  size_t used_ = 0;     // bytes in block_
  uint64_t total_ = 0;  // bytes hashed
};

}  // namespace qev
