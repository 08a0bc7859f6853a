#pragma once
// Writes a whole archive: header, member streams, directory.
//
//   [header 42][stream: "QEVLH\0" frames...]...[dir block: "QEVDE\0" frame]...
//
// Holds for every archive written here:
//  - entries are in the order given; file members go into solid streams in
//    that order, so members of one stream have increasing stream_offset and
//    streams never interleave (the reader then decodes each stream in one
//    pass). A new stream begins when the current one has reached
//    stream_limit decoded bytes.
//  - a file whose entry names an earlier one as holding the same bytes
//    (same_as), and whose bytes as read prove it (size and SHA-256), is
//    stored once: its entry names the earlier member's record. That earlier
//    member's data then never cross a block boundary unless they start a
//    stream, so a repeat listed right after it is served from the block the
//    reader holds (or, for data longer than a block, from a restart that
//    decodes no more than the data themselves and one block).
//  - each member record is the 11-byte local record (size, name length, two
//    zero words, flags), the name, the data (filtered when flags say so) and
//    the CRC-32 of the unfiltered data. Empty files have a record too.
//  - folder entries carry FLAG_FOLDER, stream_pos/offset/size/crc 0.
//  - the directory is cut into blocks of whole entries that decode to at most
//    8192 bytes and whose frame fits the 8184 bytes the reader takes in.
//  - every header field is filled: magic, directory_pos, member_count,
//    archive_size, stream_data_size; the unread ones are 0.
// Output is deterministic: it depends only on the entries, the bytes read
// and the options other than the thread count.
//
// Memory: files are read in pieces and streams are compressed in segments
// (stream_cutter.h), so what the writer holds does not grow with the input:
// per thread an encoder's state and up to two segments in flight with their
// frames, besides the open segment, plus a directory entry per member.
#include <stdint.h>
#include <stdio.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "encode/stream_encoder.h"

namespace qev {

enum class FilterMode { Auto, None, E8_16, E8_32 };

constexpr uint32_t NOT_A_REPEAT = 0xFFFFFFFFu;

struct PackEntry {
  std::string name;            // Windows-1252 bytes, relative, backslash-separated
  bool folder = false;
  uint64_t size = 0;           // a file's size when it was listed (for planning)
  uint32_t same_as = NOT_A_REPEAT;  // an earlier entry expected to hold the same bytes
  std::string source;          // host path of a file's content ...
  std::vector<uint8_t> data;   // ... or the content itself when source is empty
  uint8_t attributes = 0;
  uint16_t create_date = 0, create_time = 0, write_date = 0, write_time = 0;
};

struct PackOptions {
  EncoderOptions encoder;
  FilterMode filter = FilterMode::Auto;
  uint64_t stream_limit = 32u << 20;  // decoded bytes after which a new stream starts
  uint32_t dir_block_limit = 8192;    // decoded bytes per directory block (tests cut smaller)
  BlockChoice dir_block;              // forced directory block kinds (tests)
  unsigned threads = 0;               // compressing threads; 0: one per core
};

// Where the archive goes. Offsets are archive positions (0 = the header).
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool write(const uint8_t* data, size_t size) = 0;
  virtual bool patch(uint64_t offset, const uint8_t* data, size_t size) = 0;
};

class VectorSink : public ByteSink {
 public:
  std::vector<uint8_t> bytes;
  bool write(const uint8_t* d, size_t n) override { bytes.insert(bytes.end(), d, d + n); return true; }
  bool patch(uint64_t off, const uint8_t* d, size_t n) override {
    if (off + n > bytes.size()) return false;
    std::copy(d, d + n, bytes.begin() + (ptrdiff_t)off);
    return true;
  }
};

// Writes to a file from its start, patching earlier bytes by seeking.
class FileSink : public ByteSink {
 public:
  explicit FileSink(FILE* f) : f_(f) {}
  bool write(const uint8_t* d, size_t n) override { return fwrite(d, 1, n, f_) == n; }
  bool patch(uint64_t off, const uint8_t* d, size_t n) override {
    off_t end = ftello(f_);
    return fseeko(f_, (off_t)off, SEEK_SET) == 0 && fwrite(d, 1, n, f_) == n &&
           fseeko(f_, end, SEEK_SET) == 0;
  }

 private:
  FILE* f_;
};

struct PackResult {
  uint32_t files = 0, folders = 0, streams = 0, dir_blocks = 0;
  uint32_t filtered16 = 0, filtered32 = 0;
  uint32_t repeats = 0;        // files stored as another's record
  uint64_t bytes_in = 0;       // file content read, repeats included
  uint64_t repeat_bytes = 0;   // of which in repeats
  uint64_t archive_size = 0;
  StreamReport report;
  std::vector<std::string> warnings;  // files that changed while they were read
  std::string error;           // set when write_archive fails
};

// Called after each file with the bytes read so far.
using PackProgress = std::function<void(uint64_t bytes_in, uint32_t files_done)>;

// False (with result.error naming the file or the limit) when a file cannot be
// read, is too large, or the archive would pass the 32-bit position range.
// The progress callback runs on the calling thread.
bool write_archive(const std::vector<PackEntry>& entries, const PackOptions& options, ByteSink& sink,
                   PackResult& result, const PackProgress& progress = nullptr);

// The filter a member gets under a mode: 0, FLAG_E8_16 or FLAG_E8_32.
uint8_t choose_filter(FilterMode mode, const uint8_t* data, size_t size);

}  // namespace qev
