// qev: the publisher's and user's host tool for QEV archives and installers.
#include <stdlib.h>
#include <unistd.h>

#include "cli/command_line.h"

int main(int argc, char** argv) {
  Environment environment;
  environment.input_terminal = isatty(STDIN_FILENO) != 0;
  environment.error_terminal = isatty(STDERR_FILENO) != 0;
  environment.source_date_epoch = getenv("SOURCE_DATE_EPOCH");
  return run_invocation(parse_command_line(argc, argv, environment));
}
