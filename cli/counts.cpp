#include "cli/counts.h"

std::string count_of(uint64_t count, const char* noun, const char* plural) {
  if (count == 1) return "1 " + std::string(noun);
  return with_commas(count) + " " + (plural ? std::string(plural) : std::string(noun) + "s");
}
