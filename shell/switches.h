#pragma once
// The installer's command line, when the packer has enabled it
// (stub_config.silent_switches); otherwise the command line is not looked at.
// After the program's own name (quoted or not):
//   /S        unattended: no dialog and no message box; the default (or /D)
//             destination, existing files replaced without asking, the
//             closing actions run; the exit code tells the caller the outcome
//   /D=PATH   the destination folder: the rest of the command line, spaces
//             and all, so it comes last and is not quoted
// Switches are separated by spaces; anything else is a wrong command line
// (exit code 2).
#include <stdint.h>

// Reads `command_line`: 1 when it is well formed (with /D=, the destination
// buffer then holds the folder), 0 when it is not (also for a folder too long
// for the buffer). Sets *unattended for /S.
int read_switches(const char* command_line, uint8_t* unattended);
