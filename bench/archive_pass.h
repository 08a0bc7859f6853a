#pragma once
// One pass of the installer's own path over a whole archive, for the
// benchmark: the directory walk and read_member for every file member in
// directory order (archive/member_reader.h), each member verified as the
// installer verifies it, call filters undone, the output written to `sink`. The archive is read from `archive`
// (a bare archive: its header at offset 0) through the file layer, as the
// stub reads its own executable. Plain C-style code, so that the same source
// serves the host decoder and the stub's compact form built for the host
// (compact_entry.cpp).
#include <stdint.h>

#include "platform/platform.h"

struct ArchivePass {
  uint64_t bytes;        // file content restored
  int32_t result;        // 0, or the failure's result code (ERR_CRC: the member fails its check)
  int32_t failed_entry;  // the directory entry that failed (-1 when none did)
};

// `buffer`: INPUT_BUFFER_ALLOC + DIR_BUFFER_SIZE bytes, the driver's single
// allocation.
ArchivePass archive_pass(FileHandle archive, FileHandle sink, uint8_t* buffer);

// The same pass by the decoder's compact form, the stub's (built into a
// shared library of the benchmark's own, which hides everything else).
extern "C" ArchivePass archive_pass_compact(FileHandle archive, FileHandle sink, uint8_t* buffer);
