#pragma once
// What every part of the benchmark uses: CPU and wall time, running a child
// program, reading files and trees, and ending on a failure without leaving
// temporary files behind.
#include <stdint.h>
#include <time.h>

#include <string>
#include <vector>

#include "encode/source_tree.h"

namespace bench {

typedef std::vector<uint8_t> Bytes;

// A span of time measured two ways.
struct Timing {
  double cpu = 0, wall = 0;
};

double clock_seconds(clockid_t id);

// CPU time of this thread (decoding), or of the whole process (packing,
// whose work runs on the writer's threads).
class Stopwatch {
 public:
  explicit Stopwatch(clockid_t cpu_clock = CLOCK_THREAD_CPUTIME_ID)
      : clock_(cpu_clock), cpu_(clock_seconds(cpu_clock)), wall_(clock_seconds(CLOCK_MONOTONIC)) {}
  Timing elapsed() const { return {clock_seconds(clock_) - cpu_, clock_seconds(CLOCK_MONOTONIC) - wall_}; }

 private:
  clockid_t clock_;
  double cpu_, wall_;
};

// Medians of CPU and wall time, each taken on its own.
Timing median(const std::vector<Timing>& runs);
// The load average's three figures.
std::string loadavg();

// Files and then folders that a failure must not leave behind.
extern std::vector<std::string> leftovers;
// Prints why on standard error, removes the leftovers and exits with 1.
[[noreturn]] void die(const std::string& why);

// Runs argv in `cwd` with its standard output in `out_path` (or inherited
// when empty); false unless it exits with 0. *t gets the child's CPU time
// (user + system, from wait4) and the wall time.
bool run_child(const std::vector<std::string>& argv, const std::string& cwd, const std::string& out_path,
               Timing* t);
uint64_t file_size(const std::string& path);
bool read_file(const std::string& path, Bytes& out);
// The files of `dir` in packing order (planned as qev pack plans it), read
// into memory until `limit` bytes, and their concatenation.
void load_tree(const std::string& dir, uint64_t limit, std::vector<qev::PackEntry>& entries, Bytes& all,
               uint32_t& files, uint32_t& folders);
// The same files as qev pack lists them at `level`: repeats after the file
// they repeat, and from level 6 on grouped by likeness.
std::vector<qev::PackEntry> listed_for_level(const std::vector<qev::PackEntry>& entries, int level);

}  // namespace bench
