#include "encode/segment_pool.h"

namespace qev {

SegmentPool::SegmentPool(const EncoderOptions& options, unsigned threads) : options_(options) {
  for (unsigned i = 0; i < (threads ? threads : 1); i++) threads_.emplace_back([this] { work(); });
}

SegmentPool::~SegmentPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void SegmentPool::submit(std::unique_ptr<SegmentJob> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

std::unique_ptr<SegmentJob> SegmentPool::take() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (jobs_.empty()) return nullptr;
  finished_.wait(lock, [this] { return jobs_.front()->done; });
  std::unique_ptr<SegmentJob> job = std::move(jobs_.front());
  jobs_.pop_front();
  next_--;
  return job;
}

size_t SegmentPool::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_.size();
}

void SegmentPool::work() {
  std::unique_ptr<StreamEncoder> encoder;  // made with the first job: many archives are tiny
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || next_ < jobs_.size(); });
    if (stopping_) return;
    SegmentJob* job = jobs_[next_++].get();
    lock.unlock();
    if (!encoder) encoder = std::make_unique<StreamEncoder>(options_);
    encoder->encode_segment(job->segment, job->frames, &job->report);
    lock.lock();
    job->done = true;
    finished_.notify_all();
  }
}

}  // namespace qev
