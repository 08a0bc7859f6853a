#pragma once
// Compresses stream segments on worker threads and hands them back in the
// order they were given, so that what is written never depends on which
// thread finished first. Each thread has its own StreamEncoder; a segment's
// frames depend only on its bytes and the options (stream_encoder.h), so any
// number of threads gives the same frames.
#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "encode/stream_encoder.h"

namespace qev {

struct SegmentJob {
  std::vector<uint8_t> input;   // the dictionary, the segment, STREAM_PADDING bytes
  Segment segment;              // its data point into input
  uint32_t stream = 0;          // which of the archive's streams it belongs to
  std::vector<uint8_t> frames;  // the result
  StreamReport report;
  bool done = false;
};

class SegmentPool {
 public:
  SegmentPool(const EncoderOptions& options, unsigned threads);
  ~SegmentPool();  // drops what was not taken back and stops the threads
  void submit(std::unique_ptr<SegmentJob> job);
  // The oldest job given and not yet taken back, once it is done; null when
  // there is none.
  std::unique_ptr<SegmentJob> take();
  size_t pending() const;

 private:
  void work();
  EncoderOptions options_;
  mutable std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::unique_ptr<SegmentJob>> jobs_;  // in the order given
  size_t next_ = 0;                               // jobs_[next_] is the next to start
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace qev
