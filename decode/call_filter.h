#pragma once
#include <stdint.h>
#include "platform/platform.h"

constexpr uint32_t STAGE_SIZE = 16384;
constexpr uint32_t STAGE_LIMIT_16 = 16381;
constexpr uint32_t STAGE_LIMIT_32 = 16379;

// Restores the call operands of one piece of a filtered member (mode in
// decoder.filter_mode), updates decoder.member_crc and writes the restored bytes.
// Pieces come in order without gaps; `offset` is the member offset of the
// piece's first byte, `last` is set on the piece that ends the member.
// 0, ERR_WRITE or ERR_CANCELLED.
int filter_write(FileHandle file, const uint8_t* piece, uint32_t n, uint32_t offset,
                 uint32_t member_size, int last);
