#include <algorithm>
#include <initializer_list>

#include "encode/parser.h"
#include "encode/symbols.h"

namespace qev {
namespace {

// Rough bits saved by a match over sending its bytes as literals; the
// registers and the short distances are much cheaper than a new distance.
int match_value(uint32_t len, uint32_t dist, uint32_t last, uint32_t prev) {
  int cost;
  if (dist == last) cost = 3;
  else if (dist == prev) cost = 4;
  else if (dist <= 4) cost = 5;
  else cost = 4 + bit_width(dist - 1);
  cost += len <= 10 ? 5 : len <= 258 ? 7 + (bit_width(len - 3) - 3) : 22;
  return (int)(8 * len) - cost;
}

struct Choice {
  uint32_t len = 0, dist = 0;
  int value = 0;
};

}  // namespace

void insert_span(MatchFinder& mf, uint32_t start, uint32_t len) {
  for (uint32_t i = 0; i < len; i++) mf.insert(start + i);
}

void parse_greedy(MatchFinder& mf, const BlockSpan& b, const ParseParams& pp, std::vector<Item>& out) {
  out.clear();
  const uint8_t* buf = b.buf;
  const uint32_t end = b.start + b.len;
  uint32_t last = 0, prev = 0;
  uint32_t ins = b.start;  // every position below ins is in the match finder
  // Best choice at pos == ins (inserts pos).
  auto best_at = [&](uint32_t pos) {
    Choice c;
    uint32_t max_len = std::min(end - pos, MAX_MATCH);
    uint32_t max_dist = std::min(b.reach + (pos - b.start), MAX_MATCH_DISTANCE);
    ins = pos + 1;
    if (max_len < 2) { mf.insert(pos); return c; }
    Match m = mf.find_longest(pos, max_len, max_dist, pp.depth, pp.nice_len);
    if (m.len) c = {m.len, m.dist, match_value(m.len, m.dist, last, prev)};
    for (uint32_t r : {last, prev}) {
      if (r == 0 || r > max_dist) continue;
      uint32_t l = common_length(buf + pos, buf + pos - r, max_len);
      if (l >= 2) {
        int v = match_value(l, r, last, prev);
        if (v > c.value) c = {l, r, v};
      }
    }
    return c;
  };
  uint32_t pos = b.start;
  Choice cur = best_at(pos);
  while (pos < end) {
    if (cur.value <= 0) {
      out.push_back({0, buf[pos]});
      pos++;
      if (pos < end) cur = best_at(pos);
      continue;
    }
    // Look ahead inside the match: a better match one (or two) bytes on is
    // worth the literals before it.
    bool deferred = false;
    for (uint32_t k = 1; k <= (uint32_t)pp.lazy && k < cur.len && cur.len < pp.nice_len; k++) {
      Choice next = best_at(pos + k);
      if (next.value > cur.value + 8 * (int)k - 2) {
        for (uint32_t j = 0; j < k; j++) out.push_back({0, buf[pos + j]});
        pos += k;
        cur = next;
        deferred = true;
        break;
      }
    }
    if (deferred) continue;
    out.push_back({cur.len, cur.dist});
    if (cur.dist != last && (cur.dist == prev || cur.dist > 4)) {
      prev = last;
      last = cur.dist;
    }
    uint32_t mend = pos + cur.len;
    if (pp.insert_all) {
      while (ins < mend) mf.insert(ins++);
    } else {
      ins = mend;
    }
    pos = mend;
    if (pos < end) cur = best_at(pos);
  }
  while (ins < end) mf.insert(ins++);
}

}  // namespace qev
