#include "encode/block_writer.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include "encode/bit_writer.h"
#include "encode/huffman.h"
#include "encode/length_sets.h"
#include "encode/symbols.h"

namespace qev {
namespace {

// One coded item: literal/length symbol with its extra field, and for a match
// the distance table, symbol and extra field.
struct Token {
  uint16_t lsym;
  uint16_t lextra;
  uint8_t dtab;
  uint8_t dsym;
  uint32_t dextra;
};

// Symbol counts of one stretch of tokens: the literal/length code and the
// three distance codes laid out as in a set (288 + 42 + 14 + 28).
struct Histogram {
  uint32_t f[SET_SIZE_LARGE];
  void clear() { memset(f, 0, sizeof f); }
  void add(const Histogram& o) { for (int i = 0; i < SET_SIZE_LARGE; i++) f[i] += o.f[i]; }
};

// Tokens of the items for a block with `tables` distance tables, and the
// token index where each set (given by its first item) begins. Returns the
// token count (the buffer may be longer).
size_t tokenize(const BlockParams& p, const std::vector<Item>& items, int tables,
              const std::vector<uint32_t>& seg_items, std::vector<Token>& tokens,
              std::vector<uint32_t>& seg_tokens) {
  // The buffer only grows: shrinking and growing again would clear it each time.
  if (tokens.size() < items.size() * 2 + 1) tokens.resize(items.size() * 2 + 1);
  Token* t = tokens.data();
  seg_tokens.clear();
  uint32_t last = 0, prev = 0;
  size_t next_seg = 0;
  uint32_t pos = 0;
  const size_t n = items.size();
  for (size_t i = 0; i < n; i++) {
    if (next_seg < seg_items.size() && seg_items[next_seg] == i) {
      seg_tokens.push_back((uint32_t)(t - tokens.data()));
      next_seg++;
    }
    const Item& it = items[i];
    if (it.len == 0) {
      *t++ = {(uint16_t)it.value, 0, 0, 0, 0};
      pos++;
      continue;
    }
    if (it.len == 2 && tables == 1) {
      *t++ = {p.data[pos], 0, 0, 0, 0};
      *t++ = {p.data[pos + 1], 0, 0, 0, 0};
      pos += 2;
      continue;
    }
    uint32_t d = it.value, dcode;
    if (d == last) {
      dcode = 0;
    } else if (d == prev) {
      dcode = 1;
      prev = last;
      last = d;
    } else {
      dcode = d + 1;
      if (d > 4) {
        prev = last;
        last = d;
      }
    }
    LengthCode lc = length_code(it.len);
    DistanceCode dc = distance_code(dcode);
    *t++ = {lc.symbol, lc.extra, (uint8_t)distance_table(it.len, tables), dc.symbol, dc.extra};
    pos += it.len;
  }
  while (next_seg < seg_items.size()) { seg_tokens.push_back((uint32_t)(t - tokens.data())); next_seg++; }
  return (size_t)(t - tokens.data());
}

void histogram(const Token* t, size_t n, Histogram& h) {
  h.clear();
  for (size_t i = 0; i < n; i++) {
    h.f[t[i].lsym]++;
    if (t[i].lsym > END_OF_SET) h.f[DIST_STARTS[t[i].dtab] + t[i].dsym]++;
  }
}

double entropy_bits(const Histogram& h) {
  double bits = 0;
  const int ranges[4][2] = {{0, LITLEN_SYMBOLS},
                            {DIST_STARTS[0], DIST_STARTS[0] + DIST_SYMBOLS[0]},
                            {DIST_STARTS[1], DIST_STARTS[1] + DIST_SYMBOLS[1]},
                            {DIST_STARTS[2], DIST_STARTS[2] + DIST_SYMBOLS[2]}};
  for (auto& r : ranges) {
    uint64_t total = 0;
    double s = 0;
    for (int i = r[0]; i < r[1]; i++) {
      if (!h.f[i]) continue;
      total += h.f[i];
      s += h.f[i] * log2((double)h.f[i]);
    }
    if (total) bits += total * log2((double)total) - s;
  }
  return bits;
}

// Extra bits of the symbols counted in h (the same for every code).
uint64_t extra_bits(const Histogram& h) {
  uint64_t bits = 0;
  for (int s = 266; s < 288; s++) bits += (uint64_t)h.f[s] * length_extra_bits(s);
  for (int t = 0; t < 3; t++)
    for (int s = 6; s < DIST_SYMBOLS[t]; s++) bits += (uint64_t)h.f[DIST_STARTS[t] + s] * distance_extra_bits(s);
  return bits;
}

// A block's items cut into sets: token ranges and their symbol counts.
struct Sets {
  std::vector<uint32_t> items;   // first item of each set
  std::vector<uint32_t> tokens;  // first token of each set
  std::vector<Histogram> hist;
};

// Cuts the tokens into stretches, then merges neighbouring stretches while
// that saves bits (or while there are more than the reader's 63 sets).
void choose_sets(const std::vector<Token>& tokens, size_t token_count,
                 const std::vector<uint32_t>& starts, const std::vector<uint32_t>& seg_tokens,
                 bool merge, Sets& out) {
  size_t k = starts.size();
  out.items = starts;
  out.tokens = seg_tokens;
  out.hist.assign(k, Histogram());
  for (size_t i = 0; i < k; i++) {
    size_t b = seg_tokens[i], e = i + 1 < k ? seg_tokens[i + 1] : token_count;
    histogram(tokens.data() + b, e - b, out.hist[i]);
  }
  if (!merge || k <= 1) return;
  // What a set costs beyond its symbols: its code lengths, coded against the
  // previous set (1,000 bits or so on real data; smaller guesses split so
  // often that the archive grows), and the reader's time to build its tables,
  // that of decoding some kilobytes. On the benchmark corpus 1,500 against
  // 160 made level 9 0.6 % smaller and its decoding some 10 % faster.
  const double set_overhead = 1500;
  std::vector<double> cost(k), gain(k);
  for (size_t i = 0; i < k; i++) cost[i] = entropy_bits(out.hist[i]) + set_overhead;
  Histogram tmp;
  auto eval = [&](size_t i) {
    tmp = out.hist[i];
    tmp.add(out.hist[i + 1]);
    gain[i] = cost[i] + cost[i + 1] - (entropy_bits(tmp) + set_overhead);
  };
  for (size_t i = 0; i + 1 < k; i++) eval(i);
  while (k > 1) {
    size_t best = 0;
    for (size_t i = 1; i + 1 < k; i++)
      if (gain[i] > gain[best]) best = i;
    if (gain[best] <= 0 && k <= (size_t)MAX_SET_COUNT) break;
    out.hist[best].add(out.hist[best + 1]);
    cost[best] = entropy_bits(out.hist[best]) + set_overhead;
    out.hist.erase(out.hist.begin() + best + 1);
    cost.erase(cost.begin() + best + 1);
    gain.erase(gain.begin() + best + 1);
    out.items.erase(out.items.begin() + best + 1);
    out.tokens.erase(out.tokens.begin() + best + 1);
    k--;
    if (best + 1 < k) eval(best);
    if (best > 0) eval(best - 1);
  }
}

// The same counts for a block with two tables: table 2's symbols mean the
// same distances in table 0.
void fold_table2(Histogram& h) {
  for (int s = 0; s < DIST_SYMBOLS[2]; s++) {
    h.f[DIST_STARTS[0] + s] += h.f[DIST_STARTS[2] + s];
    h.f[DIST_STARTS[2] + s] = 0;
  }
}

// A fully planned compressed block.
struct Plan {
  int tables = 0;
  bool default_set = false;
  int set_count = 0;
  int set_size = SET_SIZE_SMALL;
  std::vector<Token> tokens;
  size_t token_count = 0;
  std::vector<uint32_t> seg_tokens;
  std::vector<uint8_t> lengths;  // set_count * set_size, or the default set
  LengthSetCoding coding;
  uint64_t bits = UINT64_MAX;    // whole frame
};

// Code lengths and exact size of sent sets with these counts.
uint64_t size_sent_sets(std::vector<Histogram> hist, int tables, Plan& plan) {
  plan.tables = tables;
  plan.default_set = false;
  plan.set_size = tables == 3 ? SET_SIZE_LARGE : SET_SIZE_SMALL;
  plan.set_count = (int)hist.size();
  plan.lengths.assign((size_t)plan.set_count * plan.set_size, 0);
  uint64_t bits = FRAME_HEADER_BITS + WINDOW_SELECTOR_BITS + 8;
  for (int s = 0; s < plan.set_count; s++) {
    Histogram& h = hist[s];
    if (tables < 3) fold_table2(h);
    if (s + 1 < plan.set_count) h.f[END_OF_SET]++;
    uint8_t* l = plan.lengths.data() + (size_t)s * plan.set_size;
    build_code_lengths(h.f, LITLEN_SYMBOLS, MAX_CODE_LENGTH, l);
    for (int t = 0; t < tables; t++)
      build_code_lengths(h.f + DIST_STARTS[t], DIST_SYMBOLS[t], MAX_CODE_LENGTH, l + DIST_STARTS[t]);
    for (int i = 0; i < plan.set_size; i++) bits += (uint64_t)h.f[i] * l[i];
    bits += extra_bits(h);
  }
  plan_length_sets(plan.lengths.data(), plan.set_size, plan.set_count, plan.coding);
  return bits + plan.coding.bits;
}

uint64_t size_default_set(Histogram h, const BlockParams& p, int tables, Plan& plan) {
  plan.tables = tables;
  plan.default_set = true;
  plan.set_count = 0;
  plan.set_size = SET_SIZE_SMALL;
  plan.lengths.assign(SET_SIZE_SMALL, 0);
  default_length_set(plan.lengths.data(), p.history + p.len);
  if (tables < 3) fold_table2(h);
  uint64_t bits = FRAME_HEADER_BITS + WINDOW_SELECTOR_BITS + 8 + extra_bits(h);
  for (int i = 0; i < SET_SIZE_SMALL; i++) {
    if (h.f[i] && !plan.lengths[i]) return UINT64_MAX;  // no default code for it
    bits += (uint64_t)h.f[i] * plan.lengths[i];
  }
  return bits;
}

void put_header(BitWriter& w, uint32_t method, bool last, uint32_t len) {
  w.put(frame_head(method, last, len), FRAME_LENGTH_SHIFT);
  w.put(0, FRAME_FIELD_BITS);  // the length, patched when the frame is complete
}

void write_plan(const BlockParams& p, const Plan& plan, std::vector<uint8_t>& out) {
  size_t start = out.size();
  out.reserve(start + (size_t)(plan.bits / 8) + 64);
  BitWriter w(out);
  put_header(w, FRAME_METHOD_COMPRESSED, p.last, p.len);
  w.put(p.selector, WINDOW_SELECTOR_BITS);
  w.put((uint32_t)plan.tables | ((uint32_t)plan.set_count << 2), 8);
  if (plan.set_count) write_length_sets(w, plan.coding);
  int sets = plan.set_count ? plan.set_count : 1;
  uint16_t codes[SET_SIZE_LARGE];
  for (int s = 0; s < sets; s++) {
    const uint8_t* l = plan.lengths.data() + (size_t)s * plan.set_size;
    build_canonical_codes(l, LITLEN_SYMBOLS, codes);
    for (int t = 0; t < plan.tables; t++)
      build_canonical_codes(l + DIST_STARTS[t], DIST_SYMBOLS[t], codes + DIST_STARTS[t]);
    size_t b = plan.set_count ? plan.seg_tokens[s] : 0;
    size_t e = s + 1 < sets ? plan.seg_tokens[s + 1] : plan.token_count;
    for (size_t i = b; i < e; i++) {
      const Token& t = plan.tokens[i];
      w.put(codes[t.lsym], l[t.lsym]);
      if (t.lsym > END_OF_SET) {
        if (t.lsym >= 266) w.put(t.lextra, length_extra_bits(t.lsym));
        // Tokens made for three tables send length-3 matches through table 0
        // when the block has fewer.
        int tab = t.dtab == 2 && plan.tables < 3 ? 0 : t.dtab;
        int di = DIST_STARTS[tab] + t.dsym;
        w.put(codes[di], l[di]);
        if (t.dsym >= 6) w.put(t.dextra, distance_extra_bits(t.dsym));
      }
    }
    if (s + 1 < sets) w.put(codes[END_OF_SET], l[END_OF_SET]);
  }
  w.flush();
  uint32_t frame = (uint32_t)(out.size() - start);
  patch_bits(out.data() + start, FRAME_LENGTH_SHIFT, frame, FRAME_FIELD_BITS);
}

void write_stored(const BlockParams& p, std::vector<uint8_t>& out) {
  size_t start = out.size();
  BitWriter w(out);
  put_header(w, FRAME_METHOD_STORED, p.last, p.len);
  if (p.directory) w.put(0, WINDOW_SELECTOR_BITS);  // the directory reader passes over 5 more bits
  w.flush();
  out.insert(out.end(), p.data, p.data + p.len);
  patch_bits(out.data() + start, FRAME_LENGTH_SHIFT, (uint32_t)(out.size() - start),
             FRAME_FIELD_BITS);
}

}  // namespace

BlockResult write_block(const BlockParams& p, const std::vector<Item>& items,
                        const BlockChoice& c, std::vector<uint8_t>& out) {
  const uint32_t stored_bytes = (p.directory ? 7 : 6) + p.len;
  const bool stored_ok = stored_bytes >= 8 && stored_bytes <= MAX_FRAME_LENGTH;
  if (stored_ok && (c.force_stored || items.empty())) {
    write_stored(p, out);
    return {BlockKind::Stored, 0, 0, stored_bytes};
  }
  // Tokenize once for three tables in fine stretches; two tables only move
  // table 2's counts to table 0, so their sizes follow from the same counts.
  // One table (length-2 matches sent as literals) is used only when forced,
  // and then the tokens are made for it.
  const uint32_t n = (uint32_t)items.size();
  std::vector<uint32_t> starts;
  bool merge = false;
  if (c.split_items) {
    for (uint32_t i = 0; i < n && starts.size() < (size_t)MAX_SET_COUNT; i += c.split_items) starts.push_back(i);
  } else {
    // Stretches of 512 items (up to 2,048 of them) let set borders fall
    // closer to where the statistics change: 0.26 % smaller at level 9 on
    // the benchmark corpus, about as many sets, some 5 % more time.
    uint32_t max_stretches = c.split_effort <= 0 ? 1 : c.split_effort == 1 ? 16 : c.split_effort == 2 ? 192 : 2048;
    uint32_t least = c.split_effort >= 3 ? 512 : 2048;
    uint32_t step = std::max<uint32_t>(least, (n + max_stretches - 1) / max_stretches);
    for (uint32_t i = 0; i < n; i += step) starts.push_back(i);
    merge = true;
  }
  if (starts.empty()) starts.push_back(0);
  const int base_tables = c.force_tables == 1 ? 1 : 3;
  // Buffers kept between blocks: a block's tokens take megabytes, and fresh
  // allocations of that size cost page faults every time.
  static thread_local Plan best, cand;
  static thread_local std::vector<Token> tokens;
  static thread_local std::vector<uint32_t> seg_tokens;
  best.bits = cand.bits = UINT64_MAX;
  const size_t token_count = tokenize(p, items, base_tables, starts, tokens, seg_tokens);
  Sets sets;
  choose_sets(tokens, token_count, starts, seg_tokens, merge, sets);
  Histogram whole;
  whole.clear();
  for (const Histogram& h : sets.hist) whole.add(h);
  auto consider = [&](uint64_t bits) {
    cand.bits = bits;
    if (bits < best.bits) std::swap(best, cand);
  };
  int t_lo = c.force_tables ? c.force_tables : 2, t_hi = c.force_tables ? c.force_tables : 3;
  // One table only when asked for: it saves nothing but the length-2 matches,
  // and changes the tokens.
  for (int t = t_lo; t <= t_hi; t++) {
    if (c.force_default != 0 && t <= 2) consider(size_default_set(whole, p, t, cand));
    if (c.force_default != 1) consider(size_sent_sets(sets.hist, t, cand));
  }
  // A forced combination that cannot be sent (the default set with three
  // tables) falls back to sent sets when the block cannot be stored either.
  if (best.bits == UINT64_MAX && !stored_ok) consider(size_sent_sets(sets.hist, base_tables == 1 ? 1 : 3, cand));
  best.tokens.swap(tokens);
  best.token_count = token_count;
  best.seg_tokens = sets.tokens;
  uint64_t bytes = (best.bits + 7) / 8;
  bool use_stored = stored_ok && c.allow_stored && (bytes >= stored_bytes || bytes > MAX_FRAME_LENGTH);
  if (use_stored || best.bits == UINT64_MAX) {
    write_stored(p, out);
    return {BlockKind::Stored, 0, 0, stored_bytes};
  }
  size_t before = out.size();
  write_plan(p, best, out);
  return {best.default_set ? BlockKind::DefaultSet : BlockKind::SentSets, best.tables, best.set_count,
          (uint32_t)(out.size() - before)};
}

}  // namespace qev
