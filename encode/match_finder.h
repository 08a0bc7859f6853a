#pragma once
// Hash-chain match finder over one stream's bytes.
//
// Positions are stream offsets. Every position is inserted once, in order
// (insert or one of the find calls). Three heads serve the three kinds of
// match the format prices differently: the nearest position with the same two
// bytes (length-2 matches, distances up to 64), with the same three bytes
// (length-3 matches, up to 8192), and a chain of positions with the same four
// bytes for longer matches. Candidates come nearest first, so reported
// matches grow in length and in distance.
//
// The chain table is indexed by position modulo 2^20 and distances are kept
// below 2^20, so a chain link within reach is never overwritten before it is
// followed (only the farthest distance the format codes, 2^20, is lost). Once a
// match of good_len is found the search goes on for a quarter of the steps
// left. The stream buffer must have 8 readable bytes past the
// last position searched (hashing reads ahead); lengths never pass max_len.
#include <stdint.h>
#include <string.h>

#include <vector>

namespace qev {

struct Match {
  uint32_t len;
  uint32_t dist;
};

inline uint32_t load32(const uint8_t* p) { uint32_t v; memcpy(&v, p, 4); return v; }
inline uint64_t load64(const uint8_t* p) { uint64_t v; memcpy(&v, p, 8); return v; }

// Common prefix length of a and b, at most max (reads whole words up to max).
inline uint32_t common_length(const uint8_t* a, const uint8_t* b, uint32_t max) {
  uint32_t n = 0;
  while (n + 8 <= max) {
    uint64_t x = load64(a + n) ^ load64(b + n);
    if (x) return n + (uint32_t)(__builtin_ctzll(x) >> 3);
    n += 8;
  }
  while (n < max && a[n] == b[n]) n++;
  return n;
}

class MatchFinder {
 public:
  static constexpr int CHAIN_BITS = 20;
  static constexpr uint32_t MAX_DISTANCE = (1u << CHAIN_BITS) - 1;
  explicit MatchFinder(int hash_bits = 16);
  // Forgets every position (a new stream).
  void reset(const uint8_t* buf);

  void insert(uint32_t pos) {
    uint32_t h4 = hash4(pos);
    chain_[pos & CHAIN_MASK] = head4_[h4];
    head4_[h4] = pos + 1;
    head3_[hash3(pos)] = pos + 1;
    head2_[hash2(pos)] = pos + 1;
  }
  // Every improving match at pos (lengths 2..max_len, distances up to
  // max_dist, length-2 matches only within 64, length-3 within 8192), at most
  // `depth` chain steps, stopping at a match of nice_len. Inserts pos.
  // Returns the count written to out (at most max_len - 1 entries).
  uint32_t find_all(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                    uint32_t nice_len, Match* out);
  // The longest match of 3 or more bytes (ties: the nearest), or len 0.
  // Inserts pos.
  Match find_longest(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                     uint32_t nice_len);

 private:
  static constexpr uint32_t CHAIN_MASK = (1u << CHAIN_BITS) - 1;
  uint32_t hash4(uint32_t pos) const { return (load32(buf_ + pos) * 2654435761u) >> (32 - hash_bits_); }
  uint32_t hash3(uint32_t pos) const { return ((load32(buf_ + pos) << 8) * 2654435761u) >> 16; }
  uint32_t hash2(uint32_t pos) const { return buf_[pos] | (buf_[pos + 1] << 8); }
  template <class Found>
  void walk_chain(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                  uint32_t nice_len, uint32_t& best, Found found) const;

  const uint8_t* buf_ = nullptr;
  int hash_bits_;
  std::vector<uint32_t> head4_, head3_, head2_, chain_;  // position + 1, 0 = none
};

}  // namespace qev
