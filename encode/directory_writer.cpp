#include "encode/directory_writer.h"

#include <algorithm>

#include "archive/layout.h"
#include "encode/match_finder.h"
#include "encode/parser.h"

namespace qev {

uint32_t write_directory(const std::vector<uint8_t>& entries, const std::vector<uint32_t>& ends,
                         uint32_t block_limit, const BlockChoice& choice, std::vector<uint8_t>& out) {
  block_limit = std::min(block_limit, DIR_BLOCK_DECODED_MAX);
  MatchFinder finder(14);
  ParseParams pp;
  pp.optimal = true;
  pp.depth = 64;
  pp.nice_len = 128;
  pp.passes = 1;
  std::vector<uint8_t> buf;
  std::vector<Item> items;
  std::vector<uint8_t> frame;
  uint32_t blocks = 0;
  size_t first = 0;  // first entry of the next block
  while (first < ends.size()) {
    uint32_t begin = first ? ends[first - 1] : 0;
    size_t last = first;  // one past the block's last entry
    while (last < ends.size() && ends[last] - begin <= block_limit) last++;
    if (last == first) last = first + 1;  // an entry is far below 8192 bytes
    for (;;) {
      uint32_t end = ends[last - 1];
      buf.assign(entries.begin() + begin, entries.begin() + end);
      uint32_t len = end - begin;
      buf.resize(len + 16, 0);
      finder.reset(buf.data(), len);
      ParseStats stats;
      parse_optimal(finder, BlockSpan{buf.data(), 0, len, 0}, pp, stats, items);
      BlockParams bp;
      bp.data = buf.data();
      bp.len = len;
      bp.last = last == ends.size();
      bp.directory = true;
      frame.clear();
      write_block(bp, items, choice, frame);
      // Too long for the reader's single read: fewer entries (a stored block
      // of at most 8177 bytes always fits).
      if (frame.size() <= DIR_BLOCK_FRAME_MAX || last == first + 1) break;
      last--;
    }
    out.insert(out.end(), DIR_BLOCK_MAGIC, DIR_BLOCK_MAGIC + MAGIC_SIZE);
    out.insert(out.end(), frame.begin(), frame.end());
    blocks++;
    first = last;
  }
  return blocks;
}

}  // namespace qev
