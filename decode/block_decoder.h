#pragma once
#include <stdint.h>

// Decodes one compressed block whose header the bit reader stands at, writing
// `want` bytes after `history` bytes already in out_base (the caller provides
// room for history + want bytes; nothing is written past them). Returns the
// count produced (fewer than asked when the data end early or are damaged),
// or ERR_DAMAGED, ERR_TRUNCATED, ERR_CANCELLED, ERR_NOMEM or -1 when the block
// fails before its data. Leaves the reader at the byte boundary after the data.
//
// Choices where the format leaves the decoder free:
// - three distance tables with no table sets (no default lengths exist for
//   table 2): ERR_DAMAGED, nothing allocated;
// - a length-2 match in a one-table block (table 1 is chosen but not built):
//   the block ends there, as after an empty code entry;
// - distance 0 (a repeat register read before any distance was known): the
//   block ends there instead of copying bytes onto themselves.
int32_t decode_block(uint8_t* out_base, uint32_t history, uint32_t want);
