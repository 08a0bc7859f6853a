#include "encode/archive_writer.h"

#include <string.h>

#include <algorithm>
#include <map>
#include <thread>

#include "archive/layout.h"
#include "encode/call_filter.h"
#include "encode/checksum.h"
#include "encode/directory_writer.h"
#include "encode/member_source.h"
#include "encode/segment_pool.h"
#include "encode/sha256.h"
#include "encode/stream_cutter.h"

namespace qev {
namespace {

constexpr uint64_t POSITION_LIMIT = 0xFFFFFFFFull;  // archive positions are u32
// Files are read in pieces of this size.
constexpr size_t READ_PIECE = 1u << 20;
// Blocks per segment: fewer give more segments to share among threads, more
// lose less to segment boundaries (each starts its statistics afresh).
constexpr uint64_t SEGMENT_BLOCKS = 4;

// The filter of a member whose first bytes are `head`.
uint8_t filter_for(FilterMode mode, MemberSource& src, const uint8_t* head, size_t head_len) {
  const uint64_t size = src.size();
  if (mode != FilterMode::Auto || !filter_allowed(size)) return choose_filter(mode, head, (size_t)size);
  if (is_x86_elf_image(head, head_len)) return FLAG_E8_32;
  if (head_len < 64) return 0;  // the whole file is at hand and too short
  const uint64_t pe = pe_header_at(head, size);
  if (!pe) return 0;
  uint8_t header[24];
  if (pe + 24 <= head_len) memcpy(header, head + pe, 24);
  else if (!src.peek(pe, header, 24)) return 0;
  return is_x86_pe_header(header) ? FLAG_E8_32 : 0;
}

// Whether the data of a record at stream offset `at` cross a block boundary.
bool crosses_block(uint64_t at, uint64_t data_end, uint32_t block) {
  return at / block != (data_end - 1) / block;
}

class Writer {
 public:
  Writer(const std::vector<PackEntry>& entries, const PackOptions& opt, ByteSink& sink, PackResult& res,
         const PackProgress& progress)
      : entries_(entries), opt_(opt), sink_(sink), res_(res), progress_(progress),
        threads_(opt.threads ? opt.threads : std::max(1u, std::thread::hardware_concurrency())),
        block_(StreamEncoder::block_size(opt.encoder)),
        pool_(opt.encoder, threads_),
        cutter_(StreamEncoder::segment_ready(opt.encoder) ? SEGMENT_BLOCKS * block_ : 0),
        dir_(entries.size()), stream_of_(entries.size(), 0), repeated_(entries.size(), false) {}

  bool run();

 private:
  bool fail(const std::string& why) {
    if (res_.error.empty()) res_.error = why;
    return false;
  }
  bool write(const uint8_t* d, size_t n) {
    if (position_ + n > POSITION_LIMIT) return fail("the archive would be larger than 4 GiB");
    if (!sink_.write(d, n)) return fail("cannot write the archive");
    position_ += n;
    return true;
  }
  bool write_segment(const SegmentJob& job);
  bool drain(size_t keep);
  bool submit(std::unique_ptr<SegmentJob> job);
  bool close_stream() { return submit(cutter_.close()); }
  bool cut_ready(uint64_t final);
  bool pack_file(size_t i);
  bool same_as_before(size_t i, const DirectoryEntry& d);
  bool write_directory_and_header();

