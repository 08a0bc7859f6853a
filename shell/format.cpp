#include "shell/format.h"

size_t format_message(char* out, size_t capacity, const char* format, const char* arg1,
                      const char* arg2) {
  if (capacity == 0) return 0;
  // Room for characters; the last byte is kept for the terminator.
  const size_t room = capacity - 1;
  const char* args[2] = {arg1, arg2};
  int next_arg = 0;
  size_t n = 0;
  for (const char* f = format; *f && n < room; f++) {
    if (*f != '%' || f[1] == 0) {
      out[n++] = *f;
      continue;
    }
    f++;
    if (*f == 's' || *f == 'c') {
      const char* arg = next_arg < 2 ? args[next_arg] : 0;
      next_arg++;
      if (!arg) continue;
      if (*f == 'c') {
        if (*arg) out[n++] = *arg;  // a NUL character would end the text early
        continue;
      }
      while (*arg && n < room) out[n++] = *arg++;
    } else {
      // "%%" and anything unknown: the character itself.
      out[n++] = *f;
    }
  }
  out[n] = 0;
  return n;
}
