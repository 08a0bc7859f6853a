#include "file_times.h"

#ifdef _WIN32
#include <windows.h>

namespace {
int64_t as_int(const FILETIME& t) { return ((int64_t)t.dwHighDateTime << 32) | t.dwLowDateTime; }

bool times_of(const std::string& path, FILETIME* created, FILETIME* accessed, FILETIME* written) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL ok = GetFileTime(h, created, accessed, written);
  CloseHandle(h);
  return ok;
}

bool as_dos(const FILETIME& utc, uint16_t* date, uint16_t* time) {
  FILETIME local;
  WORD d, t;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &d, &t)) return false;
  *date = d;
  *time = t;
  return true;
}
}  // namespace

FileTimes file_times(const std::string& path) {
  FILETIME c, a, w;
  if (!times_of(path, &c, &a, &w)) return FileTimes{false, 0, 0, 0};
  return FileTimes{true, as_int(c), as_int(a), as_int(w)};
}

bool written_as_dos(const std::string& path, uint16_t* date, uint16_t* time) {
  FILETIME c, a, w;
  return times_of(path, &c, &a, &w) && as_dos(w, date, time);
}

bool created_as_dos(const std::string& path, uint16_t* date, uint16_t* time) {
  FILETIME c, a, w;
  return times_of(path, &c, &a, &w) && as_dos(c, date, time);
}

#else
#include <sys/stat.h>
#include <time.h>

FileTimes file_times(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return FileTimes{false, 0, 0, 0};
  return FileTimes{true, 0, st.st_atim.tv_sec * 1000000000LL + st.st_atim.tv_nsec,
                   st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

bool written_as_dos(const std::string& path, uint16_t* date, uint16_t* time) {
  struct stat st;
  struct tm tm;
  if (stat(path.c_str(), &st) != 0 || !localtime_r(&st.st_mtime, &tm)) return false;
  *date = (uint16_t)(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  *time = (uint16_t)((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  return true;
}

bool created_as_dos(const std::string&, uint16_t*, uint16_t*) { return false; }
#endif
