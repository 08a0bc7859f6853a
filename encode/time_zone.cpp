#include "encode/time_zone.h"

#include <ctype.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

namespace qev {

std::string check_time_zone(const std::string& zone) {
  const std::string unknown = "unknown time zone '" + zone + "'";
  if (zone.empty()) return unknown;
  std::string name = zone[0] == ':' ? zone.substr(1) : zone;
  // A POSIX rule: a name of three or more letters (or one in <>), then the offset.
  size_t i = 0;
  if (!name.empty() && name[0] == '<') {
    i = name.find('>');
    i = i == std::string::npos ? name.size() : i + 1;
  } else {
    while (i < name.size() && isalpha((unsigned char)name[i])) i++;
    if (i < 3) i = name.size();
  }
  if (i < name.size() && (isdigit((unsigned char)name[i]) || name[i] == '+' || name[i] == '-')) return "";
  // A name of the database: a file under TZDIR (or the usual place), which
  // the name must not climb out of.
  if (name.empty() || name[0] == '/' || name.find("..") != std::string::npos) return unknown;
  const char* dir = getenv("TZDIR");
  std::string path = std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + "/" + name;
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return unknown;
  return "";
}

TimeZoneScope::TimeZoneScope(const std::string& zone) {
  if (zone.empty()) return;
  const char* old = getenv("TZ");
  had_ = old != nullptr;
  if (had_) previous_ = old;
  setenv("TZ", zone.c_str(), 1);
  tzset();
  set_ = true;
}

TimeZoneScope::~TimeZoneScope() {
  if (!set_) return;
  if (had_) {
    setenv("TZ", previous_.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace qev
