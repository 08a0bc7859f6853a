#pragma once
// The platform file layer: thin wrappers over the operating system's
// file, folder and memory services, with one result convention and one error
// slot. No operation shows a message or retries; failures are returned and the
// Windows error code of the failure is left in last_os_error, which the error
// reporter turns into the second line of its message.
//
// Two implementations sit behind this header, chosen by the build:
// platform_win32.cpp (KERNEL32) and platform_posix.cpp (Linux, the host tool
// and the tests). The POSIX one maps errno to the Windows code that the message
// table understands and treats backslashes in paths as separators.
//
// Paths are byte strings in the encoding of the platform's own file calls:
// on Windows the process's ANSI code page, which the stub's manifest makes
// UTF-8 wherever Windows can (Windows 10 version 1903 and later), so that
// any name can be reached; on the host Windows-1252, which the POSIX layer
// turns into UTF-8. Member names, stored in Windows-1252, come into that
// encoding through archive_name_to_path.
//
// Links: no operation follows a symbolic link, junction or other reparse
// point that is the last component of its path. file_get_attributes reports
// the link itself (ATTR_REPARSE_POINT, with ATTR_DIRECTORY when it stands for
// a folder), file_create never opens through one, file_rename replaces the
// link, file_delete removes it. Links earlier in a path are followed, as the
// OS follows them: a caller that must not cross one looks at each component
// with file_get_attributes first. file_set_attributes is never given a link
// (Windows may change what the link leads to; the POSIX layer leaves it be).
//
// Result conventions:
//   handles   - the handle, or INVALID_FILE (-1)
//   counts    - the count or position, or -1 (file_seek: SEEK_FAILED)
//   yes/no    - 1 success, 0 failure
//   memory    - a pointer, or null
// "clears": sets last_os_error to 0 before the system call.
// "records": stores the OS error code of a failure in last_os_error.
#include <stddef.h>
#include <stdint.h>

// An OS file handle (Win32 HANDLE, POSIX descriptor) carried in an integer as
// wide as a pointer. INVALID_FILE has all bits set, like INVALID_HANDLE_VALUE.
typedef intptr_t FileHandle;
constexpr FileHandle INVALID_FILE = -1;
constexpr uint32_t SEEK_FAILED = 0xFFFFFFFFu;
constexpr uint32_t NO_ATTRIBUTES = 0xFFFFFFFFu;  // file_get_attributes failure

// Access rights for file_open.
constexpr uint32_t ACCESS_READ = 0x80000000u;   // GENERIC_READ
constexpr uint32_t ACCESS_WRITE = 0x40000000u;  // GENERIC_WRITE

// Seek origins.
constexpr int SEEK_FROM_START = 0;
constexpr int SEEK_FROM_CURRENT = 1;
constexpr int SEEK_FROM_END = 2;

// File attribute bits (Windows values).
constexpr uint32_t ATTR_READONLY = 0x01;
constexpr uint32_t ATTR_HIDDEN = 0x02;
constexpr uint32_t ATTR_SYSTEM = 0x04;
constexpr uint32_t ATTR_DIRECTORY = 0x10;
constexpr uint32_t ATTR_ARCHIVE = 0x20;
constexpr uint32_t ATTR_NORMAL = 0x80;
constexpr uint32_t ATTR_REPARSE_POINT = 0x400;  // a link: symbolic, junction, other

// Windows error codes that the layer produces or the callers test.
constexpr uint32_t OS_FILE_NOT_FOUND = 2;
constexpr uint32_t OS_PATH_NOT_FOUND = 3;
constexpr uint32_t OS_ACCESS_DENIED = 5;
constexpr uint32_t OS_INVALID_HANDLE = 6;
constexpr uint32_t OS_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t OS_WRITE_PROTECT = 19;
constexpr uint32_t OS_GEN_FAILURE = 31;
constexpr uint32_t OS_HANDLE_DISK_FULL = 39;
constexpr uint32_t OS_FILE_EXISTS = 80;
constexpr uint32_t OS_INVALID_PARAMETER = 87;
constexpr uint32_t OS_DISK_FULL = 112;
constexpr uint32_t OS_NEGATIVE_SEEK = 131;
constexpr uint32_t OS_BAD_PATHNAME = 161;
constexpr uint32_t OS_ALREADY_EXISTS = 183;
constexpr uint32_t OS_FILENAME_EXCED_RANGE = 206;

// The error slot: the OS error of the most recent failure, 112 after a short
// write, or 0.
extern uint32_t last_os_error;
// The executable (or, on the host, the archive file) open for reading, shared
// by every reader of the archive.
extern FileHandle archive_file;
// Where the next read_archive reads, as the readers know it. read_archive
// advances it; whoever seeks archive_file stores the new position here.
extern uint32_t file_pos;
// Every byte that file_write has written since the process began: the
// installer's progress.
extern uint64_t bytes_written;

