#pragma once
// Which earlier file a file resembles, so that the packer can list the two
// side by side and the compressor's window holds the first while it codes the
// second (near copies: a page in several editions, gzip files whose text
// differs late, sources that repeat each other's tables).
//
// A file's sketch is the SKETCH_SIZE smallest distinct hashes of its 8-byte
// strings: two files that share a fraction J of their strings share about
// J x SKETCH_SIZE of these values, whatever their sizes, so the count of shared
// values ranks candidates without comparing the files. Files below 8 bytes
// have no sketch.
//
// The index answers in the order files are added: only earlier files are
// candidates, and the answer depends on the files' bytes and order alone.
#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace qev {

constexpr int SKETCH_SIZE = 16;

struct ContentSketch {
  uint64_t value[SKETCH_SIZE];  // ascending
  int count = 0;
};

void sketch_content(const uint8_t* data, size_t size, ContentSketch& out);

class SimilarFiles {
 public:
  static constexpr uint32_t NONE = 0xFFFFFFFFu;
  // files: about how many files will be added (sizes the index).
  explicit SimilarFiles(size_t files);
  // The earlier file (by the id it was added with) that shares the most
  // values with this sketch, at least min_shared of them (the latest such
  // file on a tie), or NONE; then adds this file under id.
  uint32_t find_then_add(uint32_t id, const ContentSketch& sketch, int min_shared);

 private:
  // The latest files to hold each value, HOLDERS_KEPT at most (a value that
  // very many files hold, a common header, tells little about any pair of
  // them), in a table of a fixed size chosen up front: twice the values
  // expected, at most 2^20 slots of 40 bytes. A value lies in one of the
  // PROBES slots from the one its low bits name (a sketch holds the smallest
  // hashes, so their top bits are mostly 0); when all of them are taken
  // it replaces the value whose latest holder is oldest. So memory stays
  // within 40 MiB however many files come; files whose values were pushed out
  // are merely not found, and the answer still depends on the files alone.
  static constexpr int HOLDERS_KEPT = 8;
  static constexpr int PROBES = 4;
  static constexpr int MAX_SLOT_BITS = 20;
  size_t find_slot(uint64_t value) const;
  std::vector<uint64_t> value_;
  std::vector<uint32_t> holders_;  // HOLDERS_KEPT a slot, oldest first; NONE: empty
};

}  // namespace qev
