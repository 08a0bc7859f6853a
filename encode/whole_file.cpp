#include "encode/whole_file.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

namespace qev {

std::string read_whole_file(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
  out.clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return "cannot read '" + path + "': " + strerror(errno);
  uint8_t chunk[1 << 16];
  size_t n;
  while (out.size() <= limit && (n = fread(chunk, 1, sizeof chunk, f)) > 0)
    out.insert(out.end(), chunk, chunk + n);
  const int err = ferror(f) ? errno : 0;
  fclose(f);
  if (err) return "cannot read '" + path + "': " + strerror(err);
  if (out.size() > limit) {
    out.resize(limit + 1);
    return "'" + path + "' is larger than " + std::to_string(limit) + " bytes";
  }
  return "";
}

}  // namespace qev
