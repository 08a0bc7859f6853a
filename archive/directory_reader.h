#pragma once
#include <stdint.h>

constexpr uint32_t DIR_BUFFER_SIZE = 8192;
constexpr uint32_t DIR_READ_MAX = 8184;

// Reads and decodes the directory block at decoder.dir_read_pos into
// dir_buffer (DIR_BUFFER_SIZE bytes). On 0, decoder.dir_cursor is the buffer's
// start and decoder.dir_end the end of the decoded bytes, and dir_read_pos has
// moved to the next block. Otherwise ERR_SEEK, ERR_DAMAGED, ERR_TRUNCATED,
// ERR_CANCELLED, ERR_NOMEM or -1, with dir_read_pos unchanged.
int read_directory_block(uint8_t* dir_buffer);
