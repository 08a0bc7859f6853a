#include "platform/errno_map.h"

#include <errno.h>

#include "platform/platform.h"

uint32_t windows_error_of(int errno_value) {
  switch (errno_value) {
    case ENOENT: return OS_FILE_NOT_FOUND;
    case ENOTDIR: return OS_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY: return OS_ACCESS_DENIED;
    case EBADF: return OS_INVALID_HANDLE;
    case ENOMEM: return OS_NOT_ENOUGH_MEMORY;
    case EROFS: return OS_WRITE_PROTECT;
    case ENXIO:
    case ENODEV: return 21;   // ERROR_NOT_READY
    case EIO: return OS_GEN_FAILURE;
    case EBUSY: return 32;    // ERROR_SHARING_VIOLATION
    case ENOSPC:
    case EDQUOT: return OS_DISK_FULL;
    case EEXIST: return OS_FILE_EXISTS;
    case EINVAL: return OS_INVALID_PARAMETER;
    case ESPIPE: return 132;  // ERROR_SEEK_ON_DEVICE
    case ENOTEMPTY: return 145;  // ERROR_DIR_NOT_EMPTY
    case ENAMETOOLONG: return OS_FILENAME_EXCED_RANGE;
    case ELOOP: return 1921;  // ERROR_CANT_RESOLVE_FILENAME
    case ECANCELED: return 995;  // ERROR_OPERATION_ABORTED
    case EMFILE:
    case ENFILE: return 4;    // ERROR_TOO_MANY_OPEN_FILES
    case EFBIG: return 223;   // ERROR_FILE_TOO_LARGE
    case ENOSYS:
    case EOPNOTSUPP: return 1;  // ERROR_INVALID_FUNCTION
    case ENETDOWN:
    case ENETUNREACH:
    case ETIMEDOUT:
    case ECONNRESET:
    case EHOSTUNREACH:
    case ESTALE:
    case EREMOTEIO:
    case ENOLINK: return 59;  // ERROR_UNEXP_NET_ERR
    default: return OS_GEN_FAILURE;
  }
}
