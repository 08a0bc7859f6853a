#include "shell/switches.h"

#include "shell/names.h"
#include "shell/stub_config.h"

int read_switches(const char* p, uint8_t* unattended) {
  // The program's name: up to the closing quote, or to the first blank.
  const char end_of_name = *p == '"' ? '"' : ' ';
  if (*p == '"') p++;
  while (*p && *p != end_of_name && *p != '\t') p++;
  if (*p == '"') p++;
  for (;;) {
    while (*p == ' ' || *p == '\t') p++;
    if (!*p) return 1;
    if (p[0] == '/' && p[1] == 'S' && (!p[2] || p[2] == ' ' || p[2] == '\t')) {
      *unattended = 1;
      p += 2;
      continue;
    }
    // The rest of the line, which must name a folder that fits.
    if (p[0] == '/' && p[1] == 'D' && p[2] == '=' && p[3])
      return str_copy(stub_config.destination, DESTINATION_SIZE, p + 3) ? 2 : 0;
    return 0;
  }
}
