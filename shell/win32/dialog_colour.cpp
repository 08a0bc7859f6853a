#include "shell/win32/dialogs.h"
#include "shell/win32/win32_state.h"

INT_PTR dialog_colour(UINT message, WPARAM wparam) {
  switch (message) {
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      // Text on the dialog's own background, not on a white box.
      SetBkMode((HDC)wparam, TRANSPARENT);
      return (INT_PTR)dialog_brush;
    case WM_CTLCOLORDLG:
      return (INT_PTR)dialog_brush;
  }
  // WM_CTLCOLOREDIT among the rest: the folder box keeps the system colours.
  return FALSE;
}
