#pragma once
// The zone in which a pack writes its DOS times, which are local times: the
// same tree gives the same bytes only under the same zone.
//
// A zone is a TZ value: a name of the time zone database ("UTC",
// "Europe/Berlin", "America/New_York") or a POSIX rule ("CET-1CEST,M3.5.0,
// M10.5.0/3"). While a TimeZoneScope lives, the process's local time is that
// zone (TZ is set and re-read); it is put back when the scope ends. The
// conversions of platform/dos_time.h then use it.
#include <string>

namespace qev {

// "" when `zone` names a zone, else why not: the C library takes any text as
// TZ and falls back to UTC without a word, so an unknown name is refused here.
std::string check_time_zone(const std::string& zone);

class TimeZoneScope {
 public:
  explicit TimeZoneScope(const std::string& zone);  // "" changes nothing
  ~TimeZoneScope();
  TimeZoneScope(const TimeZoneScope&) = delete;
  TimeZoneScope& operator=(const TimeZoneScope&) = delete;

 private:
  bool set_ = false;
  bool had_ = false;
  std::string previous_;
};

}  // namespace qev
