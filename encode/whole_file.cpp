#include "encode/whole_file.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

namespace qev {

ReadResult read_whole_file(const std::string& path, uint64_t limit, std::vector<uint8_t>& data,
                           std::string& error) {
  data.clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot read '" + path + "': " + strerror(errno);
    return ReadResult::UNREADABLE;
  }
  uint8_t chunk[1 << 16];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
    data.insert(data.end(), chunk, chunk + n);
    if (data.size() > limit) {
      fclose(f);
      return ReadResult::TOO_LARGE;
    }
  }
  bool failed = ferror(f) != 0;
  int err = errno;
  fclose(f);
  if (failed) {
    error = "cannot read '" + path + "': " + strerror(err);
    return ReadResult::UNREADABLE;
  }
  return ReadResult::OK;
}

}  // namespace qev
