#pragma once
// Numbers in the writer's and the tool's messages: "14,495,429".
#include <stdint.h>

#include <string>

namespace qev {

std::string with_commas(uint64_t value);

}  // namespace qev
