#include "encode/checksum.h"

#include "decode/crc32.h"

namespace qev {

// The decoder's CRC, so that the value written is computed by the code that
// checks it. Its table is built once, before the first use, also when the
// writer runs on several threads (a function-local static is initialised
// exactly once); building it again (start-up does) writes the same values.
uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t size) {
  static const bool table_built = (build_crc_table(), true);
  (void)table_built;
  return ~crc_update(~crc, data, size);
}

}  // namespace qev
