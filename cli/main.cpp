// qev: the publisher's and user's host tool for QEV archives and installers.
#include <unistd.h>

#include "cli/command_line.h"

int main(int argc, char** argv) {
  Terminals terminals;
  terminals.input = isatty(STDIN_FILENO) != 0;
  terminals.error = isatty(STDERR_FILENO) != 0;
  return run_invocation(parse_command_line(argc, argv, terminals));
}
