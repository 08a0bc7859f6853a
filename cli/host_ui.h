#pragma once
// The host tool's side of shell/ui.h (ui_host.cpp): messages on standard
// error, answers from the terminal or from the overwrite mode, a progress line
// on a terminal, and no program start, registry or volume of its own (the
// volume always has long names, and the registry calls fail, so nothing is
// written). The commands set the fields before they run the shell's code.
#include <stdint.h>
#include <stdio.h>

#include <string>

enum OverwriteMode {
  OVERWRITE_ALL,    // replace existing files (the installer's preset)
  SKIP_EXISTING,    // the prompt answers No
  ASK_EACH          // the prompt asks on the terminal
};

struct HostUi {
  OverwriteMode overwrite = OVERWRITE_ALL;
  // Questions (OK/Cancel, the overwrite prompt) are put to the user through
  // `in`; otherwise OK/Cancel answers OK, as if the user went on.
  bool interactive = false;
  FILE* in = stdin;
  FILE* err = stderr;
  bool progress = false;  // show the status line (err is a terminal)
  // Counted by the message boxes: boxes with the warning icon, i.e. failures.
  uint32_t warnings = 0;
  // Internal: a status line is on screen and must be cleared before a message.
  bool status_shown = false;
};

extern HostUi host_ui;

// Clears the status line, if one is shown.
void host_ui_end_status();
// An archive text (Windows-1252, backslash separators) as the host shows it:
// UTF-8 with slashes.
std::string host_display(const char* text);
std::string host_display(const char* text, size_t length);
