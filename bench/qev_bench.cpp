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
// targets in report.cpp; the exit status is 0 whether or not they are met, 1
// when something failed (a decoder's output differs, a file cannot be read),
// 2 for a wrong command line.
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
//                  own path reads it: the directory walk and read_member
//                  for every file member in directory order, each member
//                  verified as the installer verifies it, call filters
//                  undone. The
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
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "archive/directory_reader.h"
#include "base/result_codes.h"
#include "bench/archive_pass.h"
#include "bench/peak_memory.h"
#include "bench/peers.h"
#include "bench/report.h"
#include "bench/support.h"
#include "decode/decoder_state.h"
#include "encode/archive_writer.h"
#include "encode/pack_plan.h"
#include "encode/source_tree.h"
#include "platform/platform.h"
#include "shell/stub_config.h"

using namespace bench;

namespace {

const char* const USAGE =
    "usage: qev-bench --corpus DIR [--json] [--reps N] [--levels 1,6,9] [--no-xz]\n"
    "                 [--no-brotli] [--also TREE]... [--stub STUB.exe] [--limit BYTES]\n"
    "                 [--profile [--compact]]\n"
    "       qev-bench --corpus DIR --peak-memory [--json] [--qev PATH] [--pack-tree BIG]\n";

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
    const std::vector<qev::PackEntry> listed = listed_for_level(entries, lv);
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
        if (!qev::write_archive(listed, options, sink, res)) die("packing failed: " + res.error);
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
    if (!qev::write_archive(listed_for_level(tree, 9), options, sink, res))
      die("packing " + dir + " failed: " + res.error);
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
