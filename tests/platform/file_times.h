#pragma once
// Reading a file's times straight from the OS, to check what the file layer set.
#include <stdint.h>

#include <string>

struct FileTimes {
  bool ok;
  int64_t created;   // Windows only (0 elsewhere): no POSIX call reads a birth time portably
  int64_t accessed;
  int64_t written;
};

// The times of the file at `native_path`, in the OS's own units.
FileTimes file_times(const std::string& native_path);
// The last-write time as a local DOS pair, converted back by the OS's own
// inverse functions (or localtime on POSIX): the round trip of file_set_times.
bool written_as_dos(const std::string& native_path, uint16_t* date, uint16_t* time);
// The same for the creation time (Windows only; false elsewhere).
bool created_as_dos(const std::string& native_path, uint16_t* date, uint16_t* time);
