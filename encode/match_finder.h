#pragma once
// Match finder over one stream's bytes.
//
// Positions are stream offsets. Every position is inserted once, in order
// (insert or one of the find calls). Three heads serve the three kinds of
// match the format prices differently: the nearest position with the same two
// bytes (length-2 matches, distances up to 64), with the same three bytes
// (length-3 matches, up to 8192), and, for longer matches, the positions with
// the same 4-byte hash, in one of two forms:
//  - a chain, newest first (the default). Once a match of good_len is found
//    the search goes on for a quarter of the steps left.
//  - a binary tree (use_tree), ordered by the bytes that follow each position
//    and newest at the root: inserting a position splits the tree around it,
//    and the walk down meets the candidates that share the longest prefixes
//    with it, so a few dozen steps find what a chain finds in hundreds. Every
//    insert walks, so inserting costs about what a search does.
// Either way candidates come nearest first, so reported matches grow in
// length and in distance.
//
// Links are indexed by position modulo 2^20 and distances are kept below
// 2^20, so a link within reach is never overwritten before it is followed
// (only the farthest distance the format codes, 2^20, is lost). The tree
// drops every candidate farther than a search's max_dist; this loses nothing
// because the bytes the reader holds only ever move forward, so no later
// search reaches farther back. The stream buffer must have 8 readable bytes
// past the stream's end (hashing reads ahead); lengths never pass max_len nor
// the end given to reset.
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
  // Searches and inserts through the tree from now on: an insert takes at
  // most `depth` steps (a search takes the steps it is given), and bytes are
  // compared up to nice_len, so no longer match is reported.
  void use_tree(uint32_t depth, uint32_t nice_len);
  // Forgets every position (a new stream of `end` bytes at buf).
  void reset(const uint8_t* buf, uint32_t end);

  void insert(uint32_t pos) {
    if (tree_) {
      tree_insert(pos);
      return;
    }
    uint32_t h4 = hash4(pos);
    links_[pos & CHAIN_MASK] = head4_[h4];
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
  void tree_insert(uint32_t pos);
  // The tree's or the chain's search for matches of 4 bytes or more, then
  // the insertion of pos.
  template <class Found>
  void search_long(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth, uint32_t nice_len,
                   uint32_t& best, Found found);
  template <class Found>
  void walk_tree(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth, uint32_t& best,
                 Found found);
  template <class Found>
  void walk_chain(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                  uint32_t nice_len, uint32_t& best, Found found) const;

  const uint8_t* buf_ = nullptr;
  uint32_t end_ = 0;
  int hash_bits_;
  bool tree_ = false;
  uint32_t tree_depth_ = 0, tree_nice_ = 0;
  // position + 1, 0 = none; in tree mode head4_ holds the roots and links_
  // two children per position (smaller, larger), else one chain link.
  std::vector<uint32_t> head4_, head3_, head2_, links_;
};

}  // namespace qev
