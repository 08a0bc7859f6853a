#include "encode/stream_cutter.h"

#include <string.h>

#include "encode/symbols.h"

namespace qev {

uint8_t* StreamCutter::grow(size_t n) {
  const size_t at = buf_.size();
  buf_.resize(at + n);
  return buf_.data() + at;
}

std::unique_ptr<SegmentJob> StreamCutter::job(uint64_t end, bool last) {
  auto j = std::make_unique<SegmentJob>();
  Segment& s = j->segment;
  s.history = cut_ ? WINDOW_SIZE : 0;  // a cut lies at least one segment in
  s.size = (size_t)(end - cut_);
  s.first = cut_ == 0;
  s.last = last;
  j->input.resize(s.history + s.size + StreamEncoder::STREAM_PADDING, 0);
  memcpy(j->input.data(), at(cut_ - s.history), s.history + s.size);
  s.data = j->input.data();
  return j;
}

std::unique_ptr<SegmentJob> StreamCutter::cut(uint64_t final) {
  if (segment_ == 0 || final <= cut_ + segment_) return nullptr;
  std::unique_ptr<SegmentJob> j = job(cut_ + segment_, false);
  cut_ += segment_;
  // Keep the next segment's dictionary and what follows.
  const uint64_t keep_from = cut_ - WINDOW_SIZE;
  buf_.erase(buf_.begin(), buf_.begin() + (ptrdiff_t)(keep_from - base_));
  base_ = keep_from;
  return j;
}

std::unique_ptr<SegmentJob> StreamCutter::close() {
  std::unique_ptr<SegmentJob> j;
  if (size() > cut_) j = job(size(), true);
  buf_.clear();
  base_ = cut_ = 0;
  return j;
}

}  // namespace qev
