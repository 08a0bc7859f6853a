#pragma once
#include <stdint.h>
#include "platform/platform.h"

// Writes one file member into `file`: finds its member record in the decoded
// stream at stream_pos, continuing the stream held when it can, and hands the
// data to the file (through the call filter when flags ask for it). On 0,
// decoder.member_crc holds the CRC-32 of the bytes written (which may be fewer
// than size when the stream ended early; the caller's CRC check decides).
// Otherwise ERR_SEEK, ERR_WRITE, ERR_DAMAGED, ERR_CANCELLED, ERR_NOMEM,
// ERR_TRUNCATED or -1.
//
// A block that fails leaves the stream broken: every later member that
// continues it fails with ERR_DAMAGED until a member starts it afresh. The
// stream's last block stays marked as last while the stream continues, so a
// member that needs bytes past it (an inconsistent directory) ends short and
// fails its CRC check instead of reading what follows the stream as a block.
// A stream that would decode past 4 GiB is damaged (offsets are 32-bit).
int decode_member(FileHandle file, uint32_t stream_pos, uint32_t stream_offset,
                  uint32_t size, uint8_t flags);
// Forgets the held stream and frees the window (start of an extraction: the
// window becomes null and current_stream -1; end: the window is freed).
void reset_stream_state();
