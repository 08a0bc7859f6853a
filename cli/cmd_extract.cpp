// qev extract: runs the installer's own extraction driver with the host UI:
// the same member loop, names, checks and messages (on standard error), into
// the folder of -C (default: the current folder). It never starts a program and never touches
// a registry. It first checks that the destination's file system has room
// for the size the directory declares. Where the installer would ask OK or Cancel the tool goes on as
// after OK, unless --ask lets the user answer on the terminal. Exit 0 when
// everything was extracted, 1 when anything failed or the archive is damaged.
// Ctrl-C (and SIGTERM, SIGHUP) cancels as the installer's Cancel button
// does: the member being written is deleted.
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <string>
#include "cli/archive_session.h"
#include "cli/commands.h"
#include "cli/counts.h"
#include "cli/host_ui.h"
#include "decode/decoder_state.h"
#include "platform/interrupt.h"
#include "shell/driver.h"
#include "shell/report_error.h"
#include "shell/stub_config.h"

namespace {

// Free bytes on the file system where `folder` is or would be made (its
// nearest existing ancestor); as many as can be counted when none is found.
uint64_t free_space_at(std::string folder) {
  struct stat st;
  while (stat(folder.c_str(), &st) != 0) {
    size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos) {
      folder = ".";
    } else {
      folder.resize(slash == 0 ? 1 : slash);
    }
  }
  struct statvfs fs;
  if (statvfs(folder.c_str(), &fs) != 0) return UINT64_MAX;
  return (uint64_t)fs.f_bavail * fs.f_frsize;
}

void on_interrupt(int) {
  decoder.cancel_requested = 1;
  file_interrupted = 1;
}

}  // namespace

int run_extract(const ArchiveCommandOptions& options) {
  ArchiveSession session(options, "extract");
  ArchiveSession::Outcome outcome = session.open();
  if (outcome == ArchiveSession::EMPTY) return EXIT_OK;
  if (outcome == ArchiveSession::FAILED) return EXIT_FAILED;
  if (!session.set_destination()) return EXIT_FAILED;
  // Room for everything the directory declares, checked before anything is
  // written (a directory that cannot be walked is the driver's to report).
  uint64_t declared = 0;
  if (!session.prepare_reading()) return EXIT_FAILED;
  const bool walked = session.declared_bytes(&declared);
  session.finish_reading();
  const uint64_t free_bytes = free_space_at(options.folder);
  if (walked && declared > free_bytes) {
    host_ui_fail("%s: %s bytes free, and the files hold %s", options.folder.c_str(), with_commas(free_bytes).c_str(),
                 with_commas(declared).c_str());
    return EXIT_FAILED;
  }

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
  if (decoder.cancel_requested) {
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
