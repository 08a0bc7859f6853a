#pragma once
// Destination names: 8.3 shortening, folder creation, and the byte-string
// primitives. Paths are ANSI byte strings with backslash separators, below 260
// characters.
#include <stddef.h>
#include <stdint.h>

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

// First occurrence of c (c == 0: the terminator), or null.
const char* str_find(const char* s, char c);
// Last occurrence of c (c == 0: the terminator), or null.
const char* str_find_last(const char* s, char c);
// First byte equal to b within count bytes, or null.
const uint8_t* mem_find(const uint8_t* block, uint8_t b, size_t count);
// 0 when equal (or count 0); otherwise -1 or 1 by the first differing byte, unsigned.
int mem_compare(const uint8_t* a, const uint8_t* b, size_t count);
// Bytes before the terminator.
size_t str_length(const char* s);
// Copies src with its terminator into dst of `capacity` bytes: 1, or 0 with
// dst unchanged when it does not fit.
int str_copy(char* dst, size_t capacity, const char* src);
