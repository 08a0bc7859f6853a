// qev-pack-bench --corpus DIR [--levels 1,6,9] [--no-peers] [--no-decode]
//
// Packs DIR in memory at each level and prints the archive's size and packing
// speed (MB/s of input, single-threaded, file reading excluded) beside
// `zip -9 -r` and `xz -9` of the same files, measured in the same run, and the
// decode speed of each archive through the stub's own decoding path (every
// member, CRC-32 checked, output to /dev/null; median of 5 runs) next to zlib
// (inflate + crc32 of the files concatenated, deflated at level 9) and
// libdeflate (level 12).
#include <libdeflate.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "encode/archive_writer.h"
#include "encode/source_tree.h"
#include "stub_decode.h"

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Thread CPU time: the machine is shared, so wall time overstates the work.
double cpu_now() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

uint64_t file_size(const std::string& p) {
  FILE* f = fopen(p.c_str(), "rb");
  if (!f) return 0;
  fseek(f, 0, SEEK_END);
  uint64_t n = (uint64_t)ftell(f);
  fclose(f);
  return n;
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

int main(int argc, char** argv) {
  std::string corpus;
  std::vector<int> levels = {1, 6, 9};
  bool peers = true, decode = true;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--corpus") && i + 1 < argc) corpus = argv[++i];
    else if (!strcmp(argv[i], "--levels") && i + 1 < argc) {
      levels.clear();
      for (char* p = argv[++i]; *p;) { levels.push_back((int)strtol(p, &p, 10)); if (*p == ',') p++; }
    } else if (!strcmp(argv[i], "--no-peers")) peers = false;
    else if (!strcmp(argv[i], "--no-decode")) decode = false;
    else {
      fprintf(stderr, "usage: qev-pack-bench --corpus DIR [--levels 1,6,9] [--no-peers] [--no-decode]\n");
      return 2;
    }
  }
  if (corpus.empty()) {
    fprintf(stderr, "usage: qev-pack-bench --corpus DIR [--levels 1,6,9] [--no-peers] [--no-decode]\n");
    return 2;
  }
  qev::ScanResult scan;
  if (!qev::scan_source_tree(corpus, scan)) {
    fprintf(stderr, "qev-pack-bench: %s\n", scan.error.c_str());
    return 1;
  }
  // Load every file so that packing is timed without the disk.
  std::vector<uint8_t> all;
  for (qev::PackEntry& e : scan.entries) {
    if (e.folder) continue;
    FILE* f = fopen(e.source.c_str(), "rb");
    if (!f) { fprintf(stderr, "cannot read %s\n", e.source.c_str()); return 1; }
    fseek(f, 0, SEEK_END);
    e.data.resize((size_t)ftell(f));
    fseek(f, 0, SEEK_SET);
    if (fread(e.data.data(), 1, e.data.size(), f) != e.data.size()) { fclose(f); return 1; }
    fclose(f);
    all.insert(all.end(), e.data.begin(), e.data.end());
    e.source.clear();
  }
  const double mb = all.size() / 1e6;
  printf("corpus: %s, %zu entries, %zu bytes\n", corpus.c_str(), scan.entries.size(), all.size());

  uint64_t zip_bytes = 0, xz_bytes = 0;
  double zip_s = 0, xz_s = 0;
  std::string tmp = "/tmp/qev-pack-bench-" + std::to_string(getpid());
  if (peers) {
    double t = now();
    std::string cmd = "cd " + quote(corpus) + " && zip -9 -r -q " + quote(tmp + ".zip") + " .";
    if (system(cmd.c_str()) == 0) zip_bytes = file_size(tmp + ".zip");
    zip_s = now() - t;
    unlink((tmp + ".zip").c_str());
    FILE* f = fopen((tmp + ".cat").c_str(), "wb");
    fwrite(all.data(), 1, all.size(), f);
    fclose(f);
    t = now();
    cmd = "xz -9 -T1 -c " + quote(tmp + ".cat") + " > " + quote(tmp + ".xz");
    if (system(cmd.c_str()) == 0) xz_bytes = file_size(tmp + ".xz");
    xz_s = now() - t;
    unlink((tmp + ".cat").c_str());
    unlink((tmp + ".xz").c_str());
  }

  printf("\n%-16s %14s %8s %10s %12s\n", "", "bytes", "x zip-9", "pack MB/s", "decode MB/s");
  if (zip_bytes) printf("%-16s %14llu %8.3f %10.1f\n", "zip -9 -r", (unsigned long long)zip_bytes, 1.0, mb / zip_s);
  if (xz_bytes)
    printf("%-16s %14llu %8.3f %10.1f\n", "xz -9 (concat)", (unsigned long long)xz_bytes,
           zip_bytes ? (double)xz_bytes / zip_bytes : 0, mb / xz_s);

  for (int level : levels) {
    qev::PackOptions o;
    o.encoder.level = level;
    qev::VectorSink sink;
    sink.bytes.reserve(all.size());
    qev::PackResult res;
    double t = now(), c0 = cpu_now();
    if (!qev::write_archive(scan.entries, o, sink, res)) {
      fprintf(stderr, "pack failed: %s\n", res.error.c_str());
      return 1;
    }
    double pack_s = now() - t, pack_cpu = cpu_now() - c0;
    // Decode through the stub's path, from a file (the decoder reads files).
    std::string path = tmp + ".qev";
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(sink.bytes.data(), 1, sink.bytes.size(), f);
    fclose(f);
    std::vector<double> times;
    std::string err;
    for (int run = 0; run < (decode ? 5 : 0) && err.empty(); run++) {
      uint64_t out = 0;
      double t0 = now();
      err = stub_decode_file(path, 0, false, nullptr, &out);
      times.push_back(now() - t0);
      if (err.empty() && out != all.size()) err = "decoded size differs";
    }
    unlink(path.c_str());
    char label[32];
    snprintf(label, sizeof label, "qev level %d", level);
    printf("%-16s %14llu %8.3f %10.1f %12s  (%.1f MB/s of CPU time)\n", label, (unsigned long long)sink.bytes.size(),
           zip_bytes ? (double)sink.bytes.size() / zip_bytes : 0, mb / pack_s,
           !decode ? "-" : err.empty() ? std::to_string((int)(mb / median(times))).c_str() : ("FAILED: " + err).c_str(),
           mb / pack_cpu);
    fflush(stdout);
  }

  if (peers) {
    // zlib level 9 (raw deflate) and libdeflate level 12 of the concatenation.
    std::vector<uint8_t> z(compressBound((uLong)all.size()) + 1024);
    z_stream s = {};
    deflateInit2(&s, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    s.next_in = all.data();
    s.avail_in = (uInt)all.size();
    s.next_out = z.data();
    s.avail_out = (uInt)z.size();
    deflate(&s, Z_FINISH);
    size_t zlen = s.total_out;
    deflateEnd(&s);
    std::vector<uint8_t> back(all.size());
    std::vector<double> times;
    for (int run = 0; run < 5; run++) {
      double t0 = now();
      z_stream d = {};
      inflateInit2(&d, -15);
      d.next_in = z.data();
      d.avail_in = (uInt)zlen;
      d.next_out = back.data();
      d.avail_out = (uInt)back.size();
      inflate(&d, Z_FINISH);
      inflateEnd(&d);
      volatile uLong c = crc32(0, back.data(), (uInt)back.size());
      (void)c;
      times.push_back(now() - t0);
    }
    printf("%-16s %14zu %8.3f %10s %12d\n", "zlib -9 (concat)", zlen, zip_bytes ? (double)zlen / zip_bytes : 0, "",
           (int)(mb / median(times)));
    libdeflate_compressor* c = libdeflate_alloc_compressor(12);
    std::vector<uint8_t> ld(libdeflate_deflate_compress_bound(c, all.size()));
    size_t ldlen = libdeflate_deflate_compress(c, all.data(), all.size(), ld.data(), ld.size());
    libdeflate_free_compressor(c);
    libdeflate_decompressor* dd = libdeflate_alloc_decompressor();
    times.clear();
    for (int run = 0; run < 5; run++) {
      double t0 = now();
      libdeflate_deflate_decompress(dd, ld.data(), ldlen, back.data(), back.size(), nullptr);
      volatile uint32_t cc = libdeflate_crc32(0, back.data(), back.size());
      (void)cc;
      times.push_back(now() - t0);
    }
    libdeflate_free_decompressor(dd);
    printf("%-16s %14zu %8.3f %10s %12d\n", "libdeflate -12", ldlen, zip_bytes ? (double)ldlen / zip_bytes : 0, "",
           (int)(mb / median(times)));
  }
  return 0;
}
