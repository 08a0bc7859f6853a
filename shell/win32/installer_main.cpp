#include "shell/win32/installer_main.h"

#include <commctrl.h>

#include "platform/platform.h"
#include "resources/dialog_ids.h"
#include "shell/driver.h"
#include "shell/report_error.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/switches.h"
#include "shell/stub_config.h"
#include "shell/win32/dialogs.h"
#include "shell/win32/win32_state.h"

// The exit code of a command line that the installer does not take.
static const int EXIT_WRONG_COMMAND_LINE = 2;

HFONT create_dialog_font() {
  // The high word of the base units is the dialog base height, a signed 16-bit
  // value; the division truncates toward zero (16 -> -12, 13 -> -9).
  int base_height = (int16_t)HIWORD(GetDialogBaseUnits());
  int height = -((base_height * 6) / 8);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DRAFT_QUALITY,
                     FF_SWISS | DEFAULT_PITCH, stub_config.font_face);
}

int WINAPI installer_main(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  // The default destination (only existence is probed), which /D= may
  // replace; then the switches: unattended, not even start-up shows a box.
  choose_default_destination();
  if (stub_config.silent_switches && !read_switches(command_line, &unattended))
    return EXIT_WRONG_COMMAND_LINE;
  // The full path lands in message_buffer; the portable start-up takes the
  // base name from it, opens the file and reads the archive header.
  GetModuleFileNameA(instance, message_buffer, MESSAGE_BUFFER_SIZE);
  if (!startup_open_archive(message_buffer)) return 1;
  if (unattended) {
    stub_config.overwrite_all = 1;
    extract_and_report(nullptr);
  }

  // System DPI awareness: Windows scales the dialogs by their font and dialog
  // units instead of stretching a bitmap of them. (The call takes 85 bytes
  // of the stub less than the manifest's dpiAware element would.)
  SetProcessDPIAware();
  // Registers the progress bar's window class (the common controls).
  InitCommonControls();
  app_instance = instance;
  // The system's own button-face brush: the same colour as a brush made of
  // it, one call instead of two, and nothing to delete.
  dialog_brush = GetSysColorBrush(COLOR_BTNFACE);
  dialog_font = create_dialog_font();

  // An extraction ends the process from inside the dialog; the dialog
  // returns after Cancel or the close box alone, or when it cannot be shown:
  // nothing was installed. The font and the archive's handle go with the
  // process.
  DialogBoxParamA(instance, MAKEINTRESOURCEA(MAIN_DIALOG), nullptr, main_dialog_proc, 0);
  return 1;
}
