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

// Up to eight characters packed into an integer, the first in the low byte.
constexpr uint64_t packed(const char* s, int n = 0) {
  return *s ? (uint64_t)(uint8_t)*s << (8 * n) | packed(s + 1, n + 1) : 0;
}

// The device names, in lower case; 0x01 stands for a digit 0-9 or one of the
// superscripts 1, 2, 3 of Windows-1252 (0xB9, 0xB2, 0xB3). No byte with bit 5
// set, as the names are compared, is 0x01.
const uint64_t kDevices[] = {packed("con"),    packed("prn"),    packed("aux"),
                             packed("nul"),    packed("com\x01"), packed("lpt\x01"),
                             packed("conin$"), packed("conout$")};

}  // namespace

int names_device(const uint8_t* start, const uint8_t* end) {
  // The part before the first dot, packed. Spaces may only end it (Windows
  // drops them there); no device name holds one. Setting bit 5 lowers the
  // case of a letter and keeps every other character that a device name
  // holds (digits, '$', the superscripts), nor makes any other a letter.
  uint64_t key = 0;
  uint32_t shift = 0;
  bool spaces = false;
  for (const uint8_t* p = start; p < end && *p != '.'; p++) {
    if (*p == ' ') {
      spaces = true;
      continue;
    }
    if (spaces || shift == 64) return 0;
    key |= (uint64_t)(*p | 0x20) << shift;
    shift += 8;
  }
  const uint8_t fourth = (uint8_t)(key >> 24);
  if (shift == 32 && ((uint8_t)(fourth - '0') < 10 || fourth == 0xB9 || (uint8_t)(fourth - 0xB2) < 2)) {
    key = (key & 0xFFFFFF) | (uint64_t)1 << 24;
  }
  for (uint64_t device : kDevices) {
    if (key == device) return 1;
  }
  return 0;
}

int name_refusal(const uint8_t* name, uint32_t len) {
  if (len == 0 || is_separator(name[0])) return NAME_LEAVES;
  const uint8_t* component = name;
  for (uint32_t i = 0; i <= len; i++) {
    if (i < len && name[i] < 0x20) return NAME_CONTROL;
    if (i < len && name[i] == ':') return NAME_LEAVES;
    if (i == len || is_separator(name[i])) {
      if (climbs(component, name + i)) return NAME_LEAVES;
      if (names_device(component, name + i)) return NAME_DEVICE;
      component = name + i + 1;
    }
  }
  return NAME_OK;
}
