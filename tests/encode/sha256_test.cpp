// SHA-256 against the published examples, and fed in every kind of piece.
#include <gtest/gtest.h>

#include <string>

#include "encode/sha256.h"
#include "test_data.h"

namespace {

std::string hex(const qev::Digest& d) {
  std::string s;
  char b[3];
  for (uint8_t v : d.bytes) {
    snprintf(b, sizeof b, "%02x", v);
    s += b;
  }
  return s;
}

std::string sha(const std::string& text) {
  qev::Sha256 h;
  h.update((const uint8_t*)text.data(), text.size());
  return hex(h.finish());
}

TEST(Sha256, PublishedExamplesAndPieces) {
  EXPECT_EQ(sha(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // Lengths around the padding's edges, fed whole and in uneven pieces.
  auto data = testdata::random_bytes(700, 5);
  for (size_t n : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 700u}) {
    qev::Sha256 whole, pieces;
    whole.update(data.data(), n);
    for (size_t at = 0, k = 1; at < n; at += k, k = k * 3 % 67 + 1)
      pieces.update(data.data() + at, std::min(k, n - at));
    EXPECT_EQ(hex(whole.finish()), hex(pieces.finish())) << n;
  }
}

}  // namespace
