// CRC-32 by slicing-by-8: eight bytes per step through eight tables. Table 0
// is decoder.crc_table, the byte-at-a-time table; table t holds for each byte
// value the CRC of that byte followed by t zero bytes, so a whole 8-byte word
// folds into the CRC in one step with the same result as eight single steps.
#include "decode/crc32.h"

#include "decode/decoder_state.h"
#include "decode/input.h"

namespace {

constexpr uint32_t CRC_POLYNOMIAL = 0xEDB88320;  // reflected 0x04C11DB7
uint32_t crc_slices[7][256];                     // tables 1..7

}  // namespace

void build_crc_table() {
  for (uint32_t i = 0; i < 256; i++) {
    uint32_t c = i;
    for (int k = 0; k < 8; k++) c = (c & 1) ? (c >> 1) ^ CRC_POLYNOMIAL : c >> 1;
    decoder.crc_table[i] = c;
  }
  for (uint32_t i = 0; i < 256; i++) {
    uint32_t c = decoder.crc_table[i];
    for (int t = 0; t < 7; t++) {
      c = decoder.crc_table[c & 0xFF] ^ (c >> 8);
      crc_slices[t][i] = c;
    }
  }
}

uint32_t crc_update(uint32_t crc, const uint8_t* data, size_t length) {
  const uint32_t* t0 = decoder.crc_table;
  while (length >= 8) {
    uint32_t lo = load_le32(data) ^ crc;
    uint32_t hi = load_le32(data + 4);
    crc = crc_slices[6][lo & 0xFF] ^ crc_slices[5][(lo >> 8) & 0xFF] ^
          crc_slices[4][(lo >> 16) & 0xFF] ^ crc_slices[3][lo >> 24] ^
          crc_slices[2][hi & 0xFF] ^ crc_slices[1][(hi >> 8) & 0xFF] ^
          crc_slices[0][(hi >> 16) & 0xFF] ^ t0[hi >> 24];
    data += 8;
    length -= 8;
  }
  while (length != 0) {
    crc = t0[(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    length--;
  }
  return crc;
}
