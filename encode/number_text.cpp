#include "encode/number_text.h"

namespace qev {

std::string with_commas(uint64_t value) {
  std::string digits = std::to_string(value), s;
  for (size_t i = 0; i < digits.size(); i++) {
    if (i > 0 && (digits.size() - i) % 3 == 0) s += ',';
    s += digits[i];
  }
  return s;
}

}  // namespace qev
