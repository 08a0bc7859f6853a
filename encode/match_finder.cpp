#include "encode/match_finder.h"

#include <algorithm>

#include "encode/symbols.h"

namespace qev {

MatchFinder::MatchFinder(int hash_bits)
    : hash_bits_(hash_bits), head4_(1u << hash_bits), head3_(1u << 16), head2_(1u << 16),
      chain_(1u << CHAIN_BITS) {}

void MatchFinder::reset(const uint8_t* buf) {
  buf_ = buf;
  std::fill(head4_.begin(), head4_.end(), 0);
  std::fill(head3_.begin(), head3_.end(), 0);
  std::fill(head2_.begin(), head2_.end(), 0);
  // chain_ needs no clearing: links are only followed from heads, and a link
  // of a position outside the window is never followed.
}

// Follows the 4-byte hash chain from pos, at most `depth` steps and no
// farther than max_dist, while `best` is below max_len and nice_len; calls
// found(length, distance) for each match longer than `best`, which it then
// raises. Past a match of good_len bytes a quarter of the steps left remain:
// a long match is rarely bettered by much.
template <class Found>
void MatchFinder::walk_chain(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                             uint32_t nice_len, uint32_t& best, Found found) const {
  if (max_len < 4) return;
  const uint32_t good_len = nice_len / 4 > 8 ? nice_len / 4 : 8;
  const uint8_t* cur = buf_ + pos;
  uint32_t c = head4_[hash4(pos)];
  while (c && depth-- && best < max_len && best < nice_len) {
    uint32_t cand = c - 1;
    uint32_t d = pos - cand;
    if (d > max_dist) break;
    const uint8_t* p = buf_ + cand;
    if (p[best] == cur[best] && load32(p) == load32(cur)) {
      uint32_t l = common_length(cur, p, max_len);
      if (l > best) {
        if (best < good_len && l >= good_len) depth >>= 2;
        found(l, d);
        best = l;
      }
    }
    c = chain_[cand & CHAIN_MASK];
  }
}

uint32_t MatchFinder::find_all(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                               uint32_t nice_len, Match* out) {
  uint32_t n = 0, best = 1;
  if (max_dist > MAX_DISTANCE) max_dist = MAX_DISTANCE;
  const uint8_t* cur = buf_ + pos;
  if (max_len >= 2) {
    uint32_t c = head2_[hash2(pos)];
    if (c) {
      uint32_t d = pos + 1 - c;
      if (d <= max_dist && d <= TABLE1_MAX_DISTANCE) {
        uint32_t l = common_length(cur, cur - d, max_len);
        if (l > best) { out[n++] = {l, d}; best = l; }
      }
    }
  }
  if (max_len >= 3 && best < max_len) {
    uint32_t c = head3_[hash3(pos)];
    if (c) {
      uint32_t d = pos + 1 - c;
      if (d <= max_dist && d <= TABLE2_MAX_DISTANCE) {
        uint32_t l = common_length(cur, cur - d, max_len);
        if (l > best && l >= 3) { out[n++] = {l, d}; best = l; }
      }
    }
  }
  walk_chain(pos, max_len, max_dist, depth, nice_len, best,
             [&](uint32_t l, uint32_t d) { out[n++] = {l, d}; });
  insert(pos);
  return n;
}

Match MatchFinder::find_longest(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                                uint32_t nice_len) {
  Match m = {0, 0};
  if (max_dist > MAX_DISTANCE) max_dist = MAX_DISTANCE;
  const uint8_t* cur = buf_ + pos;
  uint32_t best = 2;
  if (max_len >= 3) {
    uint32_t c = head3_[hash3(pos)];
    if (c) {
      uint32_t d = pos + 1 - c;
      if (d <= max_dist && d <= TABLE2_MAX_DISTANCE) {
        uint32_t l = common_length(cur, cur - d, max_len);
        if (l >= 3) { m = {l, d}; best = l; }
      }
    }
  }
  walk_chain(pos, max_len, max_dist, depth, nice_len, best,
             [&](uint32_t l, uint32_t d) { m = {l, d}; });
  insert(pos);
  return m;
}

}  // namespace qev
