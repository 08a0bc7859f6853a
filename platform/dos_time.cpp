#include "platform/dos_time.h"

static bool leap_year(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

static int days_in_month(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap_year(year) ? 29 : kDays[month - 1];
}

bool dos_to_time(uint16_t date, uint16_t time, time_t* out) {
  int year = 1980 + (date >> 9);
  int month = (date >> 5) & 0x0F;
  int day = date & 0x1F;
  int hour = time >> 11;
  int minute = (time >> 5) & 0x3F;
  int second = (time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return false;
  if (hour > 23 || minute > 59 || second > 58) return false;
  struct tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;  // let the zone's rules decide, as the OS conversion does
  time_t t = mktime(&tm);
  if (t == (time_t)-1) return false;  // -1 is 1969, before any DOS date: a failure
  *out = t;
  return true;
}

void time_to_dos(time_t t, uint16_t* date, uint16_t* time, bool* clamped) {
  struct tm tm;
  bool ok = localtime_r(&t, &tm) != nullptr;
  bool low = ok ? tm.tm_year + 1900 < 1980 : t < 0;
  bool high = ok ? tm.tm_year + 1900 > 2107 : t > 0;
  if (clamped) *clamped = low || high;
  if (low) {
    *date = DOS_DATE_MIN;
    *time = 0;
  } else if (high) {
    *date = DOS_DATE_MAX;
    *time = DOS_TIME_MAX;
  } else {
    *date = (uint16_t)(((tm.tm_year + 1900 - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    // tm_sec can be 60 on a leap second; 59 is the last a DOS time can hold.
    int second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    *time = (uint16_t)((tm.tm_hour << 11) | (tm.tm_min << 5) | (second / 2));
  }
}
