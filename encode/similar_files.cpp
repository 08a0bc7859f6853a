#include "encode/similar_files.h"

#include <string.h>

#include <algorithm>

namespace qev {
namespace {

// A full-avalanche mix of the 8 bytes: neighbouring strings get unrelated
// hashes, so the smallest ones are a fair sample of the file's strings.
uint64_t mix(uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return x;
}

}  // namespace

void sketch_content(const uint8_t* data, size_t size, ContentSketch& out) {
  out.count = 0;
  if (size < 8) return;
  uint64_t* v = out.value;
  int n = 0;
  for (size_t i = 0; i + 8 <= size; i++) {
    uint64_t word;
    memcpy(&word, data + i, 8);
    const uint64_t h = mix(word);
    if (n == SKETCH_SIZE && h >= v[n - 1]) continue;
    // Insert in order, once.
    int at = (int)(std::lower_bound(v, v + n, h) - v);
    if (at < n && v[at] == h) continue;
    if (n < SKETCH_SIZE) n++;
    memmove(v + at + 1, v + at, (size_t)(n - 1 - at) * sizeof *v);
    v[at] = h;
  }
  out.count = n;
}

uint32_t SimilarFiles::find_then_add(uint32_t id, const ContentSketch& sketch, int min_shared) {
  // Shared values per candidate; a file holds each value once, so counting
  // holders over the sketch's values counts the values each candidate shares.
  std::vector<std::pair<uint32_t, int>> counts;
  for (int k = 0; k < sketch.count; k++) {
    auto it = holders_.find(sketch.value[k]);
    if (it == holders_.end()) continue;
    for (uint32_t h : it->second) {
      auto c = std::find_if(counts.begin(), counts.end(), [h](const auto& p) { return p.first == h; });
      if (c == counts.end()) counts.push_back({h, 1});
      else c->second++;
    }
  }
  uint32_t best = NONE;
  int best_count = min_shared - 1;
  for (const auto& [h, c] : counts)
    if (c > best_count || (c == best_count && best != NONE && h > best)) best = h, best_count = c;
  for (int k = 0; k < sketch.count; k++) {
    std::vector<uint32_t>& list = holders_[sketch.value[k]];
    if (list.size() == HOLDERS_KEPT) list.erase(list.begin());
    list.push_back(id);
  }
  return best;
}

}  // namespace qev
