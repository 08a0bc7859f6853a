#pragma once
// The decoded bytes of the stream being written, cut into segments
// (stream_encoder.h) as soon as they are final, so that the packer holds a
// window and a segment of each stream, not the stream.
//
// Bytes are added at the end (grow) and may be changed until the caller
// declares them final (the `final` offset of cut): a member's record waits
// for its flags, a member's data for the call filter. A segment is cut only
// when a final byte lies past it, so a cut segment is never the stream's
// last; close() hands out the rest as the last. Segments are `segment` bytes
// (a multiple of the block size) and where they fall depends on the stream's
// bytes alone. With `segment` 0 a stream is not cut: close() hands it out
// whole (blocks shorter than the window, stream_encoder.h).
//
// Held: at most WINDOW_SIZE bytes before the next cut (the next segment's
// dictionary) and the bytes after it.
#include <stdint.h>

#include <memory>
#include <vector>

#include "encode/segment_pool.h"

namespace qev {

class StreamCutter {
 public:
  explicit StreamCutter(uint64_t segment) : segment_(segment) {}
  uint64_t size() const { return base_ + buf_.size(); }
  bool empty() const { return size() == 0; }
  // n more bytes at the end. Pointers from grow and at stay valid until the
  // next grow, cut or close.
  uint8_t* grow(size_t n);
  // The byte at a stream offset that has not been cut (or lies in the next
  // segment's dictionary).
  uint8_t* at(uint64_t offset) { return buf_.data() + (offset - base_); }
  // The next segment, when the bytes before `final` reach past it; else null.
  std::unique_ptr<SegmentJob> cut(uint64_t final);
  // The rest of the stream as its last segment (null when the stream is
  // empty); the cutter is then ready for a new stream.
  std::unique_ptr<SegmentJob> close();

 private:
  std::unique_ptr<SegmentJob> job(uint64_t end, bool last);
  uint64_t segment_;
  std::vector<uint8_t> buf_;  // stream bytes from base_
  uint64_t base_ = 0;
  uint64_t cut_ = 0;          // where the next segment begins
};

}  // namespace qev
