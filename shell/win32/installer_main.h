#pragma once
// The installer's start-up on Windows, around the portable steps of
// startup_open_archive and choose_default_destination.
#include <windows.h>

// Runs the whole installer: reads the command line where the packer enabled
// it (switches.h), opens the executable's archive, creates the dialog font
// and brush, picks the default destination (unless /D= named one) and runs
// the main dialog, or, with /S, the extraction alone. Returns the process's
// exit code (installer_exit_code, shell_state.h): 0 when everything was
// installed, 1 after a failure (start-up's included), Cancel or the close
// box, 2 for a command line it does not take. On every path that reached the dialog the font, the
// brush and archive_file are released, in that order.
int WINAPI installer_main(HINSTANCE instance, HINSTANCE previous, LPSTR command_line,
                          int show_state);
// The font of both dialogs: CreateFontA at three quarters of the dialog base
// height in "Helv", as the templates carry no font of their own.
HFONT create_dialog_font();
