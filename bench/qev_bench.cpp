// qev-bench: this format's writer and decoder beside zip, xz, brotli, zlib and
// libdeflate, on the same files in the same run.
//
//   qev-bench --corpus DIR [--json] [--reps N] [--levels 1,6,9] [--no-xz]
//             [--no-brotli] [--also TREE]... [--stub STUB.exe] [--limit BYTES]
//             [--profile [--compact]]
//   qev-bench --corpus DIR --peak-memory [--json] [--qev PATH] [--pack-tree BIG]
//
// With --json, standard output carries one JSON object and nothing else
// (progress goes to standard error). The figures are checked against the
// targets at the top of the namespace below; the exit status is 0 whether or
// not they are met, 1 when something failed (a decoder's output differs, a
// file cannot be read), 2 for a wrong command line.
//
// What is measured:
//  - Packing. The files of DIR, listed and ordered as `qev pack` does, read into
//    memory first (the disk is not timed), are packed with the archive writer
//    at each level into memory. A level whose first run takes less than 8 s
//    is packed again (3 or 5 runs in all) and the median is taken; every run
//    must give the same bytes. Speed: MB/s (10^6 bytes) of file content.
//  - Peers. `zip -9 -r` of DIR, and `xz -9 -T1` and `brotli -q 11
//    --lgwin=19` (the strongest LZ77-and-Huffman coder with this format's
//    512 KiB window) of the files concatenated in the same order (all run as
//    child processes; their CPU time is theirs), zlib level 9 as one raw
//    deflate stream and libdeflate level 12, both of the same concatenation
//    and in this process.
//  - Other trees (--also, any number): each packed once at level 9 on one
//    thread, beside `zip -9 -r` of it (and brotli as above), for the size
//    target that holds on trees other than the corpus.
//  - Decoding, in memory, each run a median of N (default 9, at least 7),
//    the decoders taking turns run by run so that a change in the machine's
//    load reaches all of them alike:
//      qev         each archive lies in a memory file (memfd). The installer's
//                  own path reads it: the directory walk and decode_member
//                  for every file member in directory order, each CRC-32
//                  checked against the directory, call filters undone. The
//                  decoded bytes are built in the decoder's window in memory,
//                  as the deflate decoders build theirs in an output buffer;
//                  the file they would go to is /dev/null, so the write calls
//                  are made but no copy is charged that the peers do not pay.
//                  (The decoder's sources are the stub's, compiled for the
//                  host with this tree's compiler and flags.)
//      qev compact the same pass by the stub's own form of the decoder:
//                  the same sources in their compact form, compiled with
//                  the stub's flags (a library of its own, see
//                  CMakeLists.txt), so that the speed of the code that the
//                  installer runs is measured on the host too.
//      zlib        inflate of the whole stream into one buffer, then crc32.
//      libdeflate  libdeflate_deflate_decompress into one buffer, then
//                  libdeflate_crc32.
//    Speed: MB/s of decoded file content.
// Times are this thread's (or the child's) CPU time, user and system: on a
// machine shared with other work, CPU time leaves out the time others hold
// the core. Wall-clock figures are reported beside them (keys *_wall_MBps),
// and so is the load average at the start and at the end.
//
// --profile packs at the last level of --levels only and then just decodes
// that archive N times, for a profiler (perf, callgrind; --limit makes the
// input smaller), by the stub's compact form with --compact. --stub adds the stub's size to the report.
//
// --peak-memory measures something else: the maximum resident set of
// `qev test` (the qev beside this program, or --qev PATH) on an archive of
// DIR and on an archive of ten copies of DIR (the same files listed ten times
// under copy0\ to copy9\), both packed at qev pack's default level into a
// temporary folder that is removed afterwards. The extraction path holds a
// fixed set of buffers whatever the archive's size, so the two must differ by
// less than 1 MiB. Each figure is the median of 3 runs (VmHWM, see run_peak_rss).
// Beside it, the maximum resident set of `qev pack DIR` (its default level and
// threads, median of 3 runs) and, with --pack-tree, of `qev pack BIG` (one
// run): pack reads files in pieces and compresses streams in segments, so
// its peak stays within PACK_PEAK_BASE and PACK_PEAK_PER_THREAD per thread
// whatever the tree holds; two trees differ by the directory it keeps (about
// 100 bytes per member).
#include <errno.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <stdio.h>
#include <stdlib.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "archive/directory_reader.h"
#include "archive_pass.h"
#include "base/result_codes.h"
#include "decode/decoder_state.h"
#include "encode/archive_writer.h"
#include "encode/pack_plan.h"
#include "encode/source_tree.h"
#include "platform/platform.h"
#include "shell/stub_config.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// The targets this benchmark reports against.
constexpr double DECODE_VS_LIBDEFLATE = 1.10;  // at least, both forms of the decoder
constexpr double L9_VS_ZIP9 = 0.70, L9_MBPS = 3;    // at most, at least
constexpr double L6_VS_ZIP9 = 0.76, L6_MBPS = 25;
constexpr double L1_VS_ZIP9 = 0.95, L1_MBPS = 100;
constexpr double OTHER_L9_VS_ZIP9 = 0.72;           // level 9 on the --also trees, at L9_MBPS
constexpr uint64_t STUB_BUDGET = DEFAULT_ARCHIVE_OFFSET;

constexpr double TWO_THREADS_TIME = 0.6;        // at most, x one thread's wall time at level 9
constexpr uint64_t PEAK_MEMORY_SPREAD = 1024;  // KiB
// qev pack at its default level, worst case (incompressible files): 64 MiB,
// and 112 MiB per thread (an encoder's block buffers, two segments in flight
// with their frames).
constexpr uint64_t PACK_PEAK_BASE = 64 << 10, PACK_PEAK_PER_THREAD = 112 << 10;  // KiB
constexpr int COPIES = 10;

