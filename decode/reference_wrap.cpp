// The wrapper of decode_block for programs that have none of their own
// (reference_decoder.h). Its own file, so that such a program's wrapper
// leaves it in the library.
#include "decode/reference_decoder.h"

extern "C" int32_t __wrap__Z12decode_blockPhjj(uint8_t* out_base, uint32_t history, uint32_t want) {
  return decode_block_switched(out_base, history, want);
}
