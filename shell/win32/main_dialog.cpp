// Dialog 1: destination folder, overwrite check box, Extract, Cancel, Help and
// the status line. The extraction runs inside the Extract handler; the driver
// drains the message queue between members, so this procedure is re-entered
// while it runs and Cancel or the close box can set cancel_requested.
#include "decode/decoder_state.h"
#include "resources/dialog_ids.h"
#include "shell/driver.h"
#include "shell/format.h"
#include "shell/report_error.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"
#include "shell/win32/dialogs.h"
#include "shell/win32/win32_state.h"

namespace {

// Set by the first Extract command and never cleared. The driver works on
// process-wide state (destination, input buffer, decoder) and is not
// re-entrant, and the controls stay enabled while it runs, so a click on
// Extract dispatched by the driver's message drain must not start a second,
// nested extraction: it is ignored. After the driver returns the dialog ends,
// so one dialog extracts at most once either way.
bool extraction_started;

INT_PTR end_main_dialog(HWND window) {
  decoder.cancel_requested = 1;
  EndDialog(window, 0);
  return TRUE;
}

INT_PTR init_main_dialog(HWND window) {
  format_message(message_buffer, MESSAGE_BUFFER_SIZE, stub_config.intro_format, exe_name,
                 nullptr);
  // Texts and the check box are set and read with the messages that
  // SetDlgItemTextA, CheckDlgButton, GetDlgItemTextA and IsDlgButtonChecked
  // send, sent directly: the stub imports SendDlgItemMessageA alone for them.
  SendDlgItemMessageA(window, CTL_INTRO, WM_SETTEXT, 0, (LPARAM)message_buffer);
  if (stub_config.overwrite_all) SendDlgItemMessageA(window, CTL_OVERWRITE, BM_SETCHECK, BST_CHECKED, 0);
  for (int id = CTL_FOLDER; id <= CTL_EXTRACT; id++)
    SendDlgItemMessageA(window, id, WM_SETFONT, (WPARAM)dialog_font, 0);
  SendDlgItemMessageA(window, CTL_FOLDER, WM_SETTEXT, 0, (LPARAM)stub_config.destination);
  // TRUE: the dialog manager gives the focus to the first tab stop, the
  // folder box, and selects its whole text, as it does for an edit control.
  return TRUE;
}

INT_PTR extract(HWND window) {
  if (extraction_started) return FALSE;
  extraction_started = true;
  // At most 260 characters; destination always ends up terminated.
  SendDlgItemMessageA(window, CTL_FOLDER, WM_GETTEXT, DESTINATION_SIZE,
                      (LPARAM)stub_config.destination);
  stub_config.overwrite_all =
      SendDlgItemMessageA(window, CTL_OVERWRITE, BM_GETCHECK, 0, 0) != 0;
  extract_and_report(window);
}

}  // namespace

void extract_and_report(HWND window) {
  int result = extract_all(window);
  // Failures tied to one output path were reported by the driver with that
  // path; what comes back names the installer itself.
  if (result < 0) report_error(window, result, nullptr, 0);
  // A product that starts no program says where it now is (the driver left
  // the folder in destination); unattended, no box shows.
  if (installer_exit_code() == 0 && *stub_config.done_format) {
    format_message(message_buffer, MESSAGE_BUFFER_SIZE, stub_config.done_format,
                   stub_config.destination, nullptr);
    ui_message_box(window, message_buffer, stub_config.title, BOX_INFORMATION);
  }
  ExitProcess(installer_exit_code());
}

INT_PTR CALLBACK main_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return init_main_dialog(window);
    case WM_COMMAND:
      // Only the control id counts. Escape arrives as IDCANCEL (2) and Enter
      // outside a button as IDOK (1): both are ignored, like every id not
      // listed. Enter reaches Extract as 108 because it is the default button.
      switch (LOWORD(wparam)) {
        case CTL_HELP:
          MessageBoxA(window, stub_config.help_text, stub_config.title, MB_OK);
          return TRUE;
        case CTL_CANCEL:
          return end_main_dialog(window);
        case CTL_EXTRACT:
          return extract(window);
      }
      return FALSE;
    case WM_SYSCOMMAND:
      // The close box and Alt+F4; every other system command gets the
      // default processing.
      if ((wparam & 0xFFF0) == SC_CLOSE) return end_main_dialog(window);
      return FALSE;
    default:
      return dialog_colour(message, wparam);
  }
}