const char* const USAGE =
    "usage: qev-bench --corpus DIR [--json] [--reps N] [--levels 1,6,9] [--no-xz]\n"
    "                 [--no-brotli] [--also TREE]... [--stub STUB.exe] [--limit BYTES]\n"
    "                 [--profile [--compact]]\n"
    "       qev-bench --corpus DIR --peak-memory [--json] [--qev PATH] [--pack-tree BIG]\n";

// A span of time measured two ways.
struct Timing {
  double cpu = 0, wall = 0;
};

double clock_seconds(clockid_t id) {
  timespec t;
  clock_gettime(id, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

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
Timing median(const std::vector<Timing>& runs) {
  std::vector<double> cpu, wall;
  for (const Timing& t : runs) {
    cpu.push_back(t.cpu);
    wall.push_back(t.wall);
  }
  std::sort(cpu.begin(), cpu.end());
  std::sort(wall.begin(), wall.end());
  size_t n = runs.size();
  auto mid = [n](const std::vector<double>& v) { return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2; };
  return {mid(cpu), mid(wall)};
}

std::string loadavg() {
  FILE* f = fopen("/proc/loadavg", "r");
  if (!f) return "?";
  char line[128] = {0};
  if (!fgets(line, sizeof line, f)) line[0] = 0;
  fclose(f);
  // The three averages only.
  std::string s = line;
  size_t cut = 0;
  for (int fields = 0; cut < s.size() && fields < 3; cut++)
    if (s[cut] == ' ') fields++;
  return s.substr(0, cut ? cut - 1 : 0);
}

// Files and then folders that a failure must not leave behind.
std::vector<std::string> leftovers;

void die(const std::string& why) {
  fprintf(stderr, "qev-bench: %s\n", why.c_str());
  for (const std::string& path : leftovers) remove(path.c_str());
  exit(1);
}

// Runs argv in `cwd` with its standard output in `out_path` (or inherited
// when empty); false unless it exits with 0. *t gets the child's CPU time
// (user + system, from wait4) and the wall time.
bool run_child(const std::vector<std::string>& argv, const std::string& cwd, const std::string& out_path,
               Timing* t) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  double w0 = clock_seconds(CLOCK_MONOTONIC);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    if (!out_path.empty()) {
      int fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
      close(fd);
    }
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage ru = {};
  if (wait4(pid, &status, 0, &ru) != pid) return false;
  t->wall = clock_seconds(CLOCK_MONOTONIC) - w0;
  t->cpu = (double)ru.ru_utime.tv_sec + ru.ru_utime.tv_usec * 1e-6 + (double)ru.ru_stime.tv_sec +
           ru.ru_stime.tv_usec * 1e-6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

uint64_t file_size(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (uint64_t)st.st_size : 0;
}

bool read_file(const std::string& path, Bytes& out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  uint8_t buf[1 << 16];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

// The files of `dir` in packing order (planned as qev pack plans it), read
// into memory until `limit` bytes, and their concatenation.
void load_tree(const std::string& dir, uint64_t limit, std::vector<qev::PackEntry>& entries, Bytes& all,
               uint32_t& files, uint32_t& folders) {
  qev::ScanResult scan;
  if (!qev::scan_source_tree(dir, scan)) die(scan.error);
  qev::plan_pack(scan.entries);
  for (qev::PackEntry& e : scan.entries) {
    if (!e.folder) {
      if (all.size() >= limit) break;
      if (!read_file(e.source, e.data)) die("cannot read " + e.source);
      e.source.clear();
      all.insert(all.end(), e.data.begin(), e.data.end());
      files++;
    } else {
      folders++;
    }
    entries.push_back(std::move(e));
  }
}

// The size of what a child writes to `out`, 0 when it fails.
uint64_t peer_bytes(const std::vector<std::string>& argv, const std::string& cwd, const std::string& out,
                    const std::string& stdout_path, Timing* t) {
  uint64_t bytes = run_child(argv, cwd, stdout_path, t) ? file_size(out) : 0;
  if (!bytes) fprintf(stderr, "qev-bench: %s failed (is it installed?)\n", argv[0].c_str());
  unlink(out.c_str());
  return bytes;
}

// `zip -9 -r` of a folder, names relative to it as in the archive.
uint64_t zip9_bytes(const std::string& dir, const std::string& tmp, Timing* t) {
  const std::string zip = tmp + "/peer.zip";
  return peer_bytes({"zip", "-9", "-r", "-q", zip, "."}, dir, zip, "", t);
}

// A compressor that writes to standard output, on the concatenated files.
uint64_t concatenation_bytes(std::vector<std::string> argv, const Bytes& all, const std::string& tmp, Timing* t) {
  const std::string cat = tmp + "/peer.cat", out = tmp + "/peer.out";
  FILE* f = fopen(cat.c_str(), "wb");
  if (!f || fwrite(all.data(), 1, all.size(), f) != all.size() || fclose(f) != 0) die("cannot write " + cat);
  argv.push_back(cat);
  uint64_t bytes = peer_bytes(argv, "", out, out, t);
  unlink(cat.c_str());
  return bytes;
}

const std::vector<std::string> BROTLI = {"brotli", "-q", "11", "--lgwin=19", "-c"};

// --- the archive decoded by the installer's own path ------------------------

// An archive in a memory file, decoded member by member as the extraction
// driver does, minus the files: the destination is /dev/null.
typedef ArchivePass (*PassFunction)(FileHandle archive, FileHandle sink, uint8_t* buffer);

class ArchiveDecoder {
 public:
  explicit ArchiveDecoder(const Bytes& archive) {
    fd_ = memfd_create("qev-bench-archive", 0);
    if (fd_ < 0) die(std::string("memfd_create: ") + strerror(errno));
    for (size_t done = 0; done < archive.size();) {
      ssize_t n = write(fd_, archive.data() + done, archive.size() - done);
      if (n <= 0) die(std::string("writing the memory file: ") + strerror(errno));
      done += (size_t)n;
    }
    // The driver's single allocation: input buffer, then the directory buffer.
    buffer_.resize(INPUT_BUFFER_ALLOC + DIR_BUFFER_SIZE);
    sink_ = file_open("/dev/null", ACCESS_WRITE);
    if (sink_ == INVALID_FILE) die("cannot open /dev/null");
  }
  ~ArchiveDecoder() {
    file_close(sink_);
    close(fd_);
  }

  // Decodes every file member by `pass`; returns the bytes restored, or dies
  // naming the entry that failed.
  uint64_t run(PassFunction pass, const char* who) {
    ArchivePass p = pass(fd_, sink_, buffer_.data());
    if (p.result != 0) {
      die(std::string(who) + ": entry " + std::to_string(p.failed_entry) +
          (p.result == ERR_CRC ? std::string(": fails its check") : ": result " + std::to_string(p.result)));
    }
    return p.bytes;
  }

 private:
  int fd_;
  FileHandle sink_;
  Bytes buffer_;
};

// --- deflate peers -----------------------------------------------------------

Bytes zlib_compress(const Bytes& data) {
  z_stream z = {};
  if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) die("deflateInit2");
  Bytes out(deflateBound(&z, data.size()));
  z.next_in = const_cast<uint8_t*>(data.data());
  z.avail_in = (uInt)data.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) die("zlib deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

uint32_t zlib_decode(const Bytes& coded, Bytes& out) {
  z_stream z = {};
  inflateInit2(&z, -15);
  z.next_in = const_cast<uint8_t*>(coded.data());
  z.avail_in = (uInt)coded.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  int r = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  if (r != Z_STREAM_END || z.total_out != out.size()) die("zlib inflate");
  return (uint32_t)crc32(0, out.data(), (uInt)out.size());
}

Bytes libdeflate_compress(const Bytes& data) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(12);
  if (!c) die("libdeflate_alloc_compressor");
  Bytes out(libdeflate_deflate_compress_bound(c, data.size()));
  out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
  if (out.empty()) die("libdeflate compress");
  return out;
}

uint32_t libdeflate_decode(libdeflate_decompressor* d, const Bytes& coded, Bytes& out) {
  size_t got = 0;
  if (libdeflate_deflate_decompress(d, coded.data(), coded.size(), out.data(), out.size(), &got) !=
          LIBDEFLATE_SUCCESS ||
      got != out.size())
    die("libdeflate decompress");
  return libdeflate_crc32(0, out.data(), out.size());
}

// --- report ------------------------------------------------------------------

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

double mbps(uint64_t bytes, double seconds) { return seconds > 0 ? (double)bytes / 1e6 / seconds : 0; }

const Packed* level(const Report& r, int n) {
  for (const Packed& p : r.packed)
    if (p.level == n) return &p;
  return nullptr;
}

// One target: its line for people and its verdict.
struct Target {
  std::string text;
  bool pass;
};

std::vector<Target> targets(const Report& r) {
  std::vector<Target> out;
  char line[256];
  const Packed* l9 = level(r, 9);
  const double lib = mbps(r.corpus_bytes, r.libdeflate_decode.cpu);
  if (l9 && lib > 0) {
    const struct {
      const char* form;
      const Timing& time;
    } forms[] = {{"", l9->decode}, {" (stub's compact form)", l9->decode_compact}};
    for (const auto& f : forms) {
      double q = mbps(r.corpus_bytes, f.time.cpu);
      snprintf(line, sizeof line, "decode%s: qev %.0f MB/s = %.2f x libdeflate %.0f MB/s (>= %.2f)", f.form, q,
               q / lib, lib, DECODE_VS_LIBDEFLATE);
      out.push_back({line, q >= DECODE_VS_LIBDEFLATE * lib});
    }
  }
  struct {
    int level;
    double ratio, speed;
  } const sized[] = {{9, L9_VS_ZIP9, L9_MBPS}, {6, L6_VS_ZIP9, L6_MBPS}, {1, L1_VS_ZIP9, L1_MBPS}};
  for (const auto& s : sized) {
    const Packed* p = level(r, s.level);
    if (!p) continue;
    double speed = mbps(r.corpus_bytes, p->time.cpu);
    if (!r.zip9_bytes) {
      snprintf(line, sizeof line, "level %d: packing %.1f MB/s (>= %.0f)", s.level, speed, s.speed);
      out.push_back({line, speed >= s.speed});
      continue;
    }
    double ratio = (double)p->archive.size() / (double)r.zip9_bytes;
    snprintf(line, sizeof line, "level %d: %.3f x zip -9 (<= %.2f), packing %.1f MB/s (>= %.0f)", s.level, ratio,
             s.ratio, speed, s.speed);
    out.push_back({line, ratio <= s.ratio && speed >= s.speed});
  }
  for (const OtherTree& t : r.others) {
    double ratio = t.zip9_bytes ? (double)t.qev_l9_bytes / (double)t.zip9_bytes : 0;
    double speed = mbps(t.bytes, t.pack.cpu);
    snprintf(line, sizeof line, "level 9 on %s: %.3f x zip -9 (<= %.2f), packing %.1f MB/s (>= %.0f)",
             t.dir.c_str(), ratio, OTHER_L9_VS_ZIP9, speed, L9_MBPS);
    out.push_back({line, t.zip9_bytes && ratio <= OTHER_L9_VS_ZIP9 && speed >= L9_MBPS});
  }
  if (l9 && l9->two_threads.wall > 0) {
    double t = l9->two_threads.wall / l9->time.wall;
    snprintf(line, sizeof line, "level 9 on two threads: %.2f x the wall time of one (<= %.2f)", t,
             TWO_THREADS_TIME);
    out.push_back({line, t <= TWO_THREADS_TIME});
  }
  if (r.stub_bytes) {
    snprintf(line, sizeof line, "stub: %llu bytes (<= %llu)", (unsigned long long)r.stub_bytes,
             (unsigned long long)STUB_BUDGET);
    out.push_back({line, r.stub_bytes <= STUB_BUDGET});
  }
  return out;
}

void print_human(const Report& r) {
  const uint64_t n = r.corpus_bytes;
  printf("\n%-22s %12s %8s %10s %10s %12s %10s\n", "", "bytes", "x zip-9", "pack MB/s", "(wall)", "decode MB/s",
         "(wall)");
  auto row = [&](const char* name, uint64_t bytes, const Timing* pack, const Timing* dec) {
    printf("%-22s %12llu %8.3f", name, (unsigned long long)bytes,
           r.zip9_bytes ? (double)bytes / (double)r.zip9_bytes : 0.0);
    if (pack && pack->cpu > 0)
      printf(" %10.1f %10.1f", mbps(n, pack->cpu), mbps(n, pack->wall));
    else
      printf(" %10s %10s", "", "");
    if (dec && dec->cpu > 0) printf(" %12.0f %10.0f", mbps(n, dec->cpu), mbps(n, dec->wall));
    printf("\n");
  };
  if (r.zip9_bytes) row("zip -9 -r", r.zip9_bytes, &r.zip9_time, nullptr);
  if (r.xz9_bytes) row("xz -9 (concatenated)", r.xz9_bytes, &r.xz9_time, nullptr);
  if (r.brotli_bytes) row("brotli 11 w19 (conc.)", r.brotli_bytes, &r.brotli_time, nullptr);
  row("zlib 9 (concatenated)", r.zlib9_bytes, &r.zlib9_time, &r.zlib_decode);
  row("libdeflate 12 (conc.)", r.libdeflate12_bytes, &r.libdeflate12_time, &r.libdeflate_decode);
  for (const Packed& p : r.packed) {
    char name[64];
    snprintf(name, sizeof name, "qev level %d (%d run%s)", p.level, p.runs, p.runs > 1 ? "s" : "");
    row(name, p.archive.size(), &p.time, &p.decode);
    snprintf(name, sizeof name, "  stub's compact form");
    row(name, p.archive.size(), nullptr, &p.decode_compact);
  }
  printf("\nMB/s are 10^6 bytes of file content per second of CPU time (wall clock in brackets);\n"
         "packing: one thread, median of the runs shown; decoding: median of %d runs.\n", r.reps);
  for (const Packed& p : r.packed)
    if (p.two_threads.wall > 0)
      printf("level %d packing: %.1f s on one thread, %.1f s on two (wall clock, CPU %.1f s and %.1f s)\n",
             p.level, p.time.wall, p.two_threads.wall, p.time.cpu, p.two_threads.cpu);
  const double lib = mbps(n, r.libdeflate_decode.cpu), zl = mbps(n, r.zlib_decode.cpu);
  for (const Packed& p : r.packed) {
    double q = mbps(n, p.decode.cpu), c = mbps(n, p.decode_compact.cpu);
    printf("decode qev level %d: %.2f x libdeflate, %.2f x zlib; stub's compact form %.2f x libdeflate\n",
           p.level, lib > 0 ? q / lib : 0, zl > 0 ? q / zl : 0, lib > 0 ? c / lib : 0);
  }
  if (r.stub_bytes) printf("stub: %llu bytes\n", (unsigned long long)r.stub_bytes);
  printf("load average: %s at the start, %s at the end (2 cores)\n", r.load_start.c_str(), r.load_end.c_str());
  for (const OtherTree& t : r.others) {
    printf("%s: %llu bytes in %u files; zip -9 -r %llu; qev level 9 %llu (%.3f x zip -9, %.1f MB/s)", t.dir.c_str(),
           (unsigned long long)t.bytes, t.files, (unsigned long long)t.zip9_bytes,
           (unsigned long long)t.qev_l9_bytes, t.zip9_bytes ? (double)t.qev_l9_bytes / (double)t.zip9_bytes : 0,
           mbps(t.bytes, t.pack.cpu));
    if (t.brotli_bytes)
      printf("; brotli %llu (%.3f x)", (unsigned long long)t.brotli_bytes,
             t.zip9_bytes ? (double)t.brotli_bytes / (double)t.zip9_bytes : 0);
    printf("\n");
  }
  printf("\ntargets:\n");
  for (const Target& t : targets(r)) printf("  %-4s %s\n", t.pass ? "PASS" : "FAIL", t.text.c_str());
}

void print_json(const Report& r) {
  const uint64_t n = r.corpus_bytes;
  std::string s = "{";
  auto put = [&](const char* key, const std::string& value) {
    if (s.size() > 1) s += ", ";
    s += '"';
    s += key;
    s += "\": ";
    s += value;
  };
  auto num = [](double v) {
    char b[32];
    snprintf(b, sizeof b, "%.1f", v);
    return std::string(b);
  };
  auto ratio = [](double v) {
    char b[32];
    snprintf(b, sizeof b, "%.4f", v);
    return std::string(b);
  };
  put("corpus_bytes", std::to_string(n));
  put("corpus_files", std::to_string(r.files));
  put("corpus_folders", std::to_string(r.folders));
  if (r.zip9_bytes) put("zip9_bytes", std::to_string(r.zip9_bytes));
  if (r.xz9_bytes) put("xz9_bytes", std::to_string(r.xz9_bytes));
  if (r.brotli_bytes) {
    put("brotli11_w19_bytes", std::to_string(r.brotli_bytes));
    put("brotli11_w19_MBps", num(mbps(n, r.brotli_time.cpu)));
    if (r.zip9_bytes) put("brotli11_w19_vs_zip9", ratio((double)r.brotli_bytes / (double)r.zip9_bytes));
  }
  put("l9_vs_zip9_target", ratio(L9_VS_ZIP9));
  put("l6_vs_zip9_target", ratio(L6_VS_ZIP9));
  put("l1_vs_zip9_target", ratio(L1_VS_ZIP9));
  put("l9_MBps_target", num(L9_MBPS));
  put("l6_MBps_target", num(L6_MBPS));
  put("l1_MBps_target", num(L1_MBPS));
  for (const Packed& p : r.packed) {
    std::string k = "qev_l" + std::to_string(p.level);
    put((k + "_bytes").c_str(), std::to_string(p.archive.size()));
    put((k + "_MBps").c_str(), num(mbps(n, p.time.cpu)));
    put((k + "_wall_MBps").c_str(), num(mbps(n, p.time.wall)));
    if (p.two_threads.wall > 0) {
      put((k + "_wall_s").c_str(), num(p.time.wall));
      put((k + "_two_threads_wall_s").c_str(), num(p.two_threads.wall));
      put((k + "_two_threads_time").c_str(), ratio(p.two_threads.wall / p.time.wall));
      put("two_threads_time_target", ratio(TWO_THREADS_TIME));
    }
    if (r.zip9_bytes) put((k + "_vs_zip9").c_str(), ratio((double)p.archive.size() / (double)r.zip9_bytes));
  }
  put("zlib9_bytes", std::to_string(r.zlib9_bytes));
  put("libdeflate12_bytes", std::to_string(r.libdeflate12_bytes));
  const Packed* l9 = level(r, 9);
  const double lib = mbps(n, r.libdeflate_decode.cpu);
  if (l9) {
    put("qev_decode_MBps", num(mbps(n, l9->decode.cpu)));
    put("qev_decode_wall_MBps", num(mbps(n, l9->decode.wall)));
    put("qev_compact_decode_MBps", num(mbps(n, l9->decode_compact.cpu)));
    put("qev_compact_decode_wall_MBps", num(mbps(n, l9->decode_compact.wall)));
  }
  put("zlib_decode_MBps", num(mbps(n, r.zlib_decode.cpu)));
  put("zlib_decode_wall_MBps", num(mbps(n, r.zlib_decode.wall)));
  put("libdeflate_decode_MBps", num(lib));
  put("libdeflate_decode_wall_MBps", num(mbps(n, r.libdeflate_decode.wall)));
  if (l9 && lib > 0) {
    put("qev_decode_vs_libdeflate", ratio(mbps(n, l9->decode.cpu) / lib));
    put("qev_compact_decode_vs_libdeflate", ratio(mbps(n, l9->decode_compact.cpu) / lib));
    put("decode_vs_libdeflate_target", ratio(DECODE_VS_LIBDEFLATE));
  }
  for (const Packed& p : r.packed) {
    if (p.level == 9) continue;
    put(("qev_l" + std::to_string(p.level) + "_decode_MBps").c_str(), num(mbps(n, p.decode.cpu)));
    put(("qev_l" + std::to_string(p.level) + "_compact_decode_MBps").c_str(), num(mbps(n, p.decode_compact.cpu)));
  }
  put("decode_reps", std::to_string(r.reps));
  if (r.stub_bytes) put("stub_bytes", std::to_string(r.stub_bytes));
  if (!r.others.empty()) {
    std::string list;
    for (const OtherTree& t : r.others) {
      char b[512];
      snprintf(b, sizeof b,
               "%s{\"dir\": \"%s\", \"bytes\": %llu, \"files\": %u, \"zip9_bytes\": %llu, \"qev_l9_bytes\": %llu, "
               "\"qev_l9_vs_zip9\": %s, \"qev_l9_MBps\": %s, \"brotli11_w19_bytes\": %llu, \"vs_zip9_target\": %s}",
               list.empty() ? "" : ", ", t.dir.c_str(), (unsigned long long)t.bytes, t.files,
               (unsigned long long)t.zip9_bytes, (unsigned long long)t.qev_l9_bytes,
               ratio(t.zip9_bytes ? (double)t.qev_l9_bytes / (double)t.zip9_bytes : 0).c_str(),
               num(mbps(t.bytes, t.pack.cpu)).c_str(), (unsigned long long)t.brotli_bytes,
               ratio(OTHER_L9_VS_ZIP9).c_str());
      list += b;
    }
    put("also", "[" + list + "]");
  }
  bool all = true;
  std::string verdicts;
  for (const Target& t : targets(r)) {
    all = all && t.pass;
    verdicts += std::string(verdicts.empty() ? "" : ", ") + "{\"target\": \"" + t.text + "\", \"pass\": " +
                (t.pass ? "true" : "false") + "}";
  }
  put("targets", "[" + verdicts + "]");
  put("targets_met", all ? "true" : "false");
  put("loadavg_start", "\"" + r.load_start + "\"");
  put("loadavg_end", "\"" + r.load_end + "\"");
  s += "}";
  printf("%s\n", s.c_str());
}

// --- peak memory of qev test ----------------------------------------------------

void pack_to_file(const std::vector<qev::PackEntry>& entries, const std::string& path) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) die("cannot create " + path);
  qev::FileSink sink(f);
  qev::PackOptions options;  // qev pack's defaults
  qev::PackResult res;
  bool ok = qev::write_archive(entries, options, sink, res);
  if (fclose(f) != 0 || !ok) die("packing " + path + " failed: " + res.error);
}

