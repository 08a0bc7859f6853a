// qev: the publisher's and user's host tool for QEV archives and installers.
#include <stdio.h>
#include <string.h>

#include "cli/commands.h"

static int usage(FILE* out) {
  fputs(
      "usage: qev pack SRC_DIR -o OUT [--stub STUB.exe] [--level N] [--filter auto|none|16|32]\n"
      "       qev list ARCHIVE\n"
      "       qev test ARCHIVE\n"
      "       qev extract ARCHIVE [-C DIR] [--overwrite | --skip-existing | --ask]\n",
      out);
  return out == stdout ? 0 : EXIT_USAGE;
}

int main(int argc, char** argv) {
  if (argc < 2) return usage(stderr);
  const char* command = argv[1];
  if (strcmp(command, "-h") == 0 || strcmp(command, "--help") == 0) return usage(stdout);
  if (strcmp(command, "pack") == 0) return cmd_pack(argc - 2, argv + 2);
  if (strcmp(command, "list") == 0) return cmd_list(argc - 2, argv + 2);
  if (strcmp(command, "test") == 0) return cmd_test(argc - 2, argv + 2);
  if (strcmp(command, "extract") == 0) return cmd_extract(argc - 2, argv + 2);
  fprintf(stderr, "qev: unknown command '%s'\n", command);
  return usage(stderr);
}
