// qev extract: runs the installer's own extraction driver with the host UI:
// the same member loop, names, checks and messages (on standard error), into
// the folder of -C (default: the current folder). It never starts a program and never touches
// a registry. Where the installer would ask OK or Cancel the tool goes on as
// after OK, unless --ask lets the user answer on the terminal. Exit 0 when
// everything was extracted, 1 when anything failed or the archive is damaged.
// Ctrl-C (and SIGTERM, SIGHUP) cancels as the installer's Cancel button
// does: the member being written is deleted.
#include <signal.h>
#include <stdio.h>

#include <string>
#include "cli/archive_session.h"
#include "cli/commands.h"
#include "cli/counts.h"
#include "cli/host_ui.h"
#include "shell/driver.h"
#include "shell/report_error.h"
#include "shell/stub_config.h"

namespace {

void on_interrupt(int) { stub_config.cancel_requested = 1; }

}  // namespace

int run_extract(const ArchiveCommandOptions& options) {
  ArchiveSession session(options, "extract");
  ArchiveSession::Outcome outcome = session.open();
  if (outcome == ArchiveSession::EMPTY) return EXIT_OK;
  if (outcome == ArchiveSession::FAILED) return EXIT_FAILED;
  if (!session.set_destination()) return EXIT_FAILED;

  // Ctrl-C, a closed terminal and kill cancel alike: the member being
  // written is dropped, and a file it was to replace stays as it was.
  struct sigaction action = {}, previous[3] = {};
  action.sa_handler = on_interrupt;
  const int signals[3] = {SIGINT, SIGTERM, SIGHUP};
  for (int i = 0; i < 3; i++) sigaction(signals[i], &action, &previous[i]);
  int result = extract_all(nullptr);
  for (int i = 0; i < 3; i++) sigaction(signals[i], &previous[i], nullptr);
  host_ui_end_status();

  if (result < 0 && !report_error(nullptr, result, nullptr, 0)) {
    host_ui_fail("%s: the archive cannot be read", options.archive.c_str());
  }
  if (stub_config.cancel_requested) {
    host_ui_fail("interrupted");
    return EXIT_FAILED;
  }
  const bool ok = result >= 0 && host_ui.warnings == 0;
  // What happened to files that were there before is said even after a
  // failure; how many were extracted only when all were.
  std::string summary;
  if (ok) summary = "extracted " + count_of(host_ui.statuses, "file") + " into " + options.folder;
  if (host_ui.replaced > 0)
    summary += (summary.empty() ? "replaced " : ", replacing ") + count_of(host_ui.replaced, "existing file");
  if (host_ui.kept > 0)
    summary += (summary.empty() ? "kept " : "; kept ") + count_of(host_ui.kept, "existing file");
  if (!summary.empty() && options.common.verbosity != Verbosity::Quiet) printf("%s\n", summary.c_str());
  return ok ? EXIT_OK : EXIT_FAILED;
}
