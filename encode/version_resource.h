#pragma once
// The version resource (RT_VERSION, VS_VERSIONINFO) that Explorer's Details
// tab and Windows' version calls read: the fixed part with the numeric
// versions, and one string table (U.S. English, Unicode: 040904B0) with the
// texts given, in the order given. Every block is a length, a value length,
// a type (0 binary, 1 text), a UTF-16 key, padding to 4 bytes, the value and
// the children, each padded to 4 bytes.
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace qev {

// Texts in Windows-1252; `version` gives the numeric file and product
// version: up to four numbers separated by dots ("2.1.0" is 2.1.0.0); a text
// that does not begin with such numbers gives 0.0.0.0.
std::vector<uint8_t> version_resource(const std::vector<std::pair<std::string, std::string>>& texts,
                                      const std::string& version);

// The four numbers of a version text, as the fixed part holds them: the
// first two in the high word, the last two in the low word.
void version_numbers(const std::string& version, uint32_t* high, uint32_t* low);

}  // namespace qev
