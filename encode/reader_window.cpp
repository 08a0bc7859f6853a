#include "encode/reader_window.h"

#include <initializer_list>

#include "decode/format.h"

namespace qev {
namespace {

// The history each window selector keeps (decode/format.h).
constexpr const uint32_t (&KEEP)[3][8] = WINDOW_SIZES;

uint32_t min32(uint32_t a, uint32_t b) { return a < b ? a : b; }

}  // namespace

uint32_t selector_keep(uint32_t selector) {
  uint32_t row = selector & 3, col = (selector >> 2) & 7;
  return KEEP[row == 3 ? 2 : row][col];
}

uint32_t selector_for(uint32_t need) {
  uint32_t best = 2 | (7 << 2);
  for (uint32_t row : {0u, 2u})
    for (uint32_t col = 0; col < 8; col++)
      if (KEEP[row][col] >= need && KEEP[row][col] < selector_keep(best)) best = row | (col << 2);
  return best;
}

uint32_t ReaderWindow::kept_for(uint32_t selector) const {
  return first_ ? 0 : min32(available(), selector_keep(selector));
}

void ReaderWindow::continued() {
  *this = ReaderWindow();
  first_ = false;
  last_len_ = MAX_HISTORY;
}

void ReaderWindow::compressed(uint32_t len, uint32_t selector) {
  uint32_t h = kept_for(selector);
  if (first_) capacity_ = len + WINDOW_SLACK;
  if (h + len > capacity_) capacity_ = h + len + WINDOW_SLACK;
  history_ = h;
  last_len_ = len;
  first_ = false;
}

void ReaderWindow::stored(uint32_t len, bool last) {
  uint32_t h = available();
  if (first_) capacity_ = len + WINDOW_SLACK;
  if (len > capacity_) capacity_ = len + WINDOW_SLACK;
  if (last) {
    h = 0;
  } else {
    uint32_t keep = len < MAX_HISTORY ? MAX_HISTORY - len : 0;
    keep = min32(keep, capacity_ - len);
    h = min32(h, keep);
  }
  history_ = h;
  last_len_ = len;
  first_ = false;
}

}  // namespace qev
