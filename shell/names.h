#pragma once
// Destination names: 8.3 shortening and folder creation. Paths are ANSI byte
// strings with backslash separators, below 260 characters.
#include <stddef.h>
#include <stdint.h>

#include "base/text.h"

constexpr uint32_t PATH_BUFFER_SIZE = 260;

// With stub_config.short_names set, rewrites the path in place to 8.3
// components after the drive and any leading backslashes; otherwise no change.
void shorten_path(char* path);
// Writes the 8.3 form of the component [start, end) at out (which may equal
// start) and returns the position after the last byte written; no terminator.
char* shorten_component(char* out, const char* start, const char* end);
// Creates the folders of `path` from `from` on (null: from after the path's
// root: a drive, a share, leading separators), from the top down, each one
// that does not exist yet. Without FOLDER_LAST the last component is left
// alone (it names a file). A component that exists is kept as it is (a file
// among them makes a later step fail), unless it is a link (a symbolic link, a
// junction, any reparse point): a link could lead out of the folder that
// `from` begins in, so it is refused with OS_ACCESS_DENIED unless
// FOLDER_THROUGH_LINKS allows it (the destination's own folders, which the
// user chose). 1, or 0 with the reason in last_os_error: the failed folder's
// own. The path is changed while it works and restored.
constexpr int FOLDER_LAST = 1;
constexpr int FOLDER_THROUGH_LINKS = 2;
int create_folder_path(char* path, char* from, int mode);
