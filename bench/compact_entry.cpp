// The one symbol that the benchmark's library of the compact decoder shows:
// every other symbol of it is hidden, so that its decoder state, tables and
// file layer are its own and never meet the host decoder's of the same names.
#include "archive_pass.h"

extern "C" __attribute__((visibility("default"))) ArchivePass archive_pass_compact(
    FileHandle archive, FileHandle sink, uint8_t* buffer) {
  return archive_pass(archive, sink, buffer);
}
