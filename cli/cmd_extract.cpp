// qev extract ARCHIVE [-C DIR] [--overwrite | --skip-existing | --ask]
//
// Runs the installer's own extraction driver with the host UI: the same
// member loop, names, checks and messages (on standard error), into DIR
// (default: the current folder). It never starts a program and never touches
// a registry. Where the installer would ask OK or Cancel the tool goes on as
// after OK, unless --ask lets the user answer on the terminal. Exit 0 when
// everything was extracted, 1 when anything failed or the archive is damaged.
// Ctrl-C cancels as the installer's Cancel button does: the member being
// written is deleted.
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "cli/archive_session.h"
#include "cli/commands.h"
#include "cli/host_ui.h"
#include "shell/driver.h"
#include "shell/names.h"
#include "shell/report_error.h"
#include "shell/stub_config.h"

namespace {

int usage(const char* problem) {
  if (problem) fprintf(stderr, "qev extract: %s\n", problem);
  fputs("usage: qev extract ARCHIVE [-C DIR] [--overwrite | --skip-existing | --ask]\n", stderr);
  return EXIT_USAGE;
}

void on_interrupt(int) { stub_config.cancel_requested = 1; }

}  // namespace

int cmd_extract(int argc, char** argv) {
  const char* archive = nullptr;
  const char* folder = ".";
  const char* mode_flag = nullptr;
  OverwriteMode mode = OVERWRITE_ALL;
  for (int i = 0; i < argc; i++) {
    const char* arg = argv[i];
    OverwriteMode chosen;
    if (strcmp(arg, "-C") == 0) {
      if (++i == argc) return usage("-C needs a folder");
      folder = argv[i];
      continue;
    } else if (strcmp(arg, "--overwrite") == 0) {
      chosen = OVERWRITE_ALL;
    } else if (strcmp(arg, "--skip-existing") == 0) {
      chosen = SKIP_EXISTING;
    } else if (strcmp(arg, "--ask") == 0) {
      chosen = ASK_EACH;
    } else if (arg[0] == '-' && arg[1] != 0) {
      return usage((std::string("unknown option ") + arg).c_str());
    } else if (archive) {
      return usage("one archive at a time");
    } else {
      archive = arg;
      continue;
    }
    if (mode_flag && mode != chosen) return usage("choose one of --overwrite, --skip-existing, --ask");
    mode_flag = arg;
    mode = chosen;
  }
  if (!archive) return usage("no archive given");
  if (!*folder) return usage("-C needs a folder");
  bool terminal = isatty(fileno(stdin));
  if (mode == ASK_EACH && !terminal) return usage("--ask needs a terminal on standard input");

  host_ui = HostUi{};
  host_ui.overwrite = mode;
  host_ui.interactive = mode == ASK_EACH;
  host_ui.progress = isatty(fileno(stderr));

  ArchiveSession session;
  ArchiveSession::Outcome outcome = session.open(archive);
  if (outcome == ArchiveSession::EMPTY) return EXIT_OK;
  if (outcome == ArchiveSession::FAILED) return EXIT_FAILED;

  std::string destination;
  if (!to_shell_path(folder, true, &destination)) {
    fprintf(stderr, "qev: %s: the name cannot be written in Windows-1252 without backslashes\n",
            folder);
    return EXIT_FAILED;
  }
  if (!str_copy(stub_config.destination, DESTINATION_SIZE, destination.c_str())) {
    fprintf(stderr, "qev: %s: the folder name is longer than 260 characters\n", folder);
    return EXIT_FAILED;
  }
  stub_config.overwrite_all = mode == OVERWRITE_ALL ? 1 : 0;
  stub_config.cancel_requested = 0;

  struct sigaction action = {}, previous = {};
  action.sa_handler = on_interrupt;
  sigaction(SIGINT, &action, &previous);
  int result = extract_all(nullptr);
  sigaction(SIGINT, &previous, nullptr);
  host_ui_end_status();

  if (result < 0 && !report_error(nullptr, result, nullptr, 0)) {
    fprintf(stderr, "qev: %s: the archive cannot be read\n", archive);
  }
  if (stub_config.cancel_requested) {
    fputs("qev: interrupted\n", stderr);
    return EXIT_FAILED;
  }
  return result < 0 || host_ui.warnings > 0 ? EXIT_FAILED : EXIT_OK;
}
