// Price-based parse: a shortest path over the block's positions where each
// edge is a literal or a match priced in 1/16 bits from the symbol statistics
// of the previous pass (or block). Each position keeps the cheapest arrival
// and the distance registers of that arrival, which price the register
// symbols of the edges leaving it. Since one arrival per position forgets the
// registers of the others, a match also gets an edge that goes on with one
// literal and the longest match at the same distance (register 0): records
// that differ in a byte or two, common in binaries (0.3-0.5 % smaller at level
// 9 on programs, libraries and the benchmark corpus, at no measurable cost).
#include <math.h>

#include <algorithm>

#include "encode/parser.h"
#include "encode/symbols.h"

namespace qev {
namespace {

constexpr uint32_t INF = 0xFFFFFFFFu;

struct Prices {
  uint32_t lit[256];
  uint32_t len[260];        // lengths 2..259; 259 stands for every longer length
  uint32_t dist[3][42];     // symbol price plus extra bits
};

uint32_t price_of(uint32_t f, uint64_t total, int n) {
  double p = (f + 0.35) / ((double)total + 0.35 * n);
  double bits = -log2(p);
  if (bits < 1) bits = 1;
  if (bits > 24) bits = 24;
  return (uint32_t)(bits * 16 + 0.5);
}

void make_prices(const ParseStats& s, Prices& p) {
  uint32_t lit[288];
  if (s.valid) {
    uint64_t t = 0;
    for (int i = 0; i < 288; i++) t += s.lit[i];
    for (int i = 0; i < 288; i++) lit[i] = price_of(s.lit[i], t, 288);
  } else {
    for (int i = 0; i < 288; i++) lit[i] = i < 256 ? 8 * 16 : i <= 265 ? 6 * 16 : 8 * 16;
  }
  for (int i = 0; i < 256; i++) p.lit[i] = lit[i];
  for (uint32_t l = 2; l <= 259; l++) {
    LengthCode lc = length_code(l);
    p.len[l] = lit[lc.symbol] + 16 * lc.extra_bits;
  }
  for (int t = 0; t < 3; t++) {
    uint64_t tot = 0;
    for (int i = 0; i < DIST_SYMBOLS[t]; i++) tot += s.dist[t][i];
    for (int i = 0; i < DIST_SYMBOLS[t]; i++) {
      uint32_t base = s.valid && tot ? price_of(s.dist[t][i], tot, DIST_SYMBOLS[t]) : (i < 2 ? 3 * 16 : 5 * 16);
      p.dist[t][i] = base + 16 * distance_extra_bits(i);
    }
  }
}

void gather_stats(const std::vector<Item>& items, ParseStats& s) {
  ParseStats n;
  uint32_t last = 0, prev = 0;
  for (const Item& it : items) {
    if (it.len == 0) { n.lit[it.value]++; continue; }
    uint32_t d = it.value, dcode;
    if (d == last) dcode = 0;
    else if (d == prev) { dcode = 1; prev = last; last = d; }
    else { dcode = d + 1; if (d > 4) { prev = last; last = d; } }
    n.lit[length_code(it.len).symbol]++;
    n.dist[distance_table(it.len, 3)][distance_code(dcode).symbol]++;
  }
  n.valid = true;
  // Keep a little of the older statistics so that rare symbols stay priced.
  if (s.valid) {
    for (int i = 0; i < 288; i++) n.lit[i] += s.lit[i] / 8;
    for (int t = 0; t < 3; t++)
      for (int i = 0; i < 42; i++) n.dist[t][i] += s.dist[t][i] / 8;
  }
  s = n;
}

struct Node {
  uint32_t cost;
  uint32_t len;   // arriving edge: 1 literal, else match length
  uint32_t dist;  // arriving match distance
  uint32_t last, prev;
  uint32_t rep;   // > 0: the match is followed by a literal and a match of
                  // this length at the same distance (register symbol 0)
};

}  // namespace

void parse_optimal(MatchFinder& mf, const BlockSpan& b, const ParseParams& pp, ParseStats& stats,
                   std::vector<Item>& out) {
  const uint8_t* buf = b.buf;
  const uint32_t n = b.len;
  // Matches of every searched position, found in the first pass and reused.
  std::vector<uint32_t> first(n + 1, 0);
  std::vector<Match> matches;
  matches.reserve(n);
  std::vector<Node> node(n + 1);
  Match found[512];
  Prices pr;
  const uint32_t nice = std::min<uint32_t>(pp.nice_len, 500);
  const int passes = std::max(1, pp.passes) + (stats.valid ? 0 : 1);
  for (int pass = 0; pass < passes; pass++) {
    make_prices(stats, pr);
    for (uint32_t i = 0; i <= n; i++) node[i].cost = INF;
    node[0] = {0, 0, 0, 0, 0, 0};
    // A match of len at d that ends at i + len, reached for cost, then one
    // literal and the longest match at d again, which register 0 codes.
    auto then_repeat = [&](uint32_t i, uint32_t len, uint32_t d, uint32_t cost, uint32_t nl, uint32_t np) {
      const uint32_t at = i + len + 1;
      if (at + 2 > n) return;
      const uint32_t p = b.start + at;
      const uint32_t l2 = common_length(buf + p, buf + p - d, std::min(n - at, MAX_MATCH));
      if (l2 < 2) return;
      const uint32_t cc = cost + pr.lit[buf[p - 1]] + pr.len[std::min(l2, 259u)] + pr.dist[distance_table(l2, 3)][0];
      if (cc < node[at + l2].cost) node[at + l2] = {cc, len, d, nl, np, l2};
    };
    uint32_t i = 0;
    while (i < n) {
      const Node cur = node[i];
      const uint32_t pos = b.start + i;
      const uint32_t max_len = std::min(n - i, MAX_MATCH);
      const uint32_t max_dist = std::min(b.reach + i, MAX_MATCH_DISTANCE);
      uint32_t mcount;
      const Match* m;
      if (pass == 0) {
        mcount = max_len >= 2 ? mf.find_all(pos, std::min(max_len, nice), max_dist, pp.depth, nice, found) : 0;
        if (max_len < 2) mf.insert(pos);
        if (mcount && found[mcount - 1].len == std::min(max_len, nice) && max_len > nice) {
          // The search stopped at nice: extend the longest match.
          Match& lm = found[mcount - 1];
          lm.len = common_length(buf + pos, buf + pos - lm.dist, max_len);
        }
        first[i] = (uint32_t)matches.size();
        matches.insert(matches.end(), found, found + mcount);
        first[i + 1] = (uint32_t)matches.size();
        m = found;
      } else {
        m = matches.data() + first[i];
        mcount = first[i + 1] - first[i];
      }
      // Literal.
      uint32_t c = cur.cost + pr.lit[buf[pos]];
      if (c < node[i + 1].cost) node[i + 1] = {c, 1, 0, cur.last, cur.prev, 0};
      uint32_t longest = 0, longest_dist = 0;
      // Register matches.
      for (int r = 0; r < 2; r++) {
        uint32_t d = r ? cur.prev : cur.last;
        if (d == 0 || d > max_dist || (r == 1 && d == cur.last)) continue;
        uint32_t l = common_length(buf + pos, buf + pos - d, max_len);
        if (l < 2) continue;
        uint32_t nl = r ? cur.prev : cur.last, np = r ? cur.last : cur.prev;
        for (uint32_t L = 2; L <= l; L++) {
          uint32_t cc = cur.cost + pr.len[std::min(L, 259u)] + pr.dist[distance_table(L, 3)][r];
          if (cc < node[i + L].cost) node[i + L] = {cc, L, d, nl, np, 0};
        }
        if (l > longest) { longest = l; longest_dist = d; }
        uint32_t cc = cur.cost + pr.len[std::min(l, 259u)] + pr.dist[distance_table(l, 3)][r];
        then_repeat(i, l, d, cc, nl, np);
      }
      // Found matches: each length at the nearest distance that reaches it.
      uint32_t L = 2;
      for (uint32_t k = 0; k < mcount; k++) {
        uint32_t ml = m[k].len, d = m[k].dist;
        if (d == cur.last || d == cur.prev) { L = std::max(L, ml + 1); continue; }
        uint32_t dcode = d + 1, nl = cur.last, np = cur.prev;
        if (d > 4) { nl = d; np = cur.last; }
        DistanceCode dc = distance_code(dcode);
        for (; L <= ml; L++) {
          if (L == 2 && d > TABLE1_MAX_DISTANCE) continue;
          if (L == 3 && d > TABLE2_MAX_DISTANCE) continue;
          uint32_t cc = cur.cost + pr.len[std::min(L, 259u)] + pr.dist[distance_table(L, 3)][dc.symbol];
          if (cc < node[i + L].cost) node[i + L] = {cc, L, d, nl, np, 0};
        }
        if (ml > longest) { longest = ml; longest_dist = d; }
        if (d == nl && (ml > 3 || (ml == 3 && d <= TABLE2_MAX_DISTANCE) || d <= TABLE1_MAX_DISTANCE))
          then_repeat(i, ml, d, cur.cost + pr.len[std::min(ml, 259u)] + pr.dist[distance_table(ml, 3)][dc.symbol],
                      nl, np);
      }
      (void)longest_dist;
      if (longest >= nice) {
        // Take the long match: positions inside it are not expanded.
        for (uint32_t j = i + 1; j < i + longest; j++)
          if (pass == 0) { mf.insert(b.start + j); first[j + 1] = first[j]; }
        i += longest;
      } else {
        i++;
      }
    }
    // Walk back the cheapest path.
    out.clear();
    for (uint32_t j = n; j > 0;) {
      const Node& nd = node[j];
      if (nd.len == 1) { out.push_back({0, buf[b.start + j - 1]}); j -= 1; continue; }
      if (nd.rep) {
        out.push_back({nd.rep, nd.dist});
        j -= nd.rep + 1;
        out.push_back({0, buf[b.start + j]});
      }
      out.push_back({nd.len, nd.dist});
      j -= nd.len;
    }
    std::reverse(out.begin(), out.end());
    gather_stats(out, stats);
  }
}

}  // namespace qev
