#pragma once
// The reflected CRC-32 of ZIP and zlib (polynomial 0xEDB88320, initial value
// 0xFFFFFFFF, final complement), table in decoder.crc_table.
#include <stddef.h>
#include <stdint.h>

void build_crc_table();
// Running CRC in, running CRC out (no pre- or post-complement here).
uint32_t crc_update(uint32_t crc, const uint8_t* data, size_t length);

// Set by build_crc_table when the CPU can fold with carry-less multiplication
// (1; 2 on the host where it also multiplies on 512-bit registers);
// crc_update then takes long runs that way. Tests lower it to check the
// other paths; all give the same CRC.
extern uint8_t crc_folding;
