#pragma once
// Little-endian integers at any byte address: the archive's records and the
// compressed data store every integer this way. Each load and store compiles
// to a single move on the little-endian targets this code is built for.
#include <stdint.h>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "integers are loaded and stored in the host's order, which is the archive's");

inline uint16_t load_le16(const uint8_t* p) {
  uint16_t v;
  __builtin_memcpy(&v, p, 2);
  return v;
}
inline uint32_t load_le32(const uint8_t* p) {
  uint32_t v;
  __builtin_memcpy(&v, p, 4);
  return v;
}
inline uint64_t load_le64(const uint8_t* p) {
  uint64_t v;
  __builtin_memcpy(&v, p, 8);
  return v;
}
inline void store_le16(uint8_t* p, uint16_t v) { __builtin_memcpy(p, &v, 2); }
inline void store_le32(uint8_t* p, uint32_t v) { __builtin_memcpy(p, &v, 4); }
