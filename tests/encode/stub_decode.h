#pragma once
// Reads an archive file with the stub's own decoding path over the platform
// file layer: the directory walk and read_member (archive/member_reader.h),
// as the extraction driver reads it.
#include <stdint.h>

#include <string>
#include <vector>

#include "archive/layout.h"

struct StubMember {
  DirectoryEntry entry;
  std::string name;
  std::vector<uint8_t> data;  // restored bytes, when asked for
  uint32_t crc = 0;           // what the decoding left in member_crc
  bool restarted = false;     // its stream was held, but its record lay before the held block
};

// Decodes every member of the archive that starts at `base` in the file at
// `path`. With keep_data the members' bytes are returned, else they go to
// /dev/null. Returns "" or what failed (a result code, a CRC mismatch).
std::string stub_decode_file(const std::string& path, uint32_t base, bool keep_data,
                             std::vector<StubMember>* members, uint64_t* bytes_out);
