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
  // Every message begins "PREFIX: " ("qev extract: Cannot open a.qev: File
  // not found"); an installer text's line break becomes ": " before a line
  // of its own (the reason the system gave) and a space inside a sentence.
  std::string prefix = "qev";
  OverwriteMode overwrite = OVERWRITE_ALL;
  // Questions (OK/Cancel, the overwrite prompt) are put to the user through
  // `in`; otherwise OK/Cancel answers OK, as if the user went on.
  bool interactive = false;
  FILE* in = stdin;
  FILE* err = stderr;
  bool progress = false;  // show the status line (err is a terminal)
  bool verbose = false;   // also write every status text as a line on `out`
  FILE* out = stdout;
  // Counted by the message boxes: boxes with the warning icon, i.e. failures.
  uint32_t warnings = 0;
  uint32_t statuses = 0;  // status texts set: one per file member begun
  // Existing files that the overwrite prompt let be replaced (less those
  // whose member then failed) and that it kept.
  uint32_t replaced = 0, kept = 0;
  // Internal: a status line is on screen and must be cleared before a message.
  bool status_shown = false;
  // Internal: 2 once a replacement is agreed, 1 once its member has begun (its
  // status is set), 0 when a failure may no longer belong to it.
  int replacing = 0;
};

extern HostUi host_ui;

// Clears the status line, if one is shown.
void host_ui_end_status();
// A failure of the tool's own, on err after the prefix; counted as a warning.
void host_ui_fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
// An archive text (Windows-1252, backslash separators) as the host shows it:
// UTF-8 with slashes, made terminal_safe, so that no name can act on the
// terminal, forge a line (a line feed) or hide what follows it (a NUL).
std::string host_display(const char* text);
std::string host_display(const char* text, size_t length, bool line_breaks = false);
// A message holding names from the file system as a terminal may be given
// it: control characters (a name may hold any but the slash) written as \t,
// \n or \xNN, the C1 controls (U+0080 to U+009F) as \xNN, and a backslash as
// \\, so that no name can move the cursor or send the terminal a command.
// With `line_breaks` a line feed stays: the message's own.
std::string terminal_safe(const std::string& text, bool line_breaks = false);
// Why the installer refuses a member's name (a NameRefusal of safe_name.h), as
// the tool says it after the name: "the name leaves the destination folder".
const char* refusal_text(int refusal);
