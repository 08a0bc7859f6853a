#include "cli/counts.h"

std::string with_commas(uint64_t value) {
  std::string digits = std::to_string(value), s;
  for (size_t i = 0; i < digits.size(); i++) {
    if (i > 0 && (digits.size() - i) % 3 == 0) s += ',';
    s += digits[i];
  }
  return s;
}

std::string count_of(uint64_t count, const char* noun, const char* plural) {
  if (count == 1) return "1 " + std::string(noun);
  return with_commas(count) + " " + (plural ? std::string(plural) : std::string(noun) + "s");
}
