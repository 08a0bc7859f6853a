#include "stream_writer.h"

#include <algorithm>
#include <queue>

namespace dectest {

void BitWriter::put(uint32_t value, unsigned n) {
  if (n == 0) return;
  size_t need = (size_t)((bits_ + n + 7) >> 3);
  if (bytes_.size() < need) bytes_.resize(need, 0);
  uint64_t v = (uint64_t)(value & (n >= 32 ? 0xFFFFFFFFu : ((1u << n) - 1))) << (bits_ & 7);
  size_t at = (size_t)(bits_ >> 3);
  for (size_t k = 0; v != 0; k++, v >>= 8) bytes_[at + k] |= (uint8_t)v;
  bits_ += n;
}

void BitWriter::put_code(uint32_t code, unsigned length) {
  uint32_t reversed = 0;
  for (unsigned i = 0; i < length; i++) reversed |= ((code >> (length - 1 - i)) & 1) << i;
  put(reversed, length);
}

void BitWriter::align() { bits_ = (bits_ + 7) & ~(uint64_t)7; }

std::vector<uint32_t> canonical_codes(const uint8_t* lengths, size_t n) {
  uint32_t count[17] = {0};
  for (size_t s = 0; s < n; s++) count[lengths[s]]++;
  count[0] = 0;
  uint32_t next[17] = {0};
  uint32_t code = 0;
  for (int b = 1; b <= 16; b++) {
    code = (code + count[b - 1]) << 1;
    next[b] = code;
  }
  std::vector<uint32_t> codes(n, 0);
  for (size_t s = 0; s < n; s++) {
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  }
  return codes;
}

std::vector<uint8_t> huffman_lengths(const std::vector<uint32_t>& freq_in, unsigned limit) {
  const size_t n = freq_in.size();
  std::vector<uint8_t> lengths(n, 0);
  std::vector<uint64_t> freq(freq_in.begin(), freq_in.end());
  size_t used = 0;
  for (uint64_t f : freq) used += f != 0;
  if (used == 0) return lengths;
  if (used == 1) {
    for (size_t s = 0; s < n; s++) lengths[s] = freq[s] != 0;
    return lengths;
  }
  // No limit below what the symbol count needs.
  while ((size_t)1 << limit < used) limit++;
  for (;;) {
    typedef std::pair<uint64_t, int> Node;  // weight, node index
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
    std::vector<int> parent;
    for (size_t s = 0; s < n; s++) {
      if (freq[s] == 0) continue;
      queue.push({freq[s], (int)parent.size()});
      parent.push_back(-1);
    }
    while (queue.size() > 1) {
      Node a = queue.top();
      queue.pop();
      Node b = queue.top();
      queue.pop();
      int id = (int)parent.size();
      parent.push_back(-1);
      parent[a.second] = id;
      parent[b.second] = id;
      queue.push({a.first + b.first, id});
    }
    unsigned longest = 0;
    size_t leaf = 0;
    for (size_t s = 0; s < n; s++) {
      if (freq[s] == 0) continue;
      unsigned depth = 0;
      for (int p = parent[leaf++]; p != -1; p = parent[p]) depth++;
      lengths[s] = (uint8_t)depth;
      longest = std::max(longest, depth);
    }
    if (longest <= limit) return lengths;
    for (uint64_t& f : freq) {
      if (f != 0) f = (f >> 1) | 1;
    }
  }
}

Item literal(uint8_t byte) {
  Item item;
  item.lit_sym = byte;
  return item;
}

void length_symbol(uint32_t length, uint32_t* sym, uint32_t* extra, uint32_t* extra_bits) {
  if (length <= 10) {
    *sym = 255 + length;
    *extra = 0;
    *extra_bits = 0;
    return;
  }
  if (length > 258) {
    *sym = 286;
    *extra = length - 259;
    *extra_bits = 15;
    return;
  }
  for (uint32_t g = 0; g < 5; g++) {
    uint32_t base0 = 3 + (1u << (g + 3));
    uint32_t step = 1u << (g + 1);
    if (length < base0 + 4 * step) {
      uint32_t i = (length - base0) / step;
      *sym = 266 + 4 * g + i;
      *extra = length - (base0 + i * step);
      *extra_bits = g + 1;
      return;
    }
  }
}

void distance_symbol(uint32_t distance, uint32_t* sym, uint32_t* extra, uint32_t* extra_bits) {
  uint32_t p = 31 - (uint32_t)__builtin_clz(distance - 1) - 2;
  uint32_t base_even = (1u << (p + 2)) + 1;
  uint32_t base_odd = base_even + (1u << (p + 1));
  if (distance >= base_odd) {
    *sym = 7 + 2 * p;
    *extra = distance - base_odd;
  } else {
    *sym = 6 + 2 * p;
    *extra = distance - base_even;
  }
  *extra_bits = p + 1;
}

uint32_t table_for_length(uint32_t length, uint32_t tables) {
  if (length == 2) return 1;
  if (length == 3 && tables == 3) return 2;
  return 0;
}

static const uint32_t kTableSizes[3] = {42, 14, 28};

bool MatchCoder::code(uint32_t length, uint32_t distance, Item* item) {
  if (length < 2 || length > 33026 || distance == 0) return false;
  if (length == 2 && tables == 1) return false;
  uint32_t table = table_for_length(length, tables);
  uint32_t sym, extra = 0, extra_bits = 0;
  uint32_t new_last = last, new_prev = prev;
  if (distance == last) {
    sym = 0;
  } else if (distance == prev) {
    sym = 1;
    new_prev = last;
    new_last = distance;
  } else if (distance <= 4) {
    sym = distance + 1;
  } else {
    distance_symbol(distance, &sym, &extra, &extra_bits);
    if (sym >= kTableSizes[table]) return false;
    new_prev = last;
    new_last = distance;
  }
  length_symbol(length, &item->lit_sym, &item->lit_extra, &item->lit_extra_bits);
  item->dist_table = table;
  item->dist_sym = sym;
  item->dist_extra = extra;
  item->dist_extra_bits = extra_bits;
  last = new_last;
  prev = new_prev;
  return true;
}

namespace {

// Bijective base-2 digits (1 or 2), least significant first, of r > 0.
std::vector<uint32_t> run_digits(size_t r) {
  std::vector<uint32_t> digits;
  while (r > 0) {
    uint32_t d = (r & 1) ? 1 : 2;
    digits.push_back(d);
    r = (r - d) / 2;
  }
  return digits;
}

void default_lengths(uint8_t* l, uint32_t window_size) {
  for (int i = 0; i < 244; i++) l[i] = 8;
  for (int i = 244; i < 256; i++) l[i] = 9;
  l[256] = 0;
  for (int i = 257; i <= 260; i++) l[i] = 9;
  for (int i = 261; i <= 265; i++) l[i] = 10;
  for (int i = 266; i < 288; i++) l[i] = 11;
  for (int i = 0; i < 42; i++) {
    if (window_size > 8192) l[288 + i] = i < 22 ? 5 : 6;
    else l[288 + i] = i < 4 ? 4 : i < 28 ? 5 : 0;
  }
  for (int i = 0; i < 14; i++) l[330 + i] = i < 2 ? 3 : 4;
}

}  // namespace

void write_length_sets(BitWriter& w, const std::vector<std::vector<uint8_t>>& sets,
                       size_t set_size) {
  std::vector<uint8_t> all;
  for (const auto& s : sets) all.insert(all.end(), s.begin(), s.begin() + set_size);
  // The pre-code symbols, following the reader's rules.
  std::vector<uint32_t> symbols;
  uint32_t current = 0;
  size_t i = 0;
  while (i < all.size()) {
    // Zero run: as many zeros as follow.
    size_t zeros = 0;
    while (i + zeros < all.size() && all[i + zeros] == 0) zeros++;
    // Repeat run: as many positions as the repeat rule reproduces.
    size_t repeats = 0;
    uint32_t rep_current = current;
    while (i + repeats < all.size()) {
      size_t at = i + repeats;
      uint32_t prev = at >= set_size ? all[at - set_size] : 0;
      uint32_t v = prev != 0 ? prev : rep_current;
      if (v != all[at]) break;
      rep_current = v;
      repeats++;
    }
    if (zeros >= 2 && zeros >= repeats) {
      for (uint32_t d : run_digits(zeros)) symbols.push_back(16 + d);
      i += zeros;
    } else if (repeats >= 2) {
      for (uint32_t d : run_digits(repeats)) symbols.push_back(18 + d);
      current = rep_current;
      i += repeats;
    } else {
      uint32_t base = i >= set_size ? all[i - set_size] : 0;
      if (base == 0) base = current;
      symbols.push_back((all[i] + 17 - base) % 17);
      current = all[i];
      i++;
    }
  }
  std::vector<uint32_t> freq(21, 0);
  for (uint32_t s : symbols) freq[s]++;
  std::vector<uint8_t> pre = huffman_lengths(freq, 15);
  // The 21 pre-code fields: lengths as length + 1, zero lengths as runs.
  for (size_t p = 0; p < 21;) {
    if (pre[p] != 0) {
      w.put(pre[p] + 1u, 5);
      p++;
      continue;
    }
    size_t r = 0;
    while (p + r < 21 && pre[p + r] == 0) r++;
    for (uint32_t d : run_digits(r)) w.put(d - 1, 5);
    p += r;
  }
  std::vector<uint32_t> codes = canonical_codes(pre.data(), 21);
  for (uint32_t s : symbols) w.put_code(codes[s], pre[s]);
}

void write_block(BitWriter& w, BlockDesign design) {
  const size_t set_size = design.tables == 3 ? 372 : 344;
  const uint32_t starts[3] = {288, 330, 344};
  std::vector<std::vector<uint8_t>> lengths;
  if (design.default_set) {
    lengths.assign(1, std::vector<uint8_t>(372, 0));
    default_lengths(lengths[0].data(), design.window_size);
  } else {
    for (const TableSet& set : design.sets) {
      if (!set.lengths.empty()) {
        lengths.push_back(set.lengths);
        lengths.back().resize(372, 0);
        continue;
      }
      std::vector<uint32_t> lit(288, 0), dist[3] = {std::vector<uint32_t>(42, 0),
                                                     std::vector<uint32_t>(14, 0),
                                                     std::vector<uint32_t>(28, 0)};
      for (const Item& item : set.items) {
        lit[item.lit_sym]++;
        if (item.lit_sym > 256) dist[item.dist_table][item.dist_sym]++;
      }
      if (set.end_with_256) lit[256]++;
      std::vector<uint8_t> l(372, 0);
      std::vector<uint8_t> ll = huffman_lengths(lit, design.max_code_length);
      std::copy(ll.begin(), ll.end(), l.begin());
      for (int t = 0; t < 3; t++) {
        std::vector<uint8_t> dl = huffman_lengths(dist[t], design.max_code_length);
        std::copy(dl.begin(), dl.end(), l.begin() + starts[t]);
      }
      lengths.push_back(l);
    }
  }
  w.put(design.tables, 2);
  w.put(design.default_set ? 0 : (uint32_t)design.sets.size(), 6);
  if (!design.default_set) write_length_sets(w, lengths, set_size);
  for (size_t j = 0; j < design.sets.size(); j++) {
    const std::vector<uint8_t>& l = lengths[design.default_set ? 0 : j];
    std::vector<uint32_t> lit_codes = canonical_codes(l.data(), 288);
    std::vector<uint32_t> dist_codes[3];
    const uint32_t sizes[3] = {42, 14, 28};
    for (int t = 0; t < 3; t++) dist_codes[t] = canonical_codes(l.data() + starts[t], sizes[t]);
    for (const Item& item : design.sets[j].items) {
      w.put_code(lit_codes[item.lit_sym], l[item.lit_sym]);
      if (item.lit_sym < 257) continue;
      w.put(item.lit_extra, item.lit_extra_bits);
      const uint8_t* dl = l.data() + starts[item.dist_table];
      w.put_code(dist_codes[item.dist_table][item.dist_sym], dl[item.dist_sym]);
      w.put(item.dist_extra, item.dist_extra_bits);
    }
    if (design.sets[j].end_with_256) w.put_code(lit_codes[256], l[256]);
  }
}

namespace {

void patch(std::vector<uint8_t>& bytes, uint64_t bit, uint32_t value, unsigned n) {
  for (unsigned i = 0; i < n; i++, bit++) {
    uint8_t mask = (uint8_t)(1u << (bit & 7));
    if ((value >> i) & 1) bytes[bit >> 3] |= mask;
    else bytes[bit >> 3] &= (uint8_t)~mask;
  }
}

}  // namespace

std::vector<uint8_t> compressed_frame(const BlockDesign& design, uint32_t block_size, bool last,
                                      uint32_t selector) {
  BitWriter w;
  w.put(1, 4);            // method: compressed
  w.put(last ? 1 : 0, 1);  // last block
  w.put(block_size, 20);  // bytes the block produces
  w.put(0, 20);           // block_length, patched below
  w.put(selector, 5);     // window selector
  write_block(w, design);
  w.align();
  std::vector<uint8_t> bytes = w.take();
  bytes.resize(std::max<size_t>(bytes.size(), 6), 0);
  patch(bytes, 25, (uint32_t)bytes.size(), 20);
  return bytes;
}

std::vector<uint8_t> stored_frame(const uint8_t* data, uint32_t size, bool last) {
  BitWriter w;
  w.put(0, 4);
  w.put(last ? 1 : 0, 1);
  w.put(size, 20);
  w.put(6 + size, 20);
  w.align();
  std::vector<uint8_t> bytes = w.take();
  bytes.insert(bytes.end(), data, data + size);
  return bytes;
}

std::vector<Item> lz_parse(const uint8_t* data, size_t window_lo, size_t start, size_t end,
                           uint32_t tables, int chain) {
  constexpr int kHashBits = 16;
  std::vector<int64_t> head(1u << kHashBits, -1);
  std::vector<int64_t> prev(end - window_lo, -1);
  auto hash = [&](size_t p) {
    uint32_t v = data[p] | (data[p + 1] << 8) | (data[p + 2] << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
  };
  auto insert = [&](size_t p) {
    if (p + 3 > end) return;
    uint32_t h = hash(p);
    prev[p - window_lo] = head[h];
    head[h] = (int64_t)p;
  };
  for (size_t p = window_lo; p < start; p++) insert(p);
  MatchCoder coder;
  coder.tables = tables;
  std::vector<Item> items;
  size_t p = start;
  while (p < end) {
    const size_t max_len = std::min<size_t>(33026, end - p);
    auto match_at = [&](size_t from) {
      size_t n = 0;
      while (n < max_len && data[from + n] == data[p + n]) n++;
      return n;
    };
    size_t best_len = 0, best_dist = 0;
    // The repeat registers first: their matches cost the least.
    for (uint32_t d : {coder.last, coder.prev}) {
      if (d == 0 || d > p - window_lo) continue;
      size_t n = match_at(p - d);
      if (n >= 2 && n > best_len) {
        best_len = n;
        best_dist = d;
      }
    }
    if (p + 3 <= end) {
      int64_t cand = head[hash(p)];
      for (int k = 0; k < chain && cand >= 0; k++, cand = prev[cand - window_lo]) {
        size_t d = p - (size_t)cand;
        if (d > 1048576) break;
        size_t n = match_at((size_t)cand);
        if (n > best_len + 1 || (n > best_len && d < best_dist)) {
          best_len = n;
          best_dist = d;
        }
        if (n == max_len) break;
      }
    }
    Item item;
    MatchCoder trial = coder;
    if (best_len >= 3 || (best_len == 2 && best_dist <= 64)) {
      if (trial.code((uint32_t)best_len, (uint32_t)best_dist, &item)) {
        coder = trial;
        items.push_back(item);
        for (size_t k = 0; k < best_len; k++) insert(p + k);
        p += best_len;
        continue;
      }
    }
    items.push_back(literal(data[p]));
    insert(p);
    p++;
  }
  return items;
}

std::vector<TableSet> split_sets(const std::vector<Item>& items, size_t per_set) {
  std::vector<TableSet> sets;
  if (per_set == 0) per_set = items.size() + 1;
  for (size_t i = 0; i < items.size() || sets.empty(); i += per_set) {
    TableSet set;
    size_t to = std::min(items.size(), i + per_set);
    set.items.assign(items.begin() + (ptrdiff_t)std::min(i, items.size()),
                     items.begin() + (ptrdiff_t)to);
    set.end_with_256 = true;
    sets.push_back(std::move(set));
    if (to == items.size()) break;
  }
  sets.back().end_with_256 = false;
  return sets;
}

}  // namespace dectest
