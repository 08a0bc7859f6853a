// The file layer on POSIX (Linux): the host tool and the tests.
//
// It keeps the Windows contract of platform.h, so that the shared archive code
// behaves here as in the stub:
// - Paths are Windows-1252 bytes with backslashes; each is turned into a UTF-8
//   path with slashes before it reaches the OS. There are no drive letters: "C:"
//   is an ordinary name. A path that does not fit the host's limit fails with 206.
// - Failures record the Windows code for the errno (errno_map.h), with the
//   distinctions Windows makes: a missing name in an existing folder is 2, a
//   missing folder on the way is 3; an existing folder for folder_create is 183;
//   a seek before the start of the file is 131.
// - The read-only attribute is the absence of write permission bits, and it is
//   honoured as Windows honours it, also for root, who could write regardless:
//   a read-only file cannot be replaced by file_rename, opened for writing or
//   deleted (5). A folder is never read-only here (see file_set_attributes).
// - A symbolic link is what Windows calls a reparse point: never followed as
//   the last component of a path. file_rename refuses, as Windows does, to
//   replace what is neither a file nor a link (a folder, a FIFO, a device),
//   and the file open as archive_file (by device and inode), which Windows
//   keeps from being replaced while the installer runs.
// - Share modes have no POSIX meaning: nothing stops other processes, and the
//   Windows sharing rules are not imitated. The sequential and random-access
//   hints become posix_fadvise advice.
// - Handles are descriptors, opened close-on-exec.
// Every operation passes a fault point first (fault.h) so that tests can make it
// fail as the OS would.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cp1252.h"
#include "platform/dos_time.h"
#include "platform/errno_map.h"
#include "platform/fault.h"
#include "platform/interrupt.h"
#include "platform/platform.h"

uint32_t last_os_error = 0;
FileHandle archive_file = INVALID_FILE;
uint32_t file_pos = 0;
uint64_t bytes_written = 0;
volatile sig_atomic_t file_interrupted = 0;

