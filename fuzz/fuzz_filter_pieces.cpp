// Fuzz target: the call filter (filter_write) fed a member in pieces of
// arbitrary sizes, against the same member handed over in one piece: the
// bytes written and the CRC-32 must be the same, however the member is cut.
// Two more oracles: the writer's own inverse (qev::unfilter_e8_16/32) gives
// the one-piece result too, and a member filtered by the writer comes back
// as it was.
//
// Input: byte 0 bit 0 chooses the filter (0: 16-bit, 1: 32-bit); byte 1 gives
// the number k (0-63) of piece-size bytes that follow; each is a piece size
// of 1-256 bytes, or, with its top bit set, (low 7 bits + 1) * 97 bytes.
// The sizes are used in turn, over and over, until the member is covered.
// The rest of the input is the member.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "decode/call_filter.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "encode/call_filter.h"
#include "shell/stub_config.h"
#include "platform/platform.h"

namespace {

struct Output {
  std::vector<uint8_t> bytes;
  uint32_t crc;
  int result;
};

// Runs the member through filter_write in the given pieces (none: one piece)
// into a memory file and reads back what was written.
Output filter(const uint8_t* member, uint32_t size, uint32_t mode, const std::vector<uint32_t>& pieces) {
  Output out;
  int fd = memfd_create("member", 0);
  if (fd < 0) abort();
  decoder.filter_mode = mode;
  decoder.carry_len = 0;
  decoder.member_crc = 0xFFFFFFFF;
  out.result = 0;
  uint32_t offset = 0;
  for (size_t k = 0; offset < size && out.result == 0; k++) {
    uint32_t n = pieces.empty() ? size : pieces[k % pieces.size()];
    if (n > size - offset) n = size - offset;
    out.result = filter_write(fd, member + offset, n, offset, size, offset + n == size);
    offset += n;
  }
  out.crc = ~decoder.member_crc;
  off_t length = lseek(fd, 0, SEEK_END);
  out.bytes.resize((size_t)length);
  if (pread(fd, out.bytes.data(), out.bytes.size(), 0) != (ssize_t)out.bytes.size()) abort();
  close(fd);
  return out;
}

uint32_t reference_crc(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; k++) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    build_crc_table();
    connect_decoder_to_config();
    ready = true;
  }
  if (size < 2) return 0;
  const uint32_t mode = data[0] & 1 ? 4 : 2;
  size_t k = data[1] & 63;
  if (size < 2 + k) return 0;
  std::vector<uint32_t> pieces;
  for (size_t i = 0; i < k; i++) {
    uint8_t b = data[2 + i];
    pieces.push_back(b & 0x80 ? ((b & 0x7F) + 1u) * 97u : b + 1u);
  }
  const uint8_t* member = data + 2 + k;
  const uint32_t member_size = (uint32_t)(size - 2 - k);
  if (member_size == 0) return 0;

  Output whole = filter(member, member_size, mode, {});
  Output cut = filter(member, member_size, mode, pieces);
  if (whole.result != 0 || cut.result != 0) abort();
  if (whole.bytes.size() != member_size || whole.bytes != cut.bytes) abort();
  if (whole.crc != cut.crc || whole.crc != reference_crc(whole.bytes)) abort();

  // The writer's inverse agrees with the stub's.
  std::vector<uint8_t> inverse(member, member + member_size);
  if (mode == 4) {
    qev::unfilter_e8_32(inverse.data(), inverse.size());
  } else {
    qev::unfilter_e8_16(inverse.data(), inverse.size());
  }
  if (inverse != whole.bytes) abort();

  // What the writer filters comes back whole, in pieces as in one.
  std::vector<uint8_t> filtered(member, member + member_size);
  if (mode == 4) {
    qev::filter_e8_32(filtered.data(), filtered.size());
  } else {
    qev::filter_e8_16(filtered.data(), filtered.size());
  }
  Output back = filter(filtered.data(), member_size, mode, pieces);
  if (back.result != 0 || memcmp(back.bytes.data(), member, member_size) != 0) abort();
  return 0;
}