// Runs argv (standard output to /dev/null) and returns the maximum resident
// set of its own address space, VmHWM in KiB, read from /proc when it stops
// on its way out (traced with PTRACE_O_TRACEEXIT). Not ru_maxrss: Linux
// carries the forking process's resident set into the child's ru_maxrss
// across exec, and this process holds far more than `qev test` does.
// -1 when the program fails.
long run_peak_rss(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int fd = open("/dev/null", O_WRONLY);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
    close(fd);
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(127);
    raise(SIGSTOP);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) return -1;
  ptrace(PTRACE_SETOPTIONS, pid, nullptr, (void*)(long)(PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL));
  ptrace(PTRACE_CONT, pid, nullptr, nullptr);
  long peak = -1;
  for (;;) {
    if (waitpid(pid, &status, 0) != pid) return -1;
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    long deliver = WSTOPSIG(status);
    if ((status >> 8) == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      FILE* f = fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
      char line[256];
      while (f && fgets(line, sizeof line, f))
        if (!strncmp(line, "VmHWM:", 6)) peak = atol(line + 6);
      if (f) fclose(f);
      deliver = 0;
    } else if (deliver == SIGTRAP) {
      deliver = 0;  // the stop after exec
    }
    ptrace(PTRACE_CONT, pid, nullptr, (void*)deliver);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : -1;
}

