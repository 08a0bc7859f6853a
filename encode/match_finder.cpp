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

uint32_t MatchFinder::find_all(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                               uint32_t nice_len, Match* out) {
  uint32_t n = 0, best = 1;
  if (max_dist > MAX_DISTANCE) max_dist = MAX_DISTANCE;
  const uint32_t good_len = nice_len / 4 > 8 ? nice_len / 4 : 8;
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
  uint32_t h4 = hash4(pos);
  uint32_t c = head4_[h4];
  if (max_len >= 4) {
    while (c && depth-- && best < max_len && best < nice_len) {
      uint32_t cand = c - 1;
      uint32_t d = pos - cand;
      if (d > max_dist) break;
      const uint8_t* p = buf_ + cand;
      if (p[best] == cur[best] && load32(p) == load32(cur)) {
        uint32_t l = common_length(cur, p, max_len);
        if (l > best) {
          if (best < good_len && l >= good_len) depth >>= 2;
          out[n++] = {l, d};
          best = l;
        }
      }
      c = chain_[cand & CHAIN_MASK];
    }
  }
  chain_[pos & CHAIN_MASK] = head4_[h4];
  head4_[h4] = pos + 1;
  head3_[hash3(pos)] = pos + 1;
  head2_[hash2(pos)] = pos + 1;
  return n;
}

Match MatchFinder::find_longest(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                                uint32_t nice_len) {
  Match m = {0, 0};
  if (max_dist > MAX_DISTANCE) max_dist = MAX_DISTANCE;
  const uint32_t good_len = nice_len / 4 > 8 ? nice_len / 4 : 8;
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
  uint32_t h4 = hash4(pos);
  uint32_t c = head4_[h4];
  if (max_len >= 4) {
    while (c && depth-- && best < max_len && best < nice_len) {
      uint32_t cand = c - 1;
      uint32_t d = pos - cand;
      if (d > max_dist) break;
      const uint8_t* p = buf_ + cand;
      if (p[best] == cur[best] && load32(p) == load32(cur)) {
        uint32_t l = common_length(cur, p, max_len);
        if (l > best) {
          if (best < good_len && l >= good_len) depth >>= 2;
          m = {l, d};
          best = l;
        }
      }
      c = chain_[cand & CHAIN_MASK];
    }
  }
  chain_[pos & CHAIN_MASK] = head4_[h4];
  head4_[h4] = pos + 1;
  head3_[hash3(pos)] = pos + 1;
  head2_[hash2(pos)] = pos + 1;
  return m;
}

}  // namespace qev
