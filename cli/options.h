#pragma once
// What the user asked of qev: one struct per command family, filled by the
// command-line parser (command_line.h) and handed whole to the command, which
// reads nothing else from the command line or the process.
//
// To add an option: a field here with its comment, and a row in the family's
// option table in command_line.cpp (the row is also its help and its line in
// the manual page).
#include <stdint.h>

#include <string>
#include <vector>

#include "cli/host_ui.h"
#include "encode/archive_writer.h"
#include "encode/product_settings.h"

// How much a command says beyond its failures.
enum class Verbosity {
  Quiet,    // -q: failures and warnings only; no summary, no progress
  Normal,   // a summary line at the end; progress when standard error is a terminal
  Verbose   // -v: also each entry as it is handled and the choices made on the way
};

// Taken by every command.
struct CommonOptions {
  Verbosity verbosity = Verbosity::Normal;
  // Show a progress line: standard error is a terminal and -q was not given.
  // Set by the parser, never by an option, so that a pipe never sees one.
  bool progress = false;
};

// qev pack.
struct PackCommandOptions {
  CommonOptions common;
  std::string source;                 // SRC_DIR: the folder whose contents are packed
  std::string output;                 // -o OUT: the file written; "-" for standard output
  std::string stub;                   // --stub FILE: make an installer from this stub
  bool installer = false;             // --installer: make an installer from the stub found
                                      // (stub_locator.h); so does an OUT ending in .exe
  std::vector<std::string> excludes;  // --exclude PATTERN, each (source_tree.h says how they match)
  std::string timezone;               // --timezone ZONE: the zone of the DOS times written;
                                      // when empty, UTC under SOURCE_DATE_EPOCH, else TZ
  int64_t newest_time = -1;           // SOURCE_DATE_EPOCH: later times are written as this; -1 none
  qev::PackOptions writer;            // --level N, --filter MODE, --threads N
  qev::ProductOptions product;        // --name, --program, --version, --publisher, --folder,
                                      // --icon, --silent-switches, --product: an installer
                                      // of the publisher's own product
};

// qev list, test and extract.
struct ArchiveCommandOptions {
  CommonOptions common;
  std::string archive;                      // ARCHIVE: a bare archive or an installer
  std::string folder = ".";                 // extract -C DIR: where the tree goes
  OverwriteMode overwrite = OVERWRITE_ALL;  // extract --overwrite, --skip-existing, --ask
};