// The median of `runs` runs of a qev command: its maximum resident set in KiB.
long qev_peak(const std::vector<std::string>& argv, int runs = 3) {
  std::vector<long> peaks;
  for (int run = 0; run < runs; run++) {
    long kib = run_peak_rss(argv);
    if (kib < 0) die(argv[1] + " " + argv[2] + " failed");
    peaks.push_back(kib);
  }
  std::sort(peaks.begin(), peaks.end());
  return peaks[peaks.size() / 2];
}

int peak_memory(const std::string& corpus, std::string qev, const std::string& big, bool json) {
  if (qev.empty()) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) die("cannot find this program's folder; give --qev PATH");
    self[n] = 0;
    qev = self;
    qev = qev.substr(0, qev.rfind('/') + 1) + "qev";
  }
  if (access(qev.c_str(), X_OK) != 0) die(qev + " is missing (build the host tree, or give --qev PATH)");
  FILE* note = json ? stderr : stdout;
  qev::ScanResult scan;
  if (!qev::scan_source_tree(corpus, scan)) die(scan.error);
  std::vector<qev::PackEntry> ten;
  for (int copy = 0; copy < COPIES; copy++) {
    qev::PackEntry folder;
    folder.name = "copy" + std::to_string(copy);
    folder.folder = true;
    folder.attributes = 0x10;
    ten.push_back(folder);
    for (const qev::PackEntry& e : scan.entries) {
      ten.push_back(e);
      ten.back().name = folder.name + "\\" + e.name;
    }
  }
  char tmpl[] = "/tmp/qev-bench-XXXXXX";
  if (!mkdtemp(tmpl)) die(std::string("mkdtemp: ") + strerror(errno));
  const std::string one_path = std::string(tmpl) + "/corpus.qev", ten_path = std::string(tmpl) + "/corpus-x10.qev";
  leftovers = {one_path, ten_path, tmpl};
  fprintf(note, "packing %s once and ten times into %s\n", corpus.c_str(), tmpl);
  fflush(note);
  pack_to_file(scan.entries, one_path);
  pack_to_file(ten, ten_path);
  const uint64_t one_bytes = file_size(one_path), ten_bytes = file_size(ten_path);
  const long one = qev_peak({qev, "test", one_path}), tenfold = qev_peak({qev, "test", ten_path});
  const std::string packed = std::string(tmpl) + "/packed.qev";
  leftovers.insert(leftovers.begin(), packed);
  fprintf(note, "packing %s with qev pack%s\n", corpus.c_str(), big.empty() ? "" : (" and " + big).c_str());
  fflush(note);
  const long pack = qev_peak({qev, "pack", corpus, "-o", packed, "-q"});
  const long pack_big = big.empty() ? 0 : qev_peak({qev, "pack", big, "-o", packed, "-q"}, 1);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const uint64_t bound = PACK_PEAK_BASE + cores * PACK_PEAK_PER_THREAD;
  for (const std::string& path : leftovers) remove(path.c_str());
  leftovers.clear();
  const long spread = tenfold > one ? tenfold - one : one - tenfold;
  const bool pass = (uint64_t)spread < PEAK_MEMORY_SPREAD;
  const bool pack_pass = (uint64_t)std::max(pack, pack_big) <= bound;
  if (json) {
    printf("{\"corpus_archive_bytes\": %llu, \"x10_archive_bytes\": %llu, \"qev_test_peak_rss_KiB\": %ld, "
           "\"qev_test_x10_peak_rss_KiB\": %ld, \"peak_rss_difference_KiB\": %ld, "
           "\"qev_pack_peak_rss_KiB\": %ld, \"qev_pack_tree_peak_rss_KiB\": %ld, \"qev_pack_peak_bound_KiB\": %llu, "
           "\"target_met\": %s}\n",
           (unsigned long long)one_bytes, (unsigned long long)ten_bytes, one, tenfold, spread, pack, pack_big,
           (unsigned long long)bound, pass && pack_pass ? "true" : "false");
  } else {
    printf("qev test, maximum resident set (median of 3 runs):\n");
    printf("  corpus archive       %12llu bytes  %8ld KiB\n", (unsigned long long)one_bytes, one);
    printf("  ten copies           %12llu bytes  %8ld KiB\n", (unsigned long long)ten_bytes, tenfold);
    printf("  %-4s difference %ld KiB (< %llu KiB)\n", pass ? "PASS" : "FAIL", spread,
           (unsigned long long)PEAK_MEMORY_SPREAD);
    printf("qev pack, maximum resident set (%u threads):\n", cores);
    printf("  %-40s %8ld KiB (median of 3 runs)\n", corpus.c_str(), pack);
    if (!big.empty()) printf("  %-40s %8ld KiB (one run)\n", big.c_str(), pack_big);
    printf("  %-4s at most %llu KiB (64 MiB and 112 MiB per thread)\n", pack_pass ? "PASS" : "FAIL",
           (unsigned long long)bound);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string corpus, stub;
  std::vector<int> levels = {1, 6, 9};
  int reps = 9;
  std::string qev_path, pack_tree;
  bool json = false, xz = true, brotli = true, profile = false, peak = false, compact = false;
  std::vector<std::string> also;
  uint64_t limit = UINT64_MAX;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    bool more = i + 1 < argc;
    if (a == "--corpus" && more) corpus = argv[++i];
    else if (a == "--json") json = true;
    else if (a == "--reps" && more) reps = std::max(1, atoi(argv[++i]));
    else if (a == "--levels" && more) {
      levels.clear();
      for (char* p = argv[++i]; *p;) {
        long v = strtol(p, &p, 10);
        if (v < 0 || v > 9) return fputs(USAGE, stderr), 2;
        levels.push_back((int)v);
        if (*p == ',') p++;
        else if (*p) return fputs(USAGE, stderr), 2;
      }
    } else if (a == "--no-xz") xz = false;
    else if (a == "--no-brotli") brotli = false;
    else if (a == "--also" && more) also.push_back(argv[++i]);
    else if (a == "--stub" && more) stub = argv[++i];
    else if (a == "--limit" && more) limit = strtoull(argv[++i], nullptr, 10);
    else if (a == "--profile") profile = true;
    else if (a == "--compact") compact = true;
    else if (a == "--peak-memory") peak = true;
    else if (a == "--qev" && more) qev_path = argv[++i];
    else if (a == "--pack-tree" && more) pack_tree = argv[++i];
    else return fputs(USAGE, stderr), 2;
  }
  if (corpus.empty() || levels.empty()) return fputs(USAGE, stderr), 2;
  if (peak) return peak_memory(corpus, qev_path, pack_tree, json);
  if (reps < 7 && !profile) fprintf(stderr, "qev-bench: note: fewer than 7 decode runs\n");
  // Progress goes where the report does not.
  FILE* note = json ? stderr : stdout;

  Report r;
  r.corpus = corpus;
  r.reps = reps;
  r.load_start = loadavg();

  // The files in packing order, read once.
  Bytes all;
  std::vector<qev::PackEntry> entries;
  load_tree(corpus, limit, entries, all, r.files, r.folders);
  r.corpus_bytes = all.size();
  if (!stub.empty()) {
    r.stub_bytes = file_size(stub);
    if (!r.stub_bytes) die("cannot read " + stub);
  }
  fprintf(note, "corpus: %s, %u files, %u folders, %llu bytes; load average %s\n", corpus.c_str(), r.files,
          r.folders, (unsigned long long)r.corpus_bytes, r.load_start.c_str());
  fflush(note);

  if (profile) levels = {levels.back()};
  for (int lv : levels) {
    Packed p;
    p.level = lv;
    qev::PackOptions options;
    options.encoder.level = lv;
    // Level 9 is also packed on two threads, each run right after one on a
    // single thread, so that both see the same load.
    const bool scale = lv == 9 && !profile;
    std::vector<Timing> runs, two;
    for (int run = 0;; run++) {
      for (unsigned threads : {1u, 2u}) {
        if (threads == 2 && !scale) break;
        options.threads = threads;
        qev::VectorSink sink;
        sink.bytes.reserve(all.size() + all.size() / 8 + (1 << 20));
        qev::PackResult res;
        Stopwatch sw(CLOCK_PROCESS_CPUTIME_ID);
        if (!qev::write_archive(entries, options, sink, res)) die("packing failed: " + res.error);
        (threads == 1 ? runs : two).push_back(sw.elapsed());
        if (run == 0 && threads == 1) p.archive = std::move(sink.bytes);
        else if (sink.bytes != p.archive) die("level " + std::to_string(lv) + ": two runs gave different archives");
      }
      // Short runs are repeated: a median of 5 under 2 s, of 3 under 8 s.
      int want = profile ? 1 : runs[0].cpu < 2 ? 5 : runs[0].cpu < 8 ? 3 : 1;
      if ((int)runs.size() >= want) break;
    }
    p.runs = (int)runs.size();
    p.time = median(runs);
    if (scale) p.two_threads = median(two);
    fprintf(note, "qev level %d: %zu bytes, %.1f MB/s\n", lv, p.archive.size(), mbps(r.corpus_bytes, p.time.cpu));
    fflush(note);
    r.packed.push_back(std::move(p));
  }

  if (profile) {
    Packed& p = r.packed.back();
    ArchiveDecoder d(p.archive);
    std::vector<Timing> runs;
    for (int run = 0; run < reps; run++) {
      Stopwatch sw;
      uint64_t got = compact ? d.run(archive_pass_compact, "qev compact") : d.run(archive_pass, "qev");
      if (got != r.corpus_bytes) die("decoded size differs");
      runs.push_back(sw.elapsed());
    }
    Timing t = median(runs);
    printf("qev level %d decode%s: %.1f MB/s (wall %.1f), median of %d\n", p.level,
           compact ? " (stub's compact form)" : "", mbps(r.corpus_bytes, t.cpu), mbps(r.corpus_bytes, t.wall), reps);
    return 0;
  }

  // Peers.
  char tmpl[] = "/tmp/qev-bench-XXXXXX";
  if (!mkdtemp(tmpl)) die(std::string("mkdtemp: ") + strerror(errno));
  const std::string tmp = tmpl;
  leftovers = {tmp + "/peer.zip", tmp + "/peer.cat", tmp + "/peer.out", tmp};
  if (limit == UINT64_MAX) {
    r.zip9_bytes = zip9_bytes(corpus, tmp, &r.zip9_time);
    fprintf(note, "zip -9 -r: %llu bytes\n", (unsigned long long)r.zip9_bytes);
  }
  if (xz) {
    r.xz9_bytes = concatenation_bytes({"xz", "-9", "-T1", "-c"}, all, tmp, &r.xz9_time);
    fprintf(note, "xz -9: %llu bytes\n", (unsigned long long)r.xz9_bytes);
  }
  if (brotli) {
    r.brotli_bytes = concatenation_bytes(BROTLI, all, tmp, &r.brotli_time);
    fprintf(note, "brotli -q 11 --lgwin=19: %llu bytes\n", (unsigned long long)r.brotli_bytes);
  }
  for (const std::string& dir : also) {
    OtherTree t;
    t.dir = dir;
    std::vector<qev::PackEntry> tree;
    Bytes cat;
    uint32_t folders = 0;
    load_tree(dir, UINT64_MAX, tree, cat, t.files, folders);
    t.bytes = cat.size();
    qev::PackOptions options;
    options.encoder.level = 9;
    options.threads = 1;
    qev::VectorSink sink;
    qev::PackResult res;
    Stopwatch sw(CLOCK_PROCESS_CPUTIME_ID);
    if (!qev::write_archive(tree, options, sink, res)) die("packing " + dir + " failed: " + res.error);
    t.pack = sw.elapsed();
    t.qev_l9_bytes = sink.bytes.size();
    Timing ignored;
    t.zip9_bytes = zip9_bytes(dir, tmp, &ignored);
    if (brotli) t.brotli_bytes = concatenation_bytes(BROTLI, cat, tmp, &ignored);
    fprintf(note, "%s: qev level 9 %llu bytes, zip -9 -r %llu, brotli %llu\n", dir.c_str(),
            (unsigned long long)t.qev_l9_bytes, (unsigned long long)t.zip9_bytes,
            (unsigned long long)t.brotli_bytes);
    r.others.push_back(std::move(t));
  }
  rmdir(tmp.c_str());
  leftovers.clear();
  Stopwatch sw;
  Bytes z = zlib_compress(all);
  r.zlib9_time = sw.elapsed();
  r.zlib9_bytes = z.size();
  sw = Stopwatch();
  Bytes ld = libdeflate_compress(all);
  r.libdeflate12_time = sw.elapsed();
  r.libdeflate12_bytes = ld.size();
  fprintf(note, "zlib 9: %zu bytes; libdeflate 12: %zu bytes\ndecoding, %d runs each\n", z.size(), ld.size(), reps);
  fflush(note);

  // Decoding, the decoders taking turns; one untimed round first (page
  // faults of the output buffers and the memory files).
  const uint32_t expect = (uint32_t)crc32(0, all.data(), (uInt)all.size());
  Bytes out(all.size());
  libdeflate_decompressor* dd = libdeflate_alloc_decompressor();
  std::vector<ArchiveDecoder*> qev;
  for (const Packed& p : r.packed) qev.push_back(new ArchiveDecoder(p.archive));
  std::vector<std::vector<Timing>> qev_runs(r.packed.size()), compact_runs(r.packed.size());
  std::vector<Timing> zlib_runs, libdeflate_runs;
  for (int run = -1; run < reps; run++) {
    for (size_t k = 0; k < qev.size(); k++) {
      const std::string level = "qev level " + std::to_string(r.packed[k].level);
      Stopwatch t;
      uint64_t got = qev[k]->run(archive_pass, level.c_str());
      if (run >= 0) qev_runs[k].push_back(t.elapsed());
      if (got != r.corpus_bytes) die(level + ": decoded size differs");
      const std::string compact_level = level + ", stub's compact form";
      t = Stopwatch();
      got = qev[k]->run(archive_pass_compact, compact_level.c_str());
      if (run >= 0) compact_runs[k].push_back(t.elapsed());
      if (got != r.corpus_bytes) die(compact_level + ": decoded size differs");
    }
    Stopwatch t;
    uint32_t crc = zlib_decode(z, out);
    if (run >= 0) zlib_runs.push_back(t.elapsed());
    if (crc != expect) die("zlib: CRC-32 differs");
    t = Stopwatch();
    crc = libdeflate_decode(dd, ld, out);
    if (run >= 0) libdeflate_runs.push_back(t.elapsed());
    if (crc != expect) die("libdeflate: CRC-32 differs");
  }
  for (ArchiveDecoder* d : qev) delete d;
  libdeflate_free_decompressor(dd);
  for (size_t k = 0; k < r.packed.size(); k++) {
    r.packed[k].decode = median(qev_runs[k]);
    r.packed[k].decode_compact = median(compact_runs[k]);
  }
  r.zlib_decode = median(zlib_runs);
  r.libdeflate_decode = median(libdeflate_runs);
  r.load_end = loadavg();

  if (json) print_json(r);
  else print_human(r);
  return 0;
}
