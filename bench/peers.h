#pragma once
// The peers this format is measured against, on the same files in the same
// run: zip, xz and brotli as child programs (their CPU time is theirs), zlib
// and libdeflate in this process.
#include <libdeflate.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "bench/support.h"

namespace bench {

// `zip -9 -r` of a folder, names relative to it as in the archive; its size,
// 0 when it fails.
uint64_t zip9_bytes(const std::string& dir, const std::string& tmp, Timing* t);
// A compressor that writes to standard output (argv without the input), on
// the concatenated files; the size of its output, 0 when it fails.
uint64_t concatenation_bytes(std::vector<std::string> argv, const Bytes& all, const std::string& tmp, Timing* t);
// brotli as strong as it goes with this format's 512 KiB window.
extern const std::vector<std::string> BROTLI;

// zlib level 9 as one raw deflate stream, and its decoding into `out` (sized
// to the data); returns the CRC-32 of what was decoded.
Bytes zlib_compress(const Bytes& data);
uint32_t zlib_decode(const Bytes& coded, Bytes& out);
// libdeflate level 12, and its decoding likewise.
Bytes libdeflate_compress(const Bytes& data);
uint32_t libdeflate_decode(libdeflate_decompressor* d, const Bytes& coded, Bytes& out);

}  // namespace bench
