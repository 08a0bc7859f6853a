#include "encode/reader_window.h"

#include <initializer_list>

namespace qev {
namespace {

const uint32_t KEEP[3][8] = {
    {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},
    {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},
    {32768, 131072, 196608, 262144, 327680, 393216, 458752, 524288}};

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
  last_len_ = 524288;
}

void ReaderWindow::compressed(uint32_t len, uint32_t selector) {
  uint32_t h = kept_for(selector);
  if (first_) capacity_ = len + 512;
  if (h + len > capacity_) capacity_ = h + len + 512;
  history_ = h;
  last_len_ = len;
  first_ = false;
}

void ReaderWindow::stored(uint32_t len, bool last) {
  uint32_t h = available();
  if (first_) capacity_ = len + 512;
  if (len > capacity_) capacity_ = len + 512;
  if (last) {
    h = 0;
  } else {
    uint32_t keep = len < 524288 ? 524288 - len : 0;
    keep = min32(keep, capacity_ - len);
    h = min32(h, keep);
  }
  history_ = h;
  last_len_ = len;
  first_ = false;
}

}  // namespace qev
