#include "shell/safe_name.h"

namespace {

bool is_separator(uint8_t c) { return c == '\\' || c == '/'; }

// [start, end) is one component: only dots and spaces, with two dots or more.
bool climbs(const uint8_t* start, const uint8_t* end) {
  uint32_t dots = 0;
  for (const uint8_t* p = start; p < end; p++) {
    if (*p == '.') {
      dots++;
    } else if (*p != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

int name_stays_inside(const uint8_t* name, uint32_t len) {
  if (len > 0 && is_separator(name[0])) return 0;
  const uint8_t* component = name;
  for (uint32_t i = 0; i <= len; i++) {
    if (i < len && (name[i] == ':' || name[i] == 0)) return 0;
    if (i == len || is_separator(name[i])) {
      if (climbs(component, name + i)) return 0;
      component = name + i + 1;
    }
  }
  return 1;
}
