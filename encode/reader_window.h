#pragma once
// The reader's window, modelled block by block, so that the writer knows
// exactly how much history the reader will hold in front of each block.
//
// The reader allocates block size + 512 bytes for a stream's first block and
// grows the window only when a block needs more (to that need + 512). Before a
// compressed block it keeps min(history, keep) bytes, keep being the window
// selector's entry (the selector is not obeyed in a stream's first block,
// which has no history). Before a stored block that is not the stream's last
// it keeps min(history, max(0, 524288 - size), capacity - size) bytes, and
// none before a last stored block. The history in front of the next block is
// what was kept plus the block's own output.
#include <stdint.h>

namespace qev {

// History kept by each window selector value (row | column << 2; row 3 reads row 2).
uint32_t selector_keep(uint32_t selector);
// The smallest selector that keeps at least `need` bytes (need <= 524288).
uint32_t selector_for(uint32_t need);

class ReaderWindow {
 public:
  bool first() const { return first_; }
  // As after a block of WINDOW_SIZE or more bytes: the reader then holds all
  // that any selector keeps (a segment that continues a stream).
  void continued();
  // History in front of the next block, before its trimming.
  uint32_t available() const { return first_ ? 0 : history_ + last_len_; }
  // History the next compressed block sees with this selector.
  uint32_t kept_for(uint32_t selector) const;
  void compressed(uint32_t len, uint32_t selector);
  void stored(uint32_t len, bool last);
  uint32_t capacity() const { return capacity_; }

 private:
  bool first_ = true;
  uint32_t capacity_ = 0;
  uint32_t history_ = 0;   // history kept in front of the last block
  uint32_t last_len_ = 0;  // the last block's output
};

}  // namespace qev
