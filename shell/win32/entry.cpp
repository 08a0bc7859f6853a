// The process entry of the stub. The stub links no C runtime, so nothing runs
// before this function: no static constructors (the stub has none), no
// command-line parsing, no heap set-up.
#include <windows.h>

#include "shell/win32/installer_main.h"

extern "C" void installer_entry() {
  LPSTR command_line = GetCommandLineA();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  ExitProcess(installer_main(instance, nullptr, command_line, SW_SHOWNORMAL));
}
