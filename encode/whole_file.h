#pragma once
// Reading a whole (small) file into memory: a stub. Members are read in
// pieces (member_source.h).
#include <stdint.h>

#include <string>
#include <vector>

namespace qev {

enum class ReadResult {
  OK,
  UNREADABLE,  // `error` says why, naming the file
  TOO_LARGE    // more than `limit` bytes: reading stopped there
};

ReadResult read_whole_file(const std::string& path, uint64_t limit, std::vector<uint8_t>& data,
                           std::string& error);

}  // namespace qev
