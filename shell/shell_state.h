#pragma once
// Process-wide shell state shared by start-up, the dialogs, the driver and the
// error reporter. Zero at load. The Windows-only handles (font, brush,
// instance) live beside the Windows entry, not here.
#include <stdint.h>
#include "archive/layout.h"

// message_buffer is where every message, dialog text and status line is
// composed. It is larger than any composed text can be (the longest format,
// a 259-character path and the longest OS line stay below 400 bytes), and every
// composition is bounded by MESSAGE_BUFFER_SIZE all the same, so it is never
// written past.
constexpr uint32_t MESSAGE_BUFFER_SIZE = 512;
constexpr uint32_t EXE_NAME_SIZE = 260;

extern char exe_name[EXE_NAME_SIZE];  // base name of the running executable
extern char message_buffer[MESSAGE_BUFFER_SIZE];
extern ArchiveHeader header_copy;     // the header read at start-up
// How the run went, for the process's exit code: 1 once the driver has run
// through every member and its closing actions; and the number of failure
// messages that report_error has shown (or, unattended, would have shown).
extern uint8_t extraction_completed;
extern uint32_t failures_reported;
// Set by /S (switches.h): no dialog, and no message box waits for a click.
extern uint8_t unattended;
// The installer's exit code: 0 when everything was installed without a
// failure, 1 when the extraction failed, was cancelled or never ran.
inline int installer_exit_code() { return extraction_completed && !failures_reported ? 0 : 1; }
