#pragma once
// DOS dates and times <-> time_t. Host only.
//
// A DOS date/time pair is local time with two-second resolution:
//   date: bits 9-15 years since 1980, bits 5-8 month (1-12), bits 0-4 day (1-31)
//   time: bits 11-15 hours, bits 5-10 minutes, bits 0-4 seconds divided by two
// so it spans 1980-01-01 00:00:00 to 2107-12-31 23:59:58. The conversions use
// the process's local time zone (TZ) with the daylight-saving rule in force at
// the date converted. (The stub's LocalFileTimeToFileTime applies the offset in
// force when it runs instead, so for dates in the other season the two differ
// by the daylight-saving hour.)
#include <stdint.h>
#include <time.h>

constexpr uint16_t DOS_DATE_MIN = (0 << 9) | (1 << 5) | 1;      // 1980-01-01
constexpr uint16_t DOS_DATE_MAX = (127 << 9) | (12 << 5) | 31;  // 2107-12-31
constexpr uint16_t DOS_TIME_MAX = (23 << 11) | (59 << 5) | 29;  // 23:59:58

// The moment of a DOS pair. False, with *out unchanged, for a pair that names
// no moment: month 0 or above 12, day 0 or past the month's end (0 is among
// these, so the date 0 is never converted), hour above 23, minute above 59, or
// a seconds field above 29. A local time that a daylight-saving change skips
// is taken as mktime normalises it.
bool dos_to_time(uint16_t date, uint16_t time, time_t* out);

// The DOS pair of a moment, rounded down to even seconds. A moment before
// 1980-01-01 00:00:00 local time gives that first moment, one after
// 2107-12-31 23:59:58 gives that last moment, and *clamped (when not null) then
// says so, so that a caller can warn; otherwise *clamped is false.
void time_to_dos(time_t t, uint16_t* date, uint16_t* time, bool* clamped);
