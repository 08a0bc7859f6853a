// Dialog 2: "File ... already exists. Do you want to replace it?" with Yes, No
// and Yes To All. It has no close box and ignores Escape: the driver needs one
// of the three answers.
#include "resources/dialog_ids.h"
#include "shell/format.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/win32/dialogs.h"
#include "shell/win32/win32_state.h"

INT_PTR CALLBACK overwrite_prompt_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      for (int id = CTL_QUESTION; id <= CTL_NO; id++)
        SendDlgItemMessageA(window, id, WM_SETFONT, (WPARAM)dialog_font, 0);
      // destination holds the full output path of the member in question.
      format_message(message_buffer, MESSAGE_BUFFER_SIZE, stub_config.prompt_format,
                     stub_config.destination, nullptr);
      SendDlgItemMessageA(window, CTL_QUESTION, WM_SETTEXT, 0, (LPARAM)message_buffer);
      return TRUE;  // the dialog manager focuses the first tab stop, Yes
    case WM_COMMAND: {
      int id = LOWORD(wparam);
      if (id == CTL_YES || id == CTL_NO || id == CTL_YES_TO_ALL) EndDialog(window, id);
      return FALSE;
    }
    default:
      return dialog_colour(message, wparam);
  }
}
