#include "encode/match_finder.h"

#include <algorithm>

#include "encode/symbols.h"

namespace qev {

MatchFinder::MatchFinder(int hash_bits)
    : hash_bits_(hash_bits), head4_(1u << hash_bits), head3_(1u << 16), head2_(1u << 16),
      links_(1u << CHAIN_BITS) {}

void MatchFinder::use_tree(uint32_t depth, uint32_t nice_len) {
  tree_ = true;
  tree_depth_ = depth;
  tree_nice_ = nice_len;
  links_.assign(2u << CHAIN_BITS, 0);
}

void MatchFinder::reset(const uint8_t* buf, uint32_t end) {
  buf_ = buf;
  end_ = end;
  std::fill(head4_.begin(), head4_.end(), 0);
  std::fill(head3_.begin(), head3_.end(), 0);
  std::fill(head2_.begin(), head2_.end(), 0);
  // links_ need no clearing: links are only followed from heads, and a link
  // of a position out of reach is never followed.
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
    c = links_[cand & CHAIN_MASK];
  }
}

// Inserts pos as the root of its hash's tree (when 4 bytes or more are left
// before the stream's end; fewer could not be ordered, and nothing long starts
// there): the old tree is split into the positions whose following bytes
// sort below pos's (hung as pos's smaller child) and those that sort above
// (its larger child). llen and rlen are the bytes every candidate left on the
// smaller or larger side is known to share with pos. Bytes are compared up to
// `limit`; a candidate that matches all of them cannot be ordered against
// pos, so pos takes its place and its children. Under the order of the first
// `limit` bytes the two are equal, so the tree stays ordered as long as limit
// is the same for every position: the prefixes it implies are exact. In the
// stream's last nice_len bytes limit shrinks, the order may come out a little
// off, and lengths are measured anew there. Calls found(length, distance) for
// each candidate longer than `best` (at most max_len), and raises best.
template <class Found>
void MatchFinder::walk_tree(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                            uint32_t& best, Found found) {
  head3_[hash3(pos)] = pos + 1;
  head2_[hash2(pos)] = pos + 1;
  if (end_ - pos < 4) return;
  const uint32_t h4 = hash4(pos);
  const uint32_t limit = std::min(tree_nice_, end_ - pos);
  max_len = std::min(max_len, limit);
  uint32_t c = head4_[h4];
  head4_[h4] = pos + 1;
  uint32_t* smaller = &links_[2 * (pos & CHAIN_MASK)];
  uint32_t* larger = smaller + 1;
  uint32_t llen = 0, rlen = 0;
  const uint8_t* cur = buf_ + pos;
  for (;;) {
    if (!c || pos - (c - 1) > max_dist || depth-- == 0) {
      *smaller = *larger = 0;
      return;
    }
    const uint32_t cand = c - 1;
    const uint8_t* p = buf_ + cand;
    uint32_t* pair = &links_[2 * (cand & CHAIN_MASK)];
    uint32_t len = llen < rlen ? llen : rlen;
    len += common_length(cur + len, p + len, limit - len);
    if (len > best && best < max_len) {
      const uint32_t real =
          limit < tree_nice_ ? common_length(cur, p, std::min(len, max_len)) : std::min(len, max_len);
      if (real > best) {
        best = real;
        found(real, pos - cand);
      }
    }
    if (len >= limit) {
      *smaller = pair[0];
      *larger = pair[1];
      return;
    }
    if (p[len] < cur[len]) {
      *smaller = c;
      smaller = pair + 1;
      c = *smaller;
      llen = len;
    } else {
      *larger = c;
      larger = pair;
      c = *larger;
      rlen = len;
    }
  }
}

void MatchFinder::tree_insert(uint32_t pos) {
  uint32_t best = 0;
  walk_tree(pos, 0, MAX_DISTANCE, tree_depth_, best, [](uint32_t, uint32_t) {});
}

template <class Found>
void MatchFinder::search_long(uint32_t pos, uint32_t max_len, uint32_t max_dist, uint32_t depth,
                              uint32_t nice_len, uint32_t& best, Found found) {
  if (tree_) {
    // The tree's candidates share only a hash: shorter ones may lie past the
    // reach of the length-2 and length-3 tables.
    best = std::max(best, 3u);
    walk_tree(pos, max_len, max_dist, depth, best, found);
    return;
  }
  walk_chain(pos, max_len, max_dist, depth, nice_len, best, found);
  insert(pos);
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
  search_long(pos, max_len, max_dist, depth, nice_len, best,
              [&](uint32_t l, uint32_t d) { out[n++] = {l, d}; });
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
  search_long(pos, max_len, max_dist, depth, nice_len, best, [&](uint32_t l, uint32_t d) { m = {l, d}; });
  return m;
}

}  // namespace qev
