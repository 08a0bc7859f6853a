#include "encode/huffman.h"

#include <algorithm>
#include <vector>

namespace qev {

void build_code_lengths(const uint32_t* freq, int n, int limit, uint8_t* lengths) {
  std::vector<int> syms;
  syms.reserve(n);
  for (int i = 0; i < n; i++) {
    lengths[i] = 0;
    if (freq[i]) syms.push_back(i);
  }
  if (syms.empty()) return;
  if (syms.size() == 1) {
    lengths[syms[0]] = 1;
    return;
  }
  // Least frequent first; ties by symbol so the result does not depend on the sort.
  std::sort(syms.begin(), syms.end(), [&](int a, int b) {
    return freq[a] != freq[b] ? freq[a] < freq[b] : a < b;
  });
  const int m = (int)syms.size();
  // Two-queue Huffman: leaves in sorted order, internal nodes in creation order
  // (their weights are non-decreasing). parent[] links nodes to compute depths.
  std::vector<uint64_t> weight(2 * m);
  std::vector<int> parent(2 * m, -1);
  for (int i = 0; i < m; i++) weight[i] = freq[syms[i]];
  int leaf = 0, node = m, next = m;
  auto take = [&]() {
    if (leaf < m && (node >= next || weight[leaf] <= weight[node])) return leaf++;
    return node++;
  };
  while (next < 2 * m - 1) {
    int a = take(), b = take();
    weight[next] = weight[a] + weight[b];
    parent[a] = parent[b] = next;
    next++;
  }
  std::vector<int> depth(2 * m, 0);
  for (int i = 2 * m - 3; i >= 0; i--) depth[i] = depth[parent[i]] + 1;
  // Count leaves per depth, clamped to the limit, then repair the Kraft sum
  // (in units of 2^-limit): while over-subscribed, move a leaf from the
  // deepest level above the limit one level down; then, while there is room,
  // move a leaf from the deepest level up where it fits, so the code stays
  // complete.
  std::vector<int> count(limit + 1, 0);
  for (int i = 0; i < m; i++) count[std::min(depth[i], limit)]++;
  const uint64_t full = 1ull << limit;
  uint64_t total = 0;
  for (int b = 1; b <= limit; b++) total += (uint64_t)count[b] << (limit - b);
  while (total > full) {
    int b = limit - 1;
    while (count[b] == 0) b--;
    count[b]--;
    count[b + 1]++;
    total -= 1ull << (limit - b - 1);
  }
  for (int b = limit; b >= 2 && total < full;) {
    uint64_t gain = 1ull << (limit - b);  // moving a leaf from b to b - 1
    if (count[b] > 0 && total + gain <= full) {
      count[b]--;
      count[b - 1]++;
      total += gain;
      b = limit;
    } else {
      b--;
    }
  }
  // Longest codes to the least frequent symbols.
  int i = 0;
  for (int b = limit; b >= 1; b--)
    for (int c = 0; c < count[b]; c++) lengths[syms[i++]] = (uint8_t)b;
}

void build_canonical_codes(const uint8_t* lengths, int n, uint16_t* codes) {
  int count[17] = {0};
  for (int i = 0; i < n; i++) count[lengths[i]]++;
  count[0] = 0;
  uint32_t next[17];
  uint32_t v = 0;
  for (int b = 1; b <= 16; b++) {
    v = (v + count[b - 1]) << 1;
    next[b] = v;
  }
  for (int i = 0; i < n; i++) {
    int l = lengths[i];
    if (!l) { codes[i] = 0; continue; }
    uint32_t c = next[l]++;
    uint32_t r = 0;
    for (int k = 0; k < l; k++) r |= ((c >> k) & 1) << (l - 1 - k);
    codes[i] = (uint16_t)r;
  }
}

}  // namespace qev
