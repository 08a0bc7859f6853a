#pragma once
// The x86 call-operand filters. A member stored with a filter has the operand
// after each 0xE8 byte (2 bytes, or 4) turned from relative into
// member-absolute form; writing undoes it. A call is restored exactly when its
// operand lies wholly inside the member, however the member is cut into
// pieces: operand bytes that a piece cannot finish wait in decoder.carry for
// the next piece, and an 0xE8 among the member's last bytes is written as it
// stands with what follows it. The CRC-32 is taken over the restored bytes.
#include <stdint.h>

#include "platform/platform.h"

// The staging buffer: 64 KB in the Windows builds (the stub, where it is
// zero-initialised data and costs no file space), 128 KB on the host. A write
// costs more than the bytes it carries everywhere, under Wine most of all: in
// 16 KB stretches the stub spent some 50 ms more CPU time (a tenth) on the
// benchmark corpus.
// Keyed on the target, not on the optimisation, so that the tests of a build
// see the size its library has.
#if defined(_WIN32)
constexpr uint32_t STAGE_SIZE = 65536;
#else
constexpr uint32_t STAGE_SIZE = 131072;
#endif
// Source bytes staged per write, so that a call begun at the last of them
// still fits with its operand: both limits plus their operand come to
// STAGE_SIZE - 1 (65533 + 2 and 65531 + 4 in the stub).
constexpr uint32_t STAGE_LIMIT_16 = STAGE_SIZE - 3;
constexpr uint32_t STAGE_LIMIT_32 = STAGE_SIZE - 5;

// Restores the call operands of one piece of a filtered member (mode in
// decoder.filter_mode: 2 or 4, the operand's size), updates decoder.member_crc
// and writes the restored bytes. Pieces come in order without gaps; `offset`
// is the member offset of the piece's first byte, `last` is set on the piece
// that ends the member. 0, ERR_WRITE or ERR_CANCELLED.
int filter_write(FileHandle file, const uint8_t* piece, uint32_t n, uint32_t offset,
                 uint32_t member_size, int last);

// One translation pass over n source bytes at member offset `offset`: stages
// and writes them in stretches of at most STAGE_LIMIT_16/32 source bytes,
// polling the cancel flag before each write. The operand of an 0xE8 among the
// n bytes is read even where it lies past them, so the caller must have those
// bytes. Returns how many operand bytes it read past the n (0 to 4), or
// ERR_WRITE or ERR_CANCELLED. Internal to filter_write; open for the tests.
int32_t translate_pass(FileHandle file, const uint8_t* src, uint32_t n, uint32_t offset,
                       uint32_t member_size);

// How the host's passes look for calls: 0 not chosen yet (the first pass
// chooses), 1 16 bytes at a time, 2 64 bytes at a time where the CPU compares
// that many at once (AVX-512BW). Tests set it to check each way; the stub
// goes a byte at a time whatever it holds.
extern uint8_t call_scan;

// The operand translations (arithmetic modulo 2^16 and 2^32); p is the member
// offset of the operand's first byte, size the member's.
uint16_t restore_call16(uint16_t w, uint32_t p);
uint32_t restore_call32(uint32_t v, uint32_t p, uint32_t size);
