#pragma once
// The benchmark's report: what was measured, the targets it is held against,
// and the two ways it is printed (a table for people, one JSON object).
#include <stdint.h>

#include <string>
#include <vector>

#include "bench/support.h"

namespace bench {

struct Packed {
  int level = 0;
  Bytes archive;
  int runs = 0;
  Timing time;  // median of the runs, on one thread
  Timing two_threads;     // the same on two threads (level 9 only)
  Timing decode;          // the host decoder
  Timing decode_compact;  // the stub's form of it
};

// A tree of --also: level 9 beside its peers.
struct OtherTree {
  std::string dir;
  uint64_t bytes = 0;
  uint32_t files = 0;
  uint64_t qev_l9_bytes = 0, zip9_bytes = 0, brotli_bytes = 0;
  Timing pack;
};

struct Report {
  std::string corpus;
  uint64_t corpus_bytes = 0;
  uint32_t files = 0, folders = 0;
  uint64_t zip9_bytes = 0, xz9_bytes = 0, brotli_bytes = 0;
  Timing zip9_time, xz9_time, brotli_time, zlib9_time, libdeflate12_time;
  std::vector<OtherTree> others;
  uint64_t zlib9_bytes = 0, libdeflate12_bytes = 0;
  std::vector<Packed> packed;
  Timing zlib_decode, libdeflate_decode;
  int reps = 0;
  uint64_t stub_bytes = 0;
  std::string load_start, load_end;
};

// MB/s: 10^6 bytes per second (0 for no time).
inline double mbps(uint64_t bytes, double seconds) { return seconds > 0 ? (double)bytes / 1e6 / seconds : 0; }

// The table, the ratios and each target's verdict, on standard output.
void print_human(const Report& r);
// The same as one JSON object on one line of standard output.
void print_json(const Report& r);

}  // namespace bench
