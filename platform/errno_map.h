#pragma once
// errno -> the Windows error code that the installer's message table
// understands. Host only; used by platform_posix.cpp.
//
// The codes are those Windows itself reports for the same condition, so that
// the host tool and the stub show the same second message line:
//   ENOENT 2 (the caller turns it into 3 when a folder on the way is missing),
//   ENOTDIR 3, EACCES EPERM EISDIR ETXTBSY 5, EBADF 6, ENOMEM 8, EROFS 19,
//   ENXIO ENODEV 21 (device not ready), EIO 31, EBUSY 32 (in use),
//   ENOSPC EDQUOT 112, EEXIST 80 (mkdir's caller makes it 183),
//   EINVAL 87 (lseek's caller makes it 131), ESPIPE 132 (seek on a device),
//   ENOTEMPTY 145, ENAMETOOLONG 206, ELOOP 1921 (the name cannot be resolved),
//   EMFILE ENFILE 4 (too many open files), EFBIG 223 (file too large),
//   ENOSYS EOPNOTSUPP 1 (invalid function),
//   network and remote-file-system errors (ENETDOWN, ENETUNREACH, ETIMEDOUT,
//   ECONNRESET, EHOSTUNREACH, ESTALE, EREMOTEIO, ENOLINK) 59, which the message
//   table shows as "Network error".
// Anything else is 31 (ERROR_GEN_FAILURE, "General failure"): a failure is
// never recorded as 0, the code that means "no error".
#include <stdint.h>

uint32_t windows_error_of(int errno_value);
