#pragma once
#include "archive/layout.h"

// The extraction driver: one whole extraction into stub_config.destination.
// Returns 0 or a negative result code for the dialog to report; failures tied
// to one output path are reported here with that path, and 0 returned. Sets
// extraction_completed (shell_state.h) when the member loop ran to its end
// and the closing actions ran; the destination then holds the folder, as
// typed, without a separator at its end.
int extract_all(void* window);

// After decode_member returned 0 for `entry`: 1 when the member came out whole
// (all `size` bytes written) and the CRC-32 of what was written is the
// entry's crc32; 0 when it fails its check.
int member_verified(const DirectoryEntry& entry);
