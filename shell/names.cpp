#include "shell/names.h"

#include "platform/platform.h"
#include "shell/stub_config.h"

// ---- 8.3 names ----

namespace {

// True when c is one of `set` (a NUL-terminated text; c is never 0 here).
bool in_set(const char* set, char c) {
  for (; *set; set++) {
    if (*set == c) return true;
  }
  return false;
}

constexpr int NAME_PART_MAX = 8;
constexpr int EXTENSION_MAX = 4;  // the dot and up to three characters

}  // namespace

char* shorten_component(char* out, const char* start, const char* end) {
  const char* dot = 0;
  for (const char* p = end; p > start;) {
    if (*--p == '.') {
      dot = p;
      break;
    }
  }
  const char* name_end = dot ? dot : end;
  // Name part: drops all ten characters of the set. Extension: drops all but
  // the dot (the set read from its second character), so the dot comes first.
  // Each input byte yields at most one output byte, so out never passes the
  // byte being read and the conversion works in place.
  const char* all = stub_config.invalid_name_chars;
  int copied = 0;
  for (const char* p = start; p < name_end && copied < NAME_PART_MAX; p++) {
    if (!in_set(all, *p)) {
      *out++ = *p;
      copied++;
    }
  }
  if (dot) {
    copied = 0;
    for (const char* p = dot; p < end && copied < EXTENSION_MAX; p++) {
      if (!in_set(all + 1, *p)) {
        *out++ = *p;
        copied++;
      }
    }
  }
  return out;
}

void shorten_path(char* path) {
  if (!stub_config.short_names) return;
  // A path not terminated within its first 260 bytes is left as it is: no
  // caller produces one, and nothing past that bound is ever read or written.
  char* end = (char*)mem_find((const uint8_t*)path, 0, PATH_BUFFER_SIZE);
  if (!end) return;
  char* s = path;
  const char* colon = str_find(path, ':');
  if (colon) s = (char*)colon + 1;
  while (*s == '\\') s++;
  const char* last_separator = str_find_last(s, '\\');
  const char* final_start = last_separator ? last_separator + 1 : s;
  char* out = s;
  const char* read = s;
  while (read < final_start) {
    const char* component_end = str_find(read, '\\');
    out = shorten_component(out, read, component_end);
    *out++ = '\\';
    read = component_end + 1;
  }
  out = shorten_component(out, final_start, end);
  *out = 0;
}

// ---- folders ----

int create_folder_path(char* path, char* from, int mode) {
  if (!from) {
    // After the root: after the separator that follows a drive ("C:\") or
    // stands alone ("\"), after the fourth of a share ("\\server\share\").
    int separators = path[0] == '\\' ? (path[1] == '\\' ? 4 : 1) : path[1] == ':';
    for (from = path; separators > 0 && *from; from++) separators -= *from == '\\';
  }
  for (char* p = from;; p++) {
    char c = *p;
    if (c == '\\' || c == '/' || (c == 0 && (mode & FOLDER_LAST) && p != from)) {
      *p = 0;
      uint32_t attributes = file_get_attributes(path);
      int made = attributes == NO_ATTRIBUTES ? folder_create(path)
                 : !(attributes & ATTR_REPARSE_POINT) || (mode & FOLDER_THROUGH_LINKS);
      *p = c;
      if (!made) {
        if (attributes != NO_ATTRIBUTES) last_os_error = OS_ACCESS_DENIED;
        return 0;
      }
    }
    if (c == 0) return 1;
  }
}
