// The routing of decode_block between the library's decoder and the
// reference loop (reference_decoder.h). The linker's --wrap names the
// function by its mangled symbol; the static assertion pins the signature
// that symbol stands for.
#include <type_traits>

#include "decode/block_decoder.h"
#include "decode/reference_decoder.h"

static_assert(std::is_same_v<decltype(&decode_block), int32_t (*)(uint8_t*, uint32_t, uint32_t)>,
              "_Z12decode_blockPhjj is decode_block(uint8_t*, uint32_t, uint32_t)");

bool decode_by_reference;

// decode_block itself, under the linker's --wrap.
extern "C" int32_t __real__Z12decode_blockPhjj(uint8_t* out_base, uint32_t history, uint32_t want);

int32_t decode_block_switched(uint8_t* out_base, uint32_t history, uint32_t want) {
  if (decode_by_reference) return decode_block_reference(out_base, history, want);
  return __real__Z12decode_blockPhjj(out_base, history, want);
}