namespace {

constexpr size_t HOST_PATH_SIZE = 4096;  // PATH_MAX on Linux
constexpr mode_t WRITE_BITS = S_IWUSR | S_IWGRP | S_IWOTH;
// Counts must stay representable in the int32_t results.
constexpr uint32_t MAX_TRANSFER = 0x7FFFFFFF;

// Whether a call that failed with `err` is to be made again (interrupt.h).
bool resume_after(int err) {
  if (err != EINTR) return false;
  if (!file_interrupted) return true;
  errno = ECANCELED;
  return false;
}

// The host form of a path: backslashes as slashes, UTF-8. False (with 206
// recorded) when it does not fit.
bool host_path(const char* path, char* out) {
  char slashed[HOST_PATH_SIZE];
  size_t n = 0;
  for (const char* p = path ? path : ""; *p; p++) {
    if (n + 1 >= sizeof(slashed)) {
      last_os_error = OS_FILENAME_EXCED_RANGE;
      return false;
    }
    slashed[n++] = *p == '\\' ? '/' : *p;
  }
  slashed[n] = 0;
  if (!cp1252_to_utf8(slashed, out, HOST_PATH_SIZE)) {
    last_os_error = OS_FILENAME_EXCED_RANGE;
    return false;
  }
  return true;
}

// Windows tells a missing file (2) from a missing folder on the way to it (3);
// ENOENT does not. The parent folder decides.
uint32_t missing_path_error(const char* host) {
  const char* slash = strrchr(host, '/');
  if (!host[0]) return OS_PATH_NOT_FOUND;
  if (!slash) return OS_FILE_NOT_FOUND;  // in the current folder, which exists
  char parent[HOST_PATH_SIZE];
  size_t len = slash == host ? 1 : (size_t)(slash - host);
  memcpy(parent, host, len);
  parent[len] = 0;
  struct stat st;
  return stat(parent, &st) == 0 && S_ISDIR(st.st_mode) ? OS_FILE_NOT_FOUND : OS_PATH_NOT_FOUND;
}

// Records the failure of a call on `host` (null for descriptor calls).
void record_errno(int err, const char* host) {
  last_os_error = err == ENOENT && host ? missing_path_error(host) : windows_error_of(err);
}

// The descriptor of a handle; one that cannot be a descriptor becomes -1, which
// every call refuses with EBADF.
int fd_of(FileHandle file) { return file >= 0 && file <= INT32_MAX ? (int)file : -1; }

// Records the failure of a call on a descriptor. EBADF also means "open, but
// not for this direction", which Windows reports as access denied.
void record_descriptor_errno(int err, int fd) {
  last_os_error = err == EBADF && fcntl(fd, F_GETFD) != -1 ? OS_ACCESS_DENIED : windows_error_of(err);
}

bool is_read_only_file(const struct stat& st) {
  return S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

}  // namespace

void* mem_alloc(uint32_t size) {
  uint32_t ignored;
  if (fault_point(FAULT_ALLOC, &ignored) != FAULT_NONE) return nullptr;
  return malloc(size ? size : 1);  // like LocalAlloc, a usable block even for 0
}

void* mem_resize(void* block, uint32_t size) {
  uint32_t ignored;
  if (fault_point(FAULT_ALLOC, &ignored) != FAULT_NONE) return nullptr;
  // LocalReAlloc has no block to resize in null; realloc(p, 0) would free p
  // while the caller keeps it as still valid.
  if (!block) return nullptr;
  return realloc(block, size ? size : 1);
}

void mem_free(void* block) { free(block); }

FileHandle file_create(const char* path, uint32_t attributes) {
  last_os_error = 0;
  uint32_t injected;
  if (fault_point(FAULT_CREATE, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return INVALID_FILE;
  }
  char host[HOST_PATH_SIZE];
  if (!host_path(path, host)) return INVALID_FILE;
  mode_t mode = attributes & ATTR_READONLY ? 0444 : 0666;
  // O_EXCL: a taken name fails (EEXIST, 80), a link included, dangling or not.
  int fd = open(host, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) {
    record_errno(errno, host);
    return INVALID_FILE;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

FileHandle file_open(const char* path, uint32_t access) {
  last_os_error = 0;
  uint32_t injected;
  if (fault_point(FAULT_OPEN, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return INVALID_FILE;
  }
  char host[HOST_PATH_SIZE];
  if (!host_path(path, host)) return INVALID_FILE;
  bool write = access & ACCESS_WRITE;
  // Access 0 (attributes only, on Windows) is opened for reading.
  int flags = write ? (access & ACCESS_READ ? O_RDWR : O_WRONLY) : O_RDONLY;
  // O_NONBLOCK only for the open itself: a FIFO without a writer would
  // otherwise hold the open forever (its reads then find the end at once).
  int fd = open(host, flags | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    record_errno(errno, host);
    return INVALID_FILE;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  struct stat st;
  // Windows opens no folder as a file, and no read-only file for writing.
  if (fstat(fd, &st) == 0 && (S_ISDIR(st.st_mode) || (write && is_read_only_file(st)))) {
    close(fd);
    last_os_error = OS_ACCESS_DENIED;
    return INVALID_FILE;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  return fd;
}

int file_close(FileHandle file) {
  uint32_t injected;
  uint32_t error = 0;
  if (fault_point(FAULT_CLOSE, &injected) != FAULT_NONE) {
    close(fd_of(file));  // the descriptor is released all the same: no leak in tests
    error = injected;
  } else if (close(fd_of(file)) != 0) {
    // After EINTR the descriptor is gone on Linux; closing again could hit
    // another file's reused descriptor.
    error = windows_error_of(errno);
  } else {
    return 1;
  }
  if (last_os_error == 0) last_os_error = error;
  return 0;
}

int32_t file_read(FileHandle file, void* buffer, uint32_t count) {
  last_os_error = 0;
  uint32_t injected;
  if (fault_point(FAULT_READ, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return -1;
  }
  if (count > MAX_TRANSFER) {
    last_os_error = OS_INVALID_PARAMETER;
    return -1;
  }
  // ReadFile on a file returns fewer bytes only at its end; read() may stop
  // early (signals, pipes), so keep going until the count or the end.
  uint32_t done = 0;
  while (done < count) {
    ssize_t got = read(fd_of(file), (char*)buffer + done, count - done);
    if (got < 0) {
      if (resume_after(errno)) continue;
      record_descriptor_errno(errno, fd_of(file));
      return -1;
    }
    if (got == 0) break;
    done += (uint32_t)got;
  }
  return (int32_t)done;
}

int32_t file_write(FileHandle file, const void* buffer, uint32_t count) {
  last_os_error = 0;
  uint32_t injected = 0;
  FaultAction fault = fault_point(FAULT_WRITE, &injected);
  uint32_t error = 0;
  uint32_t done = 0;
  if (fault == FAULT_FAIL) {
    error = injected;
  } else if (count > MAX_TRANSFER) {
    error = OS_INVALID_PARAMETER;
  } else {
    // An injected short write really stores only the first half.
    uint32_t want = fault == FAULT_SHORT ? count / 2 : count;
    while (done < want) {
      ssize_t put = write(fd_of(file), (const char*)buffer + done, want - done);
      if (put < 0 && resume_after(errno)) continue;
      if (put < 0) {
        record_descriptor_errno(errno, fd_of(file));
        error = last_os_error;
        break;
      }
      if (put == 0) break;  // nothing stored and no reason given: a short write
      done += (uint32_t)put;
    }
  }
  if (error) {
    last_os_error = error == OS_HANDLE_DISK_FULL ? OS_DISK_FULL : error;
    return -1;
  }
  if (done < count) {
    last_os_error = OS_DISK_FULL;
    return -1;
  }
  bytes_written += count;
  return (int32_t)count;
}

uint32_t file_seek(FileHandle file, uint32_t distance, int origin) {
  last_os_error = 0;
  uint32_t injected;
  if (fault_point(FAULT_SEEK, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return SEEK_FAILED;
  }
  static const int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < 0 || origin > 2) {
    last_os_error = OS_INVALID_PARAMETER;
    return SEEK_FAILED;
  }
  off_t offset = origin == SEEK_FROM_START ? (off_t)distance : (off_t)(int32_t)distance;
  off_t pos = lseek(fd_of(file), offset, kWhence[origin]);
  if (pos < 0) {
    // lseek's EINVAL here is a target before the start of the file.
    last_os_error = errno == EINVAL ? OS_NEGATIVE_SEEK : windows_error_of(errno);
    return SEEK_FAILED;
  }
  if ((uint64_t)pos >= SEEK_FAILED) {
    // Beyond what a 32-bit position can say (and beyond the format).
    last_os_error = OS_INVALID_PARAMETER;
    return SEEK_FAILED;
  }
  return (uint32_t)pos;
}

int32_t read_archive(void* buffer, uint32_t count) {
  int32_t got = file_read(archive_file, buffer, count);
  if (got != -1) file_pos += (uint32_t)got;
  return got;
}

// The creation time cannot be set on Linux (no file system call sets a birth
// time), so the first pair is ignored. A pair whose date is 0 leaves its time
// alone; so does a pair that names no moment (dos_to_time refuses it), rather
// than setting a time nobody chose. The last-access time is never changed.
int file_set_times(FileHandle file, uint16_t create_date, uint16_t create_time,
                   uint16_t write_date, uint16_t write_time, uint32_t attributes) {
  (void)create_date;
  (void)create_time;
  last_os_error = 0;
  uint32_t injected;
  if (fault_point(FAULT_SET_TIMES, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return 0;
  }
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = times[0];
  time_t t;
  if (write_date != 0 && dos_to_time(write_date, write_time, &t)) {
    times[1].tv_sec = t;
    times[1].tv_nsec = 0;
  }
  // With nothing to set, futimens succeeds without looking at the descriptor;
  // fstat, needed for the attributes anyway, rejects a bad handle as Windows
  // does.
  struct stat st;
  int rc = times[1].tv_nsec == UTIME_OMIT ? 0 : futimens(fd_of(file), times);
  if (rc == 0) rc = fstat(fd_of(file), &st);
  // The attributes as file_set_attributes sets them on a file.
  if (rc == 0 && S_ISREG(st.st_mode)) {
    mode_t mode = st.st_mode & 07777;
    mode = attributes & ATTR_READONLY ? mode & ~WRITE_BITS : mode | S_IWUSR;
    if (mode != (st.st_mode & 07777)) rc = fchmod(fd_of(file), mode);
  }
  if (rc != 0) {
    record_descriptor_errno(errno, fd_of(file));
    return 0;
  }
  return 1;
}

// Folders report 0x10 alone; files 0x20 (the archive bit, which Windows shows
// on every file written since its last backup) and 0x01 when the owner has no
// write permission; a symbolic link 0x400, with 0x10 when it leads to a
// folder. Anything else (a FIFO, a device) reports as a file.
uint32_t file_get_attributes(const char* path) {
  uint32_t injected;
  if (fault_point(FAULT_GET_ATTRIBUTES, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return NO_ATTRIBUTES;
  }
  char host[HOST_PATH_SIZE];
  if (!host_path(path, host)) return NO_ATTRIBUTES;
  struct stat st;
  if (lstat(host, &st) != 0) {
    record_errno(errno, host);
    return NO_ATTRIBUTES;
  }
  if (S_ISLNK(st.st_mode)) {
    return ATTR_REPARSE_POINT | (stat(host, &st) == 0 && S_ISDIR(st.st_mode) ? ATTR_DIRECTORY : 0);
  }
  if (S_ISDIR(st.st_mode)) return ATTR_DIRECTORY;
  return ATTR_ARCHIVE | (st.st_mode & S_IWUSR ? 0 : ATTR_READONLY);
}

// Read-only clears every write bit of a file; its absence gives the owner write
// permission back (group and others keep what they had). Folders are left
// alone: on Windows their read-only bit does not stop anyone from creating files
// in them, while removing write permission here would. So are links, which
// have no permissions of their own. Hidden, system and the other bits have no
// POSIX meaning and are ignored.
int file_set_attributes(const char* path, uint32_t attributes) {
  last_os_error = 0;
  uint32_t injected;
  if (fault_point(FAULT_SET_ATTRIBUTES, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return 0;
  }
  char host[HOST_PATH_SIZE];
  if (!host_path(path, host)) return 0;
  struct stat st;
  if (lstat(host, &st) != 0) {
    record_errno(errno, host);
    return 0;
  }
  if (S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)) return 1;
  mode_t mode = st.st_mode & 07777;
  mode = attributes & ATTR_READONLY ? mode & ~WRITE_BITS : mode | S_IWUSR;
  if (mode != (st.st_mode & 07777) && chmod(host, mode) != 0) {
    record_errno(errno, host);
    return 0;
  }
  return 1;
}

int file_delete(const char* path) {
  uint32_t injected;
  if (fault_point(FAULT_DELETE, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return 0;
  }
  char host[HOST_PATH_SIZE];
  if (!host_path(path, host)) return 0;
  struct stat st;
  // Windows deletes neither a folder nor a read-only file this way.
  if (lstat(host, &st) == 0 && (S_ISDIR(st.st_mode) || is_read_only_file(st))) {
    last_os_error = OS_ACCESS_DENIED;
    return 0;
  }
  if (unlink(host) != 0) {
    record_errno(errno, host);
    return 0;
  }
  return 1;
}

int folder_create(const char* path) {
  uint32_t injected;
  if (fault_point(FAULT_FOLDER_CREATE, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return 0;
  }
  char host[HOST_PATH_SIZE];
  if (!host_path(path, host)) return 0;
  if (mkdir(host, 0777) != 0) {
    int err = errno;
    // As CreateDirectoryA: 183 for any existing name, 3 for a missing parent.
    last_os_error = err == EEXIST ? OS_ALREADY_EXISTS
                  : err == ENOENT ? OS_PATH_NOT_FOUND
                                  : windows_error_of(err);
    return 0;
  }
  return 1;
}

uint32_t file_full_path(const char* path, char* out, uint32_t capacity) {
  if (!*path) path = ".";
  size_t length = strlen(path);
  if (length >= capacity) return 0;
  memcpy(out, path, length + 1);
  return (uint32_t)length;
}

int file_rename(FileHandle, const char* from, const char* to) {
  last_os_error = 0;
  uint32_t injected;
  if (fault_point(FAULT_RENAME, &injected) != FAULT_NONE) {
    last_os_error = injected;
    return 0;
  }
  char host_from[HOST_PATH_SIZE];
  char host_to[HOST_PATH_SIZE];
  if (!host_path(from, host_from) || !host_path(to, host_to)) return 0;
  struct stat st;
  if (lstat(host_to, &st) == 0 && !S_ISLNK(st.st_mode)) {
    struct stat archive;
    bool in_use = fstat(fd_of(archive_file), &archive) == 0 && archive.st_dev == st.st_dev &&
                  archive.st_ino == st.st_ino;
    if (!S_ISREG(st.st_mode) || is_read_only_file(st) || in_use) {
      last_os_error = OS_ACCESS_DENIED;
      return 0;
    }
  }
  if (rename(host_from, host_to) != 0) {
    record_errno(errno, host_to);
    return 0;
  }
  return 1;
}

int32_t archive_name_to_path(const uint8_t* name, uint32_t length, char* out, uint32_t room) {
  const uint32_t fits = length < room ? length : room;
  memcpy(out, name, fits);
  out[fits] = 0;
  return fits < length ? -1 : (int32_t)fits;
}
