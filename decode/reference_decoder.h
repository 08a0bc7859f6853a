#pragma once
// The reference decode of compressed blocks: the format followed symbol by
// symbol through the reference tables, with no fast path. It is the oracle
// the fast loop and the careful step are tested against (same result, bytes
// and reader position for every input), and lives in its own library that
// only tests and fuzz targets link; the stub and `qev` decode without it.
#include <stdint.h>

#include "decode/block_context.h"

// One item by the format's rules: the output test, the refill, a literal, the
// end of the set or a match (a match reaching before out_base is dropped, one
// of distance 0 ends the block, a long one is cut at out_end).
StepResult reference_step(BlockContext& c);

// decode_block (block_decoder.h) by the reference step alone.
int32_t decode_block_reference(uint8_t* out_base, uint32_t history, uint32_t want);

// Whole streams both ways: programs that link this library have their calls
// of decode_block routed (with the linker's --wrap, which the library asks
// for) through decode_block_switched, which decodes by the reference loop
// while decode_by_reference is set and by decode_block itself otherwise. A
// program that wraps decode_block for its own purposes calls
// decode_block_switched from its wrapper.
extern bool decode_by_reference;
int32_t decode_block_switched(uint8_t* out_base, uint32_t history, uint32_t want);