// Memory: fixed blocks from the process heap. last_os_error untouched.
void* mem_alloc(uint32_t size);                 // uninitialised block or null
void* mem_resize(void* block, uint32_t size);   // may move; null leaves block valid
void mem_free(void* block);

// Creates a new file (CREATE_NEW) with no sharing and the sequential hint,
// open for reading, writing and (Windows) renaming.
// Whatever stands under the name already is never opened or truncated: a
// file, a folder or a link (also one that leads nowhere) makes it fail with
// OS_FILE_EXISTS. Clears; records.
FileHandle file_create(const char* path, uint32_t attributes);
// Opens an existing file with the random-access hint; share mode read when the
// access includes ACCESS_WRITE, read|write otherwise. Clears; records.
FileHandle file_open(const char* path, uint32_t access);
// Does not clear; on failure records only when last_os_error is 0, so the first
// error of a failed operation followed by a failed close is the one reported.
int file_close(FileHandle file);
// Bytes read (fewer, or 0, at the end of the file), or -1. Clears; records.
int32_t file_read(FileHandle file, void* buffer, uint32_t count);
// count, or -1. Clears; records. Error 39 is recorded as 112, and a write that
// stores fewer bytes than asked fails with 112: every full disk reads "Disk full".
int32_t file_write(FileHandle file, const void* buffer, uint32_t count);
// New position, or SEEK_FAILED. From the start the distance is an unsigned
// position, so that every position below 4 GiB is reached; from the current
// position or the end it is a signed distance (0xFFFFFFFF is -1). A position
// of 4 GiB - 1 or more cannot be told from SEEK_FAILED and fails too: archives
// and installers stay below it. Clears; records.
uint32_t file_seek(FileHandle file, uint32_t distance, int origin);
// file_read on archive_file; a result other than -1 is added to file_pos.
int32_t read_archive(void* buffer, uint32_t count);
// A file's times and attributes, set through its handle in one call (Windows:
// no reopening by name, which under Wine costs round trips to its server).
// DOS dates and times in local time; a date of 0 leaves that time unchanged; the
// last-access time is never changed. `attributes` replace the file's, as
// file_set_attributes would set them (0: none, the archive bit cleared too).
// 1 or 0. Clears; records.
int file_set_times(FileHandle file, uint16_t create_date, uint16_t create_time,
                   uint16_t write_date, uint16_t write_time, uint32_t attributes);
// Attribute bits (ATTR_DIRECTORY for folders) or NO_ATTRIBUTES. Does not clear; records.
uint32_t file_get_attributes(const char* path);
// 1 or 0. Clears; records.
int file_set_attributes(const char* path, uint32_t attributes);
// 1 or 0. Does not clear; records.
int file_delete(const char* path);
// Creates one folder; 1 or 0 (183 when it exists). Does not clear; records.
int folder_create(const char* path);
// The absolute form of `path` in `out` (GetFullPathNameA: a relative path and
// a lone "\" resolved against the current folder and drive, "." and ".."
// taken out; an empty path is the current folder, "."): its length, below
// `capacity`, or 0 when it has none that fits. The POSIX layer copies the
// path as it stands (an empty one as "."): on the host a relative path names
// one folder already, and nothing is started or registered from it.
// last_os_error untouched.
uint32_t file_full_path(const char* path, char* out, uint32_t capacity);
// A member's name (Windows-1252 bytes, `length` of them) in the encoding of
// paths, at `out`, terminated, in at most `room` bytes before the terminator.
// Its length, or -1 when it does not fit (then as much of it as fits stands
// at `out`, terminated). Windows converts by the code page without best-fit
// substitutes: a character that the ANSI code page lacks becomes "?", which
// no file name can hold, so such a member fails to be created rather than
// being created under another name. The POSIX layer copies the bytes.
// last_os_error untouched.
int32_t archive_name_to_path(const uint8_t* name, uint32_t length, char* out, uint32_t room);
// Puts the file `from`, open as `file` (made by file_create, still open), in
// the place of `to` in one step: a file or a link of that name is replaced,
// never what the link leads to. Refused with OS_ACCESS_DENIED when `to` is a
// folder, a read-only file or a file in use (the archive being read among
// them). Windows renames through the handle (one request to Wine's server,
// where MoveFileExA opens and closes the file again); the POSIX layer renames
// `from`. 1 or 0. Clears; records.
int file_rename(FileHandle file, const char* from, const char* to);
