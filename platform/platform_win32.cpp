// The file layer on Windows: each operation is one KERNEL32 call with the
// exact access, share, disposition and flag values of the installer's
// contract. Linked into the stub, which has no C runtime: nothing here may call
// one, implicitly or not (no library functions, no struct copies large enough
// for the compiler to turn into memcpy).
#include <windows.h>

#include "platform/platform.h"

uint32_t last_os_error = 0;
FileHandle archive_file = INVALID_FILE;
uint32_t file_pos = 0;
uint64_t bytes_written = 0;

// Counts must stay representable in the int32_t results.
static const DWORD MAX_TRANSFER = 0x7FFFFFFF;

static HANDLE handle_of(FileHandle file) { return (HANDLE)file; }

static void record() { last_os_error = GetLastError(); }

void* mem_alloc(uint32_t size) { return (void*)LocalAlloc(LMEM_FIXED, size); }

void* mem_resize(void* block, uint32_t size) {
  // Size 0 would discard the block instead of resizing it; the caller would
  // then hold a stale pointer.
  return (void*)LocalReAlloc((HLOCAL)block, size ? size : 1, LMEM_MOVEABLE);
}

void mem_free(void* block) { LocalFree((HLOCAL)block); }

// CREATE_NEW only: a name that is taken is never opened, so nothing is
// written through a link or over a file that is to survive a failed
// replacement. (It also spares Wine's CREATE_ALWAYS, which truncates every file
// it opens, new or not, and file systems such as ext4 then write the
// truncated file out when it is closed.)
FileHandle file_create(const char* path, uint32_t attributes) {
  last_os_error = 0;
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                         attributes | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) record();
  return (FileHandle)h;
}

FileHandle file_open(const char* path, uint32_t access) {
  last_os_error = 0;
  DWORD share = access & GENERIC_WRITE ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE h = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) record();
  return (FileHandle)h;
}

int file_close(FileHandle file) {
  if (CloseHandle(handle_of(file))) return 1;
  if (last_os_error == 0) record();
  return 0;
}

int32_t file_read(FileHandle file, void* buffer, uint32_t count) {
  last_os_error = 0;
  if (count > MAX_TRANSFER) {
    last_os_error = ERROR_INVALID_PARAMETER;
    return -1;
  }
  DWORD got = 0;
  if (!ReadFile(handle_of(file), buffer, count, &got, nullptr)) {
    record();
    return -1;
  }
  return (int32_t)got;
}

int32_t file_write(FileHandle file, const void* buffer, uint32_t count) {
  last_os_error = 0;
  if (count > MAX_TRANSFER) {
    last_os_error = ERROR_INVALID_PARAMETER;
    return -1;
  }
  DWORD put = 0;
  if (!WriteFile(handle_of(file), buffer, count, &put, nullptr)) {
    DWORD error = GetLastError();
    last_os_error = error == ERROR_HANDLE_DISK_FULL ? ERROR_DISK_FULL : error;
    return -1;
  }
  if (put < count) {
    last_os_error = ERROR_DISK_FULL;
    return -1;
  }
  bytes_written += count;
  return (int32_t)count;
}

uint32_t file_seek(FileHandle file, uint32_t distance, int origin) {
  last_os_error = 0;
  // The high part extends the distance: with zeros from the start (an
  // unsigned position), with its sign otherwise. A new position past 32 bits
  // comes back with a high part of its own, and fails.
  LONG high = origin == SEEK_FROM_START ? 0 : (LONG)distance >> 31;
  DWORD pos = SetFilePointer(handle_of(file), (LONG)distance, &high, (DWORD)origin);
  if (pos == INVALID_SET_FILE_POINTER || high != 0) {
    record();
    return SEEK_FAILED;
  }
  return pos;
}

int32_t read_archive(void* buffer, uint32_t count) {
  int32_t got = file_read(archive_file, buffer, count);
  if (got != -1) file_pos += (uint32_t)got;
  return got;
}

// One DOS pair as a UTC file time in `out`, which is left as it is (0: the
// time is not set) for a date of 0 and for a pair that names no moment,
// rather than set from whatever an unconverted FILETIME holds.
static void utc_time_of(uint16_t date, uint16_t time, FILETIME* out) {
  FILETIME local;
  if (date != 0 && DosDateTimeToFileTime(date, time, &local)) LocalFileTimeToFileTime(&local, out);
}

int file_set_times(FileHandle file, uint16_t create_date, uint16_t create_time,
                   uint16_t write_date, uint16_t write_time, uint32_t attributes) {
  last_os_error = 0;
  // A time of 0 is left as it is, and so is the last-access time. Windows
  // reads attributes of 0 as "unchanged": FILE_ATTRIBUTE_NORMAL beside them
  // makes them replace the file's whatever they are, as SetFileAttributesA does.
  FILE_BASIC_INFO info = {};
  utc_time_of(create_date, create_time, (FILETIME*)&info.CreationTime);
  utc_time_of(write_date, write_time, (FILETIME*)&info.LastWriteTime);
  info.FileAttributes = attributes | FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(handle_of(file), FileBasicInfo, &info, sizeof(info))) {
    record();
    return 0;
  }
  return 1;
}

uint32_t file_get_attributes(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) record();
  return attributes;
}

int file_set_attributes(const char* path, uint32_t attributes) {
  last_os_error = 0;
  if (SetFileAttributesA(path, attributes)) return 1;
  record();
  return 0;
}

int file_delete(const char* path) {
  if (DeleteFileA(path)) return 1;
  record();
  return 0;
}

int folder_create(const char* path) {
  if (CreateDirectoryA(path, nullptr)) return 1;
  record();
  return 0;
}

uint32_t file_full_path(const char* path, char* out, uint32_t capacity) {
  // A result of capacity or more is the size needed, with nothing written.
  DWORD length = GetFullPathNameA(*path ? path : ".", capacity, out, nullptr);
  return length < capacity ? length : 0;
}

// The new name, in UTF-16 as the rename through a handle takes it; in the
// image's uninitialised data, and RootDirectory stays null: `to` is absolute.
static struct {
  FILE_RENAME_INFO info;
  WCHAR name[MAX_PATH];
} rename_to;

int file_rename(FileHandle file, const char*, const char* to) {
  last_os_error = 0;
  rename_to.info.ReplaceIfExists = TRUE;
  const int count = MultiByteToWideChar(CP_ACP, 0, to, -1, rename_to.info.FileName, MAX_PATH);
  rename_to.info.FileNameLength = (DWORD)(count - 1) * sizeof(WCHAR);
  if (SetFileInformationByHandle(handle_of(file), FileRenameInfo, &rename_to, sizeof(rename_to)))
    return 1;
  record();
  return 0;
}

int32_t archive_name_to_path(const uint8_t* name, uint32_t length, char* out, uint32_t room) {
  // No name longer than `room` bytes can fit: more of it is not converted.
  const uint32_t taken = length < room ? length : room;
  WCHAR wide[MAX_PATH];
  const int count = MultiByteToWideChar(1252, 0, (const char*)name, (int)taken, wide, MAX_PATH);
  // A code page other than UTF-8 must not substitute a look-alike; UTF-8
  // refuses that flag (and has every character).
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, out, (int)room, nullptr, nullptr);
  if (!n) n = WideCharToMultiByte(CP_ACP, 0, wide, count, out, (int)room, nullptr, nullptr);
  // Where it did not fit, the buffer holds as much as fit.
  out[n || !taken ? n : room] = 0;
  return (!n && taken) || taken < length ? -1 : n;
}
