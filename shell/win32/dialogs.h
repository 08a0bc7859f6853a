#pragma once
// The two dialog procedures. Both run on the one GUI thread; main_dialog_proc
// is re-entered while its Extract handler runs, because the driver drains the
// message queue between members.
#include <windows.h>

// Dialog 1. Ends with 0 after Cancel, the close box, Alt+F4 or one extraction,
// and sets cancel_requested whenever it ends. At most one extraction runs per
// dialog: an Extract command that arrives while (or after) the driver runs is
// ignored.
INT_PTR CALLBACK main_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Dialog 2, the question before a file is replaced. Ends only through its three
// buttons, with the button's id: 109 Yes, 110 No, 108 Yes To All.
INT_PTR CALLBACK overwrite_prompt_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// One extraction (extract_all) into stub_config.destination with the
// overwrite mode set: a failure the driver returns is reported, and a product
// that starts no program ends with a box naming its folder. The main
// dialog's Extract and the unattended installation (/S, window null) both.
// Then the process ends with the installer's exit code, a dialog still up:
// hiding it first (EndDialog) makes Wine wait for the X window manager to
// confirm, two seconds where none answers, and nothing is left to do once
// the closing actions ran and every file is closed.
[[noreturn]] void extract_and_report(HWND window);
// Shows the latest status line (ui_set_status) and the progress bar, the
// bytes written against the files' total (stub_config.total_size), now.
void show_progress();
// The dialogs' answer to WM_CTLCOLORBTN/STATIC/DLG: the button-face brush, with
// transparent text background for buttons and static controls; 0 (not handled)
// for any other message.
INT_PTR dialog_colour(UINT message, WPARAM wparam);
