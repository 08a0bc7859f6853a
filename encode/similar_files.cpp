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

SimilarFiles::SimilarFiles(size_t files) {
  // Some two slots a value, so that few values of a tree meet in a slot.
  int slot_bits = 10;
  while (slot_bits < MAX_SLOT_BITS && ((size_t)1 << slot_bits) < files * SKETCH_SIZE * 2) slot_bits++;
  value_.assign((size_t)1 << slot_bits, 0);
  holders_.assign(value_.size() * HOLDERS_KEPT, NONE);
}

// The slot that holds value, or NONE.
size_t SimilarFiles::find_slot(uint64_t value) const {
  const size_t mask = value_.size() - 1, home = (size_t)value & mask;
  for (int p = 0; p < PROBES; p++) {
    const size_t s = (home + p) & mask;
    if (holders_[s * HOLDERS_KEPT] != NONE && value_[s] == value) return s;
  }
  return NONE;
}

uint32_t SimilarFiles::find_then_add(uint32_t id, const ContentSketch& sketch, int min_shared) {
  // A sketch's values are distinct and a file holds a slot once, so each
  // vote for a holder is a value it shares.
  uint32_t votes_for[SKETCH_SIZE * HOLDERS_KEPT];
  int votes[SKETCH_SIZE * HOLDERS_KEPT], candidates = 0;
  for (int k = 0; k < sketch.count; k++) {
    const size_t slot = find_slot(sketch.value[k]);
    if (slot == NONE) continue;
    for (int w = 0; w < HOLDERS_KEPT; w++) {
      const uint32_t h = holders_[slot * HOLDERS_KEPT + w];
      if (h == NONE) continue;
      int c = 0;
      while (c < candidates && votes_for[c] != h) c++;
      if (c == candidates) votes_for[candidates] = h, votes[candidates++] = 0;
      votes[c]++;
    }
  }
  uint32_t best = NONE;
  int best_votes = min_shared - 1;
  for (int c = 0; c < candidates; c++)
    if (votes[c] > best_votes || (votes[c] == best_votes && best != NONE && votes_for[c] > best))
      best = votes_for[c], best_votes = votes[c];
  const size_t mask = value_.size() - 1;
  for (int k = 0; k < sketch.count; k++) {
    const uint64_t v = sketch.value[k];
    size_t slot = find_slot(v);
    if (slot == NONE) {
      // An empty slot near home, else the one whose latest holder is oldest.
      const size_t home = (size_t)v & mask;
      uint32_t oldest = NONE;
      for (int p = 0; p < PROBES && oldest != 0; p++) {
        const size_t s = (home + p) & mask;
        const uint32_t* held = &holders_[s * HOLDERS_KEPT];
        if (held[0] == NONE) { slot = s; break; }
        uint32_t latest = held[0];
        for (int w = 1; w < HOLDERS_KEPT && held[w] != NONE; w++) latest = held[w];
        if (slot == NONE || latest < oldest) slot = s, oldest = latest;
      }
      value_[slot] = v;
      std::fill(&holders_[slot * HOLDERS_KEPT], &holders_[slot * HOLDERS_KEPT] + HOLDERS_KEPT, NONE);
    }
    uint32_t* held = &holders_[slot * HOLDERS_KEPT];
    int w = 0;
    while (w < HOLDERS_KEPT && held[w] != NONE) w++;
    if (w == HOLDERS_KEPT) {
      std::copy(held + 1, held + HOLDERS_KEPT, held);
      w--;
    }
    held[w] = id;
  }
  return best;
}

}  // namespace qev
