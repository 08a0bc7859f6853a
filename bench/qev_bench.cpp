// qev-bench: decode speed of this decoder beside zlib and libdeflate, on the
// same data in the same run.
//
//   qev-bench --corpus DIR [--reps N] [--limit BYTES]
//
// The files of DIR (sorted by path) are concatenated and compressed three
// ways: into this format's blocks (1 MiB of output each, every block keeping
// up to 512 KiB of history, by a plain greedy LZ77 writer until the real
// writer takes its place here; a block that does not compress is stored), as one raw deflate stream by zlib at level 9,
// and by libdeflate at level 12. Each is then decoded in memory N times
// (median reported) together with its CRC-32 over the output: this decoder by
// its reference loop and by its fast loop, zlib's inflate + crc32, and
// libdeflate's decompressor + its crc32. Speeds are MB/s of output per
// second of this thread's CPU time.
#include <libdeflate.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "decode/block_decoder.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "decode/input.h"
#include "stream_writer.h"

namespace {

typedef std::vector<uint8_t> Bytes;
constexpr size_t BLOCK_SIZE = 1u << 20;
constexpr size_t HISTORY = 524288;
// Behind each block as behind a full input buffer: the decoder's loads near
// the end of its input stay inside this.
constexpr size_t SLACK = INPUT_BUFFER_ALLOC - (INPUT_BUFFER_SIZE - FRAME_MARGIN);

// CPU time of this thread: on a shared machine the wall clock also counts the
// time other processes hold the core.
double now() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

Bytes read_corpus(const std::string& dir, size_t limit) {
  std::vector<std::string> paths;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) paths.push_back(e.path().string());
  }
  std::sort(paths.begin(), paths.end());
  Bytes data;
  for (const std::string& p : paths) {
    std::ifstream f(p, std::ios::binary);
    data.insert(data.end(), std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    if (data.size() >= limit) break;
  }
  if (data.size() > limit) data.resize(limit);
  return data;
}

struct Block {
  size_t start;
  size_t size;
  bool stored;  // kept as it is: it would not compress
  Bytes coded;  // block header onwards (or the bytes), SLACK zero bytes behind
};

std::vector<Block> encode_blocks(const Bytes& data) {
  std::vector<Block> blocks;
  for (size_t start = 0; start < data.size(); start += BLOCK_SIZE) {
    size_t end = std::min(data.size(), start + BLOCK_SIZE);
    size_t lo = start > HISTORY ? start - HISTORY : 0;
    std::vector<dectest::Item> items = dectest::lz_parse(data.data(), lo, start, end, 3, 12);
    dectest::BlockDesign design;
    design.tables = 3;
    design.sets = dectest::split_sets(items, std::max<size_t>(8192, items.size() / 60 + 1));
    dectest::BitWriter w;
    dectest::write_block(w, design);
    Block b = {start, end - start, false, w.take()};
    // Data that do not compress go stored, as a writer keeps them.
    if (b.coded.size() >= b.size) {
      b.stored = true;
      b.coded.assign(data.begin() + (ptrdiff_t)start, data.begin() + (ptrdiff_t)end);
    }
    b.coded.resize(b.coded.size() + SLACK, 0);
    blocks.push_back(std::move(b));
  }
  return blocks;
}

// One decode of all blocks into `out` and the CRC over it; the seconds taken.
double decode_qev(const std::vector<Block>& blocks, Bytes& out, bool reference, uint32_t* crc) {
  double t0 = now();
  for (const Block& b : blocks) {
    if (b.stored) {
      mem_copy_forward(out.data() + b.start, b.coded.data(), b.size);
      continue;
    }
    uint8_t* input = const_cast<uint8_t*>(b.coded.data());
    decoder.in.input_buffer = input;
    decoder.in.pos = input;
    decoder.in.bit_offset = 0;
    decoder.in.limit = input + b.coded.size() - SLACK;
    decoder.in.chunk_remaining = 0;
    size_t h = std::min(b.start, HISTORY);
    int32_t n = reference ? decode_block_reference(out.data() + b.start - h, (uint32_t)h, (uint32_t)b.size)
                          : decode_block(out.data() + b.start - h, (uint32_t)h, (uint32_t)b.size);
    if (n != (int32_t)b.size) {
      fprintf(stderr, "qev-bench: block at %zu decoded %d of %zu bytes\n", b.start, n, b.size);
      exit(1);
    }
  }
  *crc = ~crc_update(0xFFFFFFFF, out.data(), out.size());
  return now() - t0;
}

