// Fuzz target: read_length_sets + decode_block on arbitrary bytes, by the
// reference loop and by the fast loop, which must agree in everything (result,
// bytes, reader position). The input's first 4 bytes choose the history
// length (0-4095) and the bytes to produce (0-65535); the rest is the block.
// The block lies in an allocation with exactly the slack that the input
// buffer has behind a full piece, and the output buffer is exactly history +
// bytes asked, so that AddressSanitizer sees any read or write past either.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "decode/block_decoder.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "decode/reference_decoder.h"
#include "shell/stub_config.h"

namespace {

constexpr size_t MAX_BLOCK = INPUT_BUFFER_SIZE - FRAME_MARGIN;      // a full first fill
constexpr size_t SLACK = INPUT_BUFFER_ALLOC - MAX_BLOCK;            // what lies behind it

struct Run {
  int32_t result;
  size_t bits;
  uint8_t* out;
};

Run decode(const uint8_t* block, size_t n, uint32_t history, uint32_t want, bool reference) {
  uint8_t* input = (uint8_t*)malloc(n + SLACK);
  memcpy(input, block, n);
  memset(input + n, 0, SLACK);
  decoder.in.input_buffer = input;
  decoder.in.pos = input;
  decoder.in.bit_offset = 0;
  decoder.in.limit = input + n;
  decoder.in.chunk_remaining = 0;
  uint8_t* out = (uint8_t*)malloc(history + want + 1);
  for (uint32_t i = 0; i < history; i++) out[i] = (uint8_t)(i * 31);
  int32_t r = reference ? decode_block_reference(out, history, want)
                        : decode_block(out, history, want);
  size_t bits = (size_t)(decoder.in.pos - input) * 8 + decoder.in.bit_offset;
  free(input);
  return {r, bits, out};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  static bool ready = false;
  if (!ready) {
    build_crc_table();
    connect_decoder_to_config();
    ready = true;
  }
  const uint32_t history = (data[0] | data[1] << 8) & 0xFFF;
  const uint32_t want = data[2] | data[3] << 8;
  data += 4;
  size -= 4;
  if (size > MAX_BLOCK) size = MAX_BLOCK;
  Run ref = decode(data, size, history, want, true);
  Run fast = decode(data, size, history, want, false);
  size_t produced = ref.result > 0 ? (size_t)ref.result : 0;
  if (ref.result != fast.result || ref.bits != fast.bits ||
      memcmp(ref.out, fast.out, history + produced) != 0) {
    abort();
  }
  if (ref.result > (int32_t)want) abort();
  free(ref.out);
  free(fast.out);
  return 0;
}
