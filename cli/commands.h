#pragma once
// The commands of qev. Each takes its family's options (options.h), filled by
// the command-line parser, and returns the process exit status.
#include "cli/options.h"

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;  // a member failed, the archive is damaged, bad input
constexpr int EXIT_USAGE = 2;   // the command line is wrong

int run_pack(const PackCommandOptions& options);
int run_list(const ArchiveCommandOptions& options);
int run_test(const ArchiveCommandOptions& options);
int run_extract(const ArchiveCommandOptions& options);