Bytes zlib_compress(const Bytes& data) {
  z_stream z = {};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytes::value_type*>(data.data());
  z.avail_in = (uInt)data.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

double decode_zlib(const Bytes& coded, Bytes& out, uint32_t* crc) {
  double t0 = now();
  z_stream z = {};
  inflateInit2(&z, -15);
  z.next_in = const_cast<Bytes::value_type*>(coded.data());
  z.avail_in = (uInt)coded.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  inflate(&z, Z_FINISH);
  inflateEnd(&z);
  *crc = (uint32_t)crc32(0, out.data(), (uInt)out.size());
  return now() - t0;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string corpus;
  int reps = 7;
  size_t limit = (size_t)-1;
  bool profile = false;  // only this decoder's fast loop, for a profiler
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "--corpus" && i + 1 < argc) corpus = argv[++i];
    else if (a == "--reps" && i + 1 < argc) reps = std::max(1, atoi(argv[++i]));
    else if (a == "--limit" && i + 1 < argc) limit = (size_t)atoll(argv[++i]);
    else if (a == "--profile") profile = true;
    else {
      fprintf(stderr, "usage: qev-bench --corpus DIR [--reps N] [--limit BYTES]\n");
      return 2;
    }
  }
  if (corpus.empty()) {
    fprintf(stderr, "usage: qev-bench --corpus DIR [--reps N] [--limit BYTES]\n");
    return 2;
  }
  build_crc_table();
  Bytes data = read_corpus(corpus, limit);
  const double mb = data.size() / 1e6;
  printf("corpus: %zu bytes\n", data.size());

  double t = now();
  std::vector<Block> blocks = encode_blocks(data);
  size_t qev_bytes = 0;
  for (const Block& b : blocks) qev_bytes += b.coded.size() - SLACK;
  printf("qev blocks (test writer): %zu bytes (%.3f), %.1f s\n", qev_bytes,
         (double)qev_bytes / data.size(), now() - t);
  if (profile) {
    Bytes out(data.size());
    uint32_t crc = 0;
    double decode = 0, check = 0;
    for (int r = 0; r < reps; r++) {
      decode += decode_qev(blocks, out, false, &crc);
      double t0 = now();
      crc = ~crc_update(0xFFFFFFFF, out.data(), out.size());
      check += now() - t0;
    }
    printf("fast loop with CRC %.1f MB/s, CRC alone %.1f MB/s\n", mb * reps / decode,
           mb * reps / check);
    return 0;
  }
  t = now();
  Bytes z = zlib_compress(data);
  printf("zlib -9 raw deflate:      %zu bytes (%.3f), %.1f s\n", z.size(),
         (double)z.size() / data.size(), now() - t);
  t = now();
  libdeflate_compressor* c = libdeflate_alloc_compressor(12);
  Bytes ld(libdeflate_deflate_compress_bound(c, data.size()));
  ld.resize(libdeflate_deflate_compress(c, data.data(), data.size(), ld.data(), ld.size()));
  libdeflate_free_compressor(c);
  printf("libdeflate -12:           %zu bytes (%.3f), %.1f s\n", ld.size(),
         (double)ld.size() / data.size(), now() - t);

  const uint32_t expect = (uint32_t)crc32(0, data.data(), (uInt)data.size());
  Bytes out(data.size());
  std::vector<double> times[4];
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (int r = 0; r < reps; r++) {
    uint32_t crc;
    times[0].push_back(decode_qev(blocks, out, true, &crc));
    if (crc != expect || out != data) return fprintf(stderr, "reference decode differs\n"), 1;
    times[1].push_back(decode_qev(blocks, out, false, &crc));
    if (crc != expect || out != data) return fprintf(stderr, "fast decode differs\n"), 1;
    times[2].push_back(decode_zlib(z, out, &crc));
    if (crc != expect) return fprintf(stderr, "zlib decode differs\n"), 1;
    double t0 = now();
    size_t got = 0;
    libdeflate_deflate_decompress(d, ld.data(), ld.size(), out.data(), out.size(), &got);
    crc = libdeflate_crc32(0, out.data(), out.size());
    times[3].push_back(now() - t0);
    if (crc != expect || got != data.size()) return fprintf(stderr, "libdeflate decode differs\n"), 1;
  }
  libdeflate_free_decompressor(d);
  const char* names[4] = {"qev reference loop", "qev fast loop", "zlib inflate", "libdeflate"};
  double speed[4];
  printf("decode with CRC-32, median of %d (MB/s of output):\n", reps);
  for (int k = 0; k < 4; k++) {
    speed[k] = mb / median(times[k]);
    printf("  %-20s %8.1f\n", names[k], speed[k]);
  }
  printf("qev fast / libdeflate: %.2f\nqev fast / zlib:       %.2f\n", speed[1] / speed[3],
         speed[1] / speed[2]);
  return 0;
}
