#include "encode/stream_encoder.h"

#include <string.h>

#include <algorithm>

#include "encode/match_finder.h"
#include "encode/parser.h"
#include "encode/reader_window.h"
#include "encode/symbols.h"

namespace qev {

namespace {

struct LevelParams {
  ParseParams parse;
  int split_effort;
};

LevelParams level_params(int level) {
  LevelParams l;
  ParseParams& p = l.parse;
  l.split_effort = 2;
  switch (level) {
    case 1: p.fast = true; l.split_effort = 1; break;
    case 2: p.depth = 4; p.nice_len = 32; p.lazy = 0; break;
    // Chains are longer since matches reach 1 MiB inside a block: level 6
    // takes 12 steps where 16 took some 20 % more time for 0.45 % less.
    case 3: p.depth = 6; p.nice_len = 48; p.lazy = 1; break;
    case 4: p.depth = 8; p.nice_len = 64; p.lazy = 1; break;
    case 5: p.depth = 10; p.nice_len = 64; p.lazy = 1; break;
    case 6: p.depth = 12; p.nice_len = 64; p.lazy = 1; break;
    case 7: p.depth = 12; p.nice_len = 96; p.optimal = true; p.passes = 1; break;
    case 8: p.depth = 16; p.nice_len = 128; p.optimal = true; p.passes = 1; break;
    default:
      p.depth = 24; p.nice_len = 128; p.optimal = true; p.passes = 1; p.tree = true;
      l.split_effort = 3;
      break;
  }
  return l;
}

}  // namespace

struct StreamEncoder::State {
  // As many 4-byte hash heads as positions the chains span (2^20): with fewer,
  // chains mix unrelated positions, which on incompressible data every step
  // of the search visits in vain (level 6 packed such data 3 times slower;
  // on the benchmark corpus it was 20 % slower and 0.1 % larger).
  MatchFinder finder{20};
  FastTable fast;
  std::vector<uint8_t> buf;
  std::vector<Item> items;
};

StreamEncoder::StreamEncoder(const EncoderOptions& options)
    : options_(options), state_(std::make_unique<State>()) {
  const ParseParams p = level_params(options.level).parse;
  if (p.tree) state_->finder.use_tree(p.depth, p.nice_len);
}
StreamEncoder::~StreamEncoder() = default;

uint32_t StreamEncoder::block_size(const EncoderOptions& o) {
  return o.block_size ? std::min(o.block_size, MAX_STORED_BLOCK) : MAX_STORED_BLOCK;
}

bool StreamEncoder::segment_ready(const EncoderOptions& o) {
  return block_size(o) >= WINDOW_SIZE && o.force_selector < 0;
}

void StreamEncoder::encode(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                           StreamReport* report) {
  state_->buf.assign(data, data + size);
  state_->buf.resize(size + STREAM_PADDING, 0);
  encode_padded(state_->buf.data(), size, out, report);
}

void StreamEncoder::encode_padded(const uint8_t* buf, size_t size, std::vector<uint8_t>& out,
                                  StreamReport* report) {
  Segment whole;
  whole.data = buf;
  whole.size = size;
  encode_segment(whole, out, report);
}

void StreamEncoder::encode_segment(const Segment& seg, std::vector<uint8_t>& out, StreamReport* report) {
  State& s = *state_;
  if (seg.size == 0) return;  // a stream always holds at least one member record
  const uint8_t* buf = seg.data;
  const size_t size = seg.history + seg.size;  // the segment ends here in buf
  out.reserve(out.size() + seg.size / 2 + 64);
  s.finder.reset(buf, (uint32_t)size);
  const LevelParams lp = level_params(options_.level);
  if (lp.parse.fast) s.fast.reset();
  BlockChoice choice = options_.block;
  if (options_.level == 0) choice.force_stored = true;
  if (!choice.split_items && choice.split_effort == 2) choice.split_effort = lp.split_effort;
  const uint32_t block_size = StreamEncoder::block_size(options_);
  // The dictionary: every position in it can start a match.
  if (options_.level > 0) {
    if (lp.parse.fast) fast_insert_span(s.fast, buf, 0, seg.history);
    else insert_span(s.finder, 0, seg.history);
  }
  ParseStats stats;
  ReaderWindow win;
  if (!seg.first) win.continued();
  StreamReport rep;
  size_t pos = seg.history;
  do {
    uint32_t len = (uint32_t)std::min<size_t>(block_size, size - pos);
    bool last = seg.last && pos + len == size;
    uint32_t available = win.available();
    uint32_t reach = std::min(available, WINDOW_SIZE);
    if (options_.force_selector >= 0 && !win.first())
      reach = std::min(reach, selector_keep((uint32_t)options_.force_selector));
    BlockSpan span{buf, (uint32_t)pos, len, reach};
    s.items.clear();
    bool parse = options_.level > 0 && !choice.force_stored;
    if (parse) {
      if (lp.parse.fast) parse_fast(s.fast, span, s.items);
      else if (lp.parse.optimal) parse_optimal(s.finder, span, lp.parse, stats, s.items);
      else parse_greedy(s.finder, span, lp.parse, s.items);
    } else if (options_.level > 0 && !lp.parse.fast) {
      insert_span(s.finder, span.start, len);
    }
    // A block of one byte cannot be stored (its frame would be 7 bytes).
    if (s.items.empty() && len < 2) s.items.push_back({0, buf[pos]});
    // History the block's matches need, then the selector.
    uint32_t need = 0, off = 0;
    for (const Item& it : s.items) {
      if (it.len) {
        if (it.value > off) need = std::max(need, it.value - off);
        rep.max_distance = std::max(rep.max_distance, it.value);
        off += it.len;
      } else {
        off++;
      }
    }
    uint32_t selector = 0;
    if (!win.first()) {
      if (options_.force_selector >= 0) {
        selector = (uint32_t)options_.force_selector;
      } else {
        uint32_t target = need;
        if (len < WINDOW_SIZE) target = std::max(target, std::min(available, WINDOW_SIZE - len));
        selector = selector_for(std::min(target, WINDOW_SIZE));
      }
    }
    BlockParams bp;
    bp.data = buf + pos;
    bp.len = len;
    bp.history = win.kept_for(selector);
    bp.last = last;
    bp.selector = selector;
    BlockResult r = write_block(bp, s.items, choice, out);
    rep.blocks++;
    if (r.kind == BlockKind::Stored) {
      rep.stored++;
      win.stored(len, last);
    } else {
      if (r.kind == BlockKind::DefaultSet) rep.default_sets++;
      else rep.sent_sets++;
      rep.tables_used[r.tables]++;
      rep.max_sets = std::max(rep.max_sets, (uint32_t)r.sets);
      if (!win.first()) {
        rep.selector_rows |= 1u << (selector & 3);
        rep.max_history = std::max(rep.max_history, bp.history);
      }
      win.compressed(len, selector);
    }
    pos += len;
  } while (pos < size);
  if (report) {
    report->blocks += rep.blocks;
    report->stored += rep.stored;
    report->default_sets += rep.default_sets;
    report->sent_sets += rep.sent_sets;
    for (int t = 0; t < 4; t++) report->tables_used[t] += rep.tables_used[t];
    report->max_sets = std::max(report->max_sets, rep.max_sets);
    report->selector_rows |= rep.selector_rows;
    report->max_distance = std::max(report->max_distance, rep.max_distance);
    report->max_history = std::max(report->max_history, rep.max_history);
  }
}

}  // namespace qev
