// The fastest parse: one hash table of the last position of each 4-byte
// context, probed once per position; the last-distance register is tried
// first. Positions inside a match are not entered.
#include <algorithm>

#include "encode/parser.h"
#include "encode/symbols.h"

namespace qev {

void FastTable::reset() { std::fill(head.begin(), head.end(), 0); }

void fast_insert_span(FastTable& ft, const uint8_t* buf, uint32_t start, uint32_t len) {
  uint32_t* head = ft.head.data();
  for (uint32_t pos = start; pos < start + len; pos++)
    head[(load32(buf + pos) * 2654435761u) >> (32 - FastTable::BITS)] = pos + 1;
}

void parse_fast(FastTable& ft, const BlockSpan& b, std::vector<Item>& out) {
  out.clear();
  out.reserve(b.len / 2 + 16);
  const uint8_t* buf = b.buf;
  const uint32_t end = b.start + b.len;
  uint32_t* head = ft.head.data();
  uint32_t last = 0, prev = 0;
  uint32_t pos = b.start;
  while (pos + 4 <= end) {
    const uint32_t max_dist = std::min(b.reach + (pos - b.start), MAX_MATCH_DISTANCE);
    const uint32_t cur = load32(buf + pos);
    const uint32_t max_len = std::min(end - pos, MAX_MATCH);
    const uint32_t h = (cur * 2654435761u) >> (32 - FastTable::BITS);
    uint32_t dist = 0;
    if (last && last <= max_dist && load32(buf + pos - last) == cur) {
      dist = last;
    } else {
      uint32_t c = head[h];
      if (c) {
        uint32_t d = pos + 1 - c;
        if (d <= max_dist && load32(buf + c - 1) == cur) dist = d;
      }
    }
    head[h] = pos + 1;
    if (!dist) {
      out.push_back({0, buf[pos]});
      pos++;
      continue;
    }
    uint32_t len = 4 + common_length(buf + pos + 4, buf + pos + 4 - dist, max_len - 4);
    out.push_back({len, dist});
    if (dist != last && (dist == prev || dist > 4)) {
      prev = last;
      last = dist;
    }
    pos += len;
    // One entry near the match's end keeps the table current at little cost.
    if (pos + 2 <= end && pos >= 2) head[(load32(buf + pos - 2) * 2654435761u) >> (32 - FastTable::BITS)] = pos - 1;
  }
  while (pos < end) out.push_back({0, buf[pos++]});
}

}  // namespace qev
