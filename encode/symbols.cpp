#include "encode/symbols.h"

namespace qev {

void default_length_set(uint8_t* l, uint32_t window_size) {
  for (int i = 0; i < 244; i++) l[i] = 8;
  for (int i = 244; i < 256; i++) l[i] = 9;
  l[256] = 0;
  for (int i = 257; i <= 260; i++) l[i] = 9;
  for (int i = 261; i <= 265; i++) l[i] = 10;
  for (int i = 266; i < 288; i++) l[i] = 11;
  uint8_t* d0 = l + DIST_STARTS[0];
  if (window_size > 8192) {
    for (int i = 0; i < 42; i++) d0[i] = i < 22 ? 5 : 6;
  } else {
    for (int i = 0; i < 42; i++) d0[i] = i < 4 ? 4 : i < 28 ? 5 : 0;
  }
  uint8_t* d1 = l + DIST_STARTS[1];
  for (int i = 0; i < 14; i++) d1[i] = i < 2 ? 3 : 4;
}

}  // namespace qev
