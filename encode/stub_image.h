#pragma once
// Finding and patching the configuration block inside a built stub, and finding
// the archive inside an installer or a bare archive (host side only).
#include <stddef.h>
#include <stdint.h>

// Searches `image` for the configuration block's signature. Returns how many
// times it occurs; when exactly once, *archive_offset_field is the file offset
// of the block's archive_offset field.
int find_config_block(const uint8_t* image, size_t size, size_t* archive_offset_field);

// The archive base of a file that begins with `head` (its first bytes, as many
// as are available; the whole stub part for an installer): 0 for a bare
// archive (it begins with "QEV\n"), the recorded archive_offset for an
// installer whose configuration block is found exactly once, or -1 when the
// file is neither.
int64_t locate_archive(const uint8_t* head, size_t size);

// The end of a PE image's last section in the file (the file size of a PE
// file with nothing appended), or 0 when `image` is not a PE file whose
// section table lies within `size` bytes.
uint64_t pe_image_end(const uint8_t* image, size_t size);
