#pragma once
// Reading an archive, the one way the installer's driver, qev test, the
// benchmark and the tests' reference decoder all read it:
//
//   directory_walk_begin(dir_buffer, header.directory_pos)
//   member_count times: directory_walk_next  (every field of the entry
//                       checked against its block, directory_walk.h)
//     for a file entry: read_member          (decoded and verified, below)
//   reset_stream_state()                     (the held stream let go)
//
// What each caller does with a failure (ask, stop, go on to report every
// member) and where the bytes go (a temporary file, a sink) stays its own.
// The installer's driver sets the file's times between the decoding and the
// check, so it calls the two halves of read_member itself.
#include "archive/layout.h"
#include "platform/platform.h"

// Decodes the file member `entry` into `file` and verifies it: 0 when it
// passes member_verified; ERR_CRC when it decoded but fails that check;
// otherwise decode_member's failure (entry_stream.h).
int read_member(FileHandle file, const DirectoryEntry& entry);

// After decode_member returned 0 for `entry`: 1 when the member came out whole
// (all `size` bytes written) and the CRC-32 of what was written is the
// entry's crc32; 0 when it fails its check.
int member_verified(const DirectoryEntry& entry);
