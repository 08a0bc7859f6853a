#pragma once
// CRC-32 of ZIP and zlib (reflected, polynomial 0xEDB88320, initial value
// 0xFFFFFFFF, final complement): the value the reader compares with an
// entry's crc32. Of "abc" it is 0x352441C2, of no bytes 0.
#include <stddef.h>
#include <stdint.h>

namespace qev {

// Running form: start with crc32_update(0, ...) and feed the result back in.
// The decoder's crc_update with the complements done here (decode/crc32.h).
uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace qev
