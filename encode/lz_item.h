#pragma once
// The parser's output: one item per literal or match, in stream order.
#include <stdint.h>

namespace qev {

// len 0: a literal, value is the byte. len >= 2: a match of len bytes at
// distance value (the real distance, whatever symbol later codes it).
struct Item {
  uint32_t len;
  uint32_t value;
};

}  // namespace qev
