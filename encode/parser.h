#pragma once
// Parsers: turn one block of a stream into items (literals and matches).
//
// Every match a parser emits is one the reader can follow in this block:
//  - its distance is at most reach + its offset in the block, where reach is
//    the history the reader keeps before the block (the reader drops a match
//    that reaches before its buffer), and at most MAX_MATCH_DISTANCE;
//  - it ends inside the block;
//  - a length-2 match has a distance of at most 64 or equal to one of the
//    distance registers, a length-3 match at most 8192 or a register (the
//    limits of distance tables 1 and 2).
// Parsers track the reader's two distance registers (0 at the block's start)
// with the same rule as the block writer, so the prices they assume are the
// symbols that will be written.
#include <stdint.h>

#include <vector>

#include "encode/lz_item.h"
#include "encode/match_finder.h"

namespace qev {

struct BlockSpan {
  const uint8_t* buf;  // the stream's bytes (with 16 readable bytes past the end)
  uint32_t start;      // block's first stream offset
  uint32_t len;        // block length
  uint32_t reach;      // history the reader keeps before the block
};

struct ParseParams {
  uint32_t depth = 16;      // chain steps per search
  uint32_t nice_len = 64;   // a match this long is taken at once
  int lazy = 1;             // greedy parser: positions looked ahead (0-2)
  bool optimal = false;     // price-based parse
  int passes = 1;           // optimal parse: passes, each priced by the one before,
                            // and one more when no earlier block priced the first
  bool insert_all = true;   // insert positions inside matches (greedy parser)
  bool fast = false;        // parse_fast: one probe per position
  bool tree = false;        // the match finder's binary tree instead of its chains
};

// Symbol statistics carried from block to block to price the optimal parse.
struct ParseStats {
  uint32_t lit[288] = {0};
  uint32_t dist[3][42] = {{0}};
  bool valid = false;
};

// The fastest parser's single hash table (last position + 1 per 4-byte hash).
struct FastTable {
  static constexpr int BITS = 16;
  std::vector<uint32_t> head = std::vector<uint32_t>(1u << BITS, 0);
  void reset();
};

void parse_fast(FastTable& table, const BlockSpan& b, std::vector<Item>& out);
void parse_greedy(MatchFinder& mf, const BlockSpan& b, const ParseParams& pp, std::vector<Item>& out);
void parse_optimal(MatchFinder& mf, const BlockSpan& b, const ParseParams& pp, ParseStats& stats,
                   std::vector<Item>& out);
// Inserts positions without parsing (stored blocks at level 0 need none), and
// a segment's dictionary.
void insert_span(MatchFinder& mf, uint32_t start, uint32_t len);
void fast_insert_span(FastTable& table, const uint8_t* buf, uint32_t start, uint32_t len);

}  // namespace qev
