#pragma once
#include <stdint.h>

// Decodes one compressed block whose header the bit reader stands at, writing
// `want` bytes after `history` bytes already in out_base. Returns the count
// produced (fewer than asked when the data end early or are damaged), or
// ERR_DAMAGED, ERR_TRUNCATED, ERR_CANCELLED, ERR_NOMEM or -1 when the block
// fails before its data. Leaves the reader at the byte boundary after the data.
int32_t decode_block(uint8_t* out_base, uint32_t history, uint32_t want);
