// The shell's surroundings on Windows: message boxes, the overwrite prompt, the
// status line, the volume query, the program start and the registry, each one
// USER32, KERNEL32 or ADVAPI32 call.
#include <windows.h>

#include <commctrl.h>

#include "platform/platform.h"
#include "resources/dialog_ids.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"
#include "shell/win32/dialogs.h"
#include "shell/win32/win32_state.h"

int ui_message_box(void* owner, const char* text, const char* caption, uint32_t style) {
  // Unattended, nobody would answer: 0, which is no OK, so a question stops.
  if (unattended) return 0;
  return MessageBoxA((HWND)owner, text, caption, style);
}

int ui_overwrite_prompt() {
  // No owner: the main dialog stays enabled, so Cancel still reaches it.
  return (int)DialogBoxParamA(app_instance, MAKEINTRESOURCEA(PROMPT_DIALOG), nullptr,
                              overwrite_prompt_proc, 0);
}

// The status line and the progress bar are shown by pump_messages, at most
// every 50 ms: setting a control's text costs a round trip to the window
// system, which for small files would take longer than the files.
static HWND status_window;
static const char* status_text;  // the latest status line (in message_buffer)

void show_progress() {
  // What SetDlgItemTextA sends, sent directly.
  SendDlgItemMessageA(status_window, CTL_STATUS, WM_SETTEXT, 0, (LPARAM)status_text);
  // The bar's range is 0 to 100: the share of the files' bytes written
  // (total_size is never 0 in a packed installer).
  SendDlgItemMessageA(status_window, CTL_PROGRESS, PBM_SETPOS,
                      (WPARAM)(bytes_written * 100 / stub_config.total_size), 0);
}

void ui_set_status(void* window, const char* text) {
  status_window = (HWND)window;
  status_text = text;
  pump_messages();  // shows it, unless the last showing was too recent
}

int ui_volume_max_component(const char* root, uint32_t* max_component) {
  DWORD length = 0;
  if (!GetVolumeInformationA(root, nullptr, 0, nullptr, &length, nullptr, nullptr, 0)) return 0;
  *max_component = length;
  return 1;
}

// CreateProcessA, not WinExec: WinExec returns only once the program started
// first waits for input (or ends), and the installer's window, and its
// process, would stay for as long as the program takes to start. The
// program's handles are left to the installer's end, which follows at once.
static STARTUPINFOA startup;  // zero but for its size: the defaults, a normal window
static PROCESS_INFORMATION started;

void ui_start_program(const char* command_line) {
  startup.cb = sizeof(startup);
  CreateProcessA(nullptr, (char*)command_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                 &startup, &started);
}

int ui_registry_create(const char* subkey, void** key) {
  HKEY created = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &created, nullptr) != ERROR_SUCCESS)
    return 0;
  *key = created;
  return 1;
}

void ui_registry_set(void* key, const char* name, uint32_t type, const void* data, uint32_t size) {
  RegSetValueExA((HKEY)key, name, 0, type, (const BYTE*)data, size);
}

void ui_registry_close(void* key) { RegCloseKey((HKEY)key); }