  const std::vector<PackEntry>& entries_;
  const PackOptions& opt_;
  ByteSink& sink_;
  PackResult& res_;
  const PackProgress& progress_;
  const unsigned threads_;
  const uint32_t block_;
  SegmentPool pool_;
  StreamCutter cutter_;
  uint64_t position_ = 0;
  uint32_t streams_ = 0;              // streams begun; the open one is streams_ - 1
  std::vector<uint64_t> stream_pos_;  // per stream, once its first segment is written
  std::vector<DirectoryEntry> dir_;
  std::vector<uint32_t> stream_of_;
  std::vector<bool> repeated_;        // a later entry names this one in same_as
  std::map<size_t, Digest> digests_;  // of repeated members, as stored
  std::vector<uint8_t> piece_;
};

bool Writer::write_segment(const SegmentJob& job) {
  if (job.segment.first) {
    stream_pos_[job.stream] = position_;
    if (!write(STREAM_MAGIC, MAGIC_SIZE)) return false;
  }
  if (!write(job.frames.data(), job.frames.size())) return false;
  StreamReport& r = res_.report;
  const StreamReport& j = job.report;
  r.blocks += j.blocks;
  r.stored += j.stored;
  r.default_sets += j.default_sets;
  r.sent_sets += j.sent_sets;
  for (int t = 0; t < 4; t++) r.tables_used[t] += j.tables_used[t];
  r.max_sets = std::max(r.max_sets, j.max_sets);
  r.selector_rows |= j.selector_rows;
  r.max_distance = std::max(r.max_distance, j.max_distance);
  r.max_history = std::max(r.max_history, j.max_history);
  return true;
}

// Writes finished segments, oldest first, until at most `keep` are pending.
bool Writer::drain(size_t keep) {
  while (pool_.pending() > keep) {
    std::unique_ptr<SegmentJob> job = pool_.take();
    if (!write_segment(*job)) return false;
  }
  return true;
}

// Two segments per thread in flight keep every thread busy while the
// oldest is written.
bool Writer::submit(std::unique_ptr<SegmentJob> job) {
  if (!job) return true;
  job->stream = streams_ - 1;
  pool_.submit(std::move(job));
  return drain(2 * threads_);
}

bool Writer::cut_ready(uint64_t final) {
  while (std::unique_ptr<SegmentJob> job = cutter_.cut(final))
    if (!submit(std::move(job))) return false;
  return true;
}

// A repeat whose bytes, read now, are those stored for the entry it names:
// it takes that member's record.
bool Writer::same_as_before(size_t i, const DirectoryEntry& d) {
  const PackEntry& e = entries_[i];
  if (e.same_as >= i || entries_[e.same_as].folder) return false;
  auto first = digests_.find(e.same_as);
  if (first == digests_.end()) return false;  // that one was itself stored as a repeat
  const DirectoryEntry& f = dir_[e.same_as];
  return f.size == d.size && f.crc32 == d.crc32 && first->second == digests_[i];
}

bool Writer::pack_file(size_t i) {
  const PackEntry& e = entries_[i];
  DirectoryEntry& d = dir_[i];
  MemberSource src;
  if (!src.open(e, res_.error)) return false;
  const uint64_t size = src.size();
  if (size > POSITION_LIMIT - 64 - e.name.size())
    return fail("'" + e.name + "' is too large (a member holds at most 4 GiB - 1 bytes)");
  d.size = (uint32_t)size;
  const bool repeat = e.same_as < i;
  const bool hashed = repeat || repeated_[i];
  Sha256 sha;
  uint32_t crc = 0;

  if (repeat) {
    // Read it through once; only if it differs is it read again and stored.
    piece_.resize(READ_PIECE);
    for (uint64_t left = size; left > 0;) {
      size_t n = (size_t)std::min<uint64_t>(left, READ_PIECE);
      if (!src.read(piece_.data(), n, res_.error)) return false;
      crc = crc32_update(crc, piece_.data(), n);
      sha.update(piece_.data(), n);
      left -= n;
    }
    d.crc32 = crc;
    digests_[i] = sha.finish();
    std::string changed = src.finish();
    if (same_as_before(i, d)) {
      if (!changed.empty()) res_.warnings.push_back(changed);
      const DirectoryEntry& f = dir_[e.same_as];
      d.stream_offset = f.stream_offset;
      d.flags = f.flags;
      stream_of_[i] = stream_of_[e.same_as];
      if (!repeated_[i]) digests_.erase(i);
      res_.repeats++;
      res_.repeat_bytes += size;
      return true;
    }
    digests_.erase(i);
    sha = Sha256();
    crc = 0;
    if (!src.open(e, res_.error)) return false;
    if (src.size() != size) {
      res_.warnings.push_back("'" + e.source + "' changed while it was read; the archive holds what was read");
      d.size = (uint32_t)std::min<uint64_t>(src.size(), POSITION_LIMIT - 64 - e.name.size());
    }
  }
  const uint64_t stored = d.size;

  // Where the record goes: a new stream past the stream limit or the 32-bit
  // offset range, and for data that repeat, wherever they would cross a block.
  const uint64_t record = MEMBER_RECORD_SIZE + e.name.size() + stored + 4;
  if (!cutter_.empty()) {
    const uint64_t at = cutter_.size();
    const uint64_t data_end = at + MEMBER_RECORD_SIZE + e.name.size() + stored;
    if (at >= opt_.stream_limit || at + record > POSITION_LIMIT ||
        (repeated_[i] && stored > 0 && crosses_block(at, data_end, block_))) {
      if (!close_stream()) return false;
    }
  }
  if (cutter_.empty()) {
    streams_++;
    stream_pos_.push_back(0);
    res_.streams++;
  }
  stream_of_[i] = streams_ - 1;
  const uint64_t rec_at = cutter_.size();
  d.stream_offset = (uint32_t)rec_at;
  cutter_.grow(MEMBER_RECORD_SIZE);
  uint8_t* name = cutter_.grow(e.name.size());
  memcpy(name, e.name.data(), e.name.size());

  // The data, piece by piece; the record waits for the flags, which wait for
  // the first piece.
  const uint64_t data_at = cutter_.size();
  CallFilterRun filter(0, stored);
  for (uint64_t got = 0; got < stored || got == 0;) {
    const size_t n = (size_t)std::min<uint64_t>(stored - got, READ_PIECE);
    uint8_t* p = cutter_.grow(n);
    if (!src.read(p, n, res_.error)) return false;
    crc = crc32_update(crc, p, n);
    if (hashed) sha.update(p, n);
    if (got == 0) {
      d.flags = filter_for(opt_.filter, src, p, n);
      MemberRecord mr = {};
      mr.local_size = d.size;
      mr.local_name_len = (uint16_t)e.name.size();
      mr.local_flags = d.flags;
      write_member_record(mr, cutter_.at(rec_at));
      filter = CallFilterRun(d.flags, stored);
    }
    got += n;
    uint64_t final = data_at + got;
    if (d.flags) final = data_at + filter.run(cutter_.at(data_at + filter.done()), got);
    if (!cut_ready(final)) return false;
    if (stored == 0) break;
  }
  d.crc32 = crc;
  store_le32(cutter_.grow(4), crc);
  if (!cut_ready(cutter_.size())) return false;
  std::string changed = src.finish();
  if (!changed.empty()) res_.warnings.push_back(changed);
  if (repeated_[i]) digests_[i] = sha.finish();
  if (d.flags == FLAG_E8_16) res_.filtered16++;
  if (d.flags == FLAG_E8_32) res_.filtered32++;
  return true;
}

bool Writer::run() {
  uint8_t header[ARCHIVE_HEADER_SIZE] = {0};
  if (!write(header, sizeof header)) return false;
  for (size_t i = 0; i < entries_.size(); i++)
    if (entries_[i].same_as < i) repeated_[entries_[i].same_as] = true;

  for (size_t i = 0; i < entries_.size(); i++) {
    const PackEntry& e = entries_[i];
    DirectoryEntry& d = dir_[i];
    d = DirectoryEntry();
    d.attributes = e.attributes;
    d.name_len = (uint16_t)e.name.size();
    d.create_date = e.create_date;
    d.create_time = e.create_time;
    d.write_date = e.write_date;
    d.write_time = e.write_time;
    if (e.folder) {
      d.flags = FLAG_FOLDER;
      res_.folders++;
      continue;
    }
    if (!pack_file(i)) return false;
    res_.files++;
    res_.bytes_in += d.size;
    if (progress_) progress_(res_.bytes_in, res_.files);
  }
  if (!close_stream() || !drain(0)) return false;
  for (size_t i = 0; i < entries_.size(); i++)
    if (!entries_[i].folder) dir_[i].stream_pos = (uint32_t)stream_pos_[stream_of_[i]];
  return write_directory_and_header();
}

bool Writer::write_directory_and_header() {
  std::vector<uint8_t> serial;
  std::vector<uint32_t> ends;
  for (size_t i = 0; i < entries_.size(); i++) {
    size_t at = serial.size();
    serial.resize(at + DIR_ENTRY_FIXED_SIZE);
    write_entry(dir_[i], serial.data() + at);
    serial.insert(serial.end(), entries_[i].name.begin(), entries_[i].name.end());
    ends.push_back((uint32_t)serial.size());
  }
  const uint64_t directory_pos = position_;
  std::vector<uint8_t> frames;
  res_.dir_blocks = write_directory(serial, ends, opt_.dir_block_limit, opt_.dir_block, frames);
  if (!write(frames.data(), frames.size())) return false;

  ArchiveHeader h = {};
  memcpy(h.archive_magic, ARCHIVE_MAGIC, 4);
  h.directory_pos = (uint32_t)directory_pos;
  h.member_count = (uint32_t)entries_.size();
  h.archive_size = (uint32_t)position_;
  h.stream_data_size = (uint32_t)(directory_pos - ARCHIVE_HEADER_SIZE);
  uint8_t header[ARCHIVE_HEADER_SIZE];
  write_header(h, header);
  if (!sink_.patch(0, header, sizeof header)) return fail("cannot write the archive");
  res_.archive_size = position_;
  return true;
}

}  // namespace

uint8_t choose_filter(FilterMode mode, const uint8_t* data, size_t size) {
  if (!filter_allowed(size)) return 0;
  switch (mode) {
    case FilterMode::None: return 0;
    case FilterMode::E8_16: return FLAG_E8_16;
    case FilterMode::E8_32: return FLAG_E8_32;
    case FilterMode::Auto: return is_x86_pe(data, size) || is_x86_elf_image(data, size) ? FLAG_E8_32 : 0;
  }
  return 0;
}

bool write_archive(const std::vector<PackEntry>& entries, const PackOptions& opt, ByteSink& sink,
                   PackResult& res, const PackProgress& progress) {
  res = PackResult();
  Writer w(entries, opt, sink, res, progress);
  return w.run();
}

}  // namespace qev
