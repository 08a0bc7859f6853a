#pragma once
// Reading a whole file of the host into memory, for the packer's inputs (a
// stub, an icon, a product file).
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace qev {

// The bytes of `path`, at most `limit` of them. "" or why not: "cannot read
// 'PATH': REASON", or "'PATH' is larger than LIMIT bytes" (out then holds
// the first bytes, one more than the limit).
std::string read_whole_file(const std::string& path, size_t limit, std::vector<uint8_t>& out);

}  // namespace qev
