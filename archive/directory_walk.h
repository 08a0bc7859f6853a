#pragma once
// Walking the directory entry by entry over the caller's dir_buffer
// (DIR_BUFFER_SIZE bytes), shared by the extraction driver and the host tool.
// The directory reader and the entry stream decoder may take turns on the
// archive file between two calls: every block fetch positions the file again.
//
// Invariant between calls: decoder.dir_cursor <= decoder.dir_end, both inside
// dir_buffer; an entry never spans two directory blocks, so a block's last
// bytes that cannot start an entry (fewer than 38) are dropped.
#include <stdint.h>

#include "archive/layout.h"

// Positions the reader at the first directory block (decoder.archive_base +
// directory_pos, the header's) with an empty buffer. 0, or ERR_SEEK.
int directory_walk_begin(uint8_t* dir_buffer, uint32_t directory_pos);

// The next entry: fetches a block when fewer than 38 bytes are left, copies
// the fixed part into *entry, points *name at its name_len bytes (valid until
// the next call) and steps over the name and both skipped areas. 0, or
//   - the directory reader's code (ERR_DAMAGED, ERR_SEEK, -1, ...),
//   - ERR_DAMAGED when the block holds fewer than 38 bytes after a fetch, or
//     the name or the skipped areas run past the block's decoded bytes.
// A failed call leaves the cursor where it was.
int directory_walk_next(uint8_t* dir_buffer, DirectoryEntry* entry, const uint8_t** name);
