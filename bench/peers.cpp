#include "bench/peers.h"

#include <stdio.h>
#include <unistd.h>
#include <zlib.h>

namespace bench {

namespace {

// The size of what a child writes to `out`, 0 when it fails.
uint64_t peer_bytes(const std::vector<std::string>& argv, const std::string& cwd, const std::string& out,
                    const std::string& stdout_path, Timing* t) {
  uint64_t bytes = run_child(argv, cwd, stdout_path, t) ? file_size(out) : 0;
  if (!bytes) fprintf(stderr, "qev-bench: %s failed (is it installed?)\n", argv[0].c_str());
  unlink(out.c_str());
  return bytes;
}

}  // namespace

uint64_t zip9_bytes(const std::string& dir, const std::string& tmp, Timing* t) {
  const std::string zip = tmp + "/peer.zip";
  return peer_bytes({"zip", "-9", "-r", "-q", zip, "."}, dir, zip, "", t);
}

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

}  // namespace bench
