#include "shell/switches.h"

#include "shell/names.h"
#include "shell/stub_config.h"

int read_switches(const char* p, uint8_t* unattended) {
  // The program's name: up to its closing quote, or to the first space.
  char end_of_name = ' ';
  if (*p == '"') end_of_name = *p++;
  while (*p && *p != end_of_name) p++;
  if (*p) p++;
  for (;; p++) {
    if (*p == ' ') continue;
    if (!*p) return 1;
    if (*p++ != '/') return 0;
    if (*p == 'S' && (p[1] == ' ' || !p[1])) {
      *unattended = 1;
      continue;
    }
    // The rest of the line, which must name a folder that fits.
    if (*p == 'D' && p[1] == '=' && p[2])
      return str_copy(stub_config.destination, DESTINATION_SIZE, p + 2);
    return 0;
  }
}
