// The process entry of the stub. The stub links no C runtime, so nothing runs
// before this function: no static constructors (the stub has none), no
// command-line parsing, no heap set-up.
#include <windows.h>

#include "shell/win32/installer_main.h"

// The image's own first byte, placed by the linker: the module handle of the
// executable, which GetModuleHandleA(nullptr) would return.
extern "C" IMAGE_DOS_HEADER __ImageBase;

extern "C" void installer_entry() {
  ExitProcess(installer_main((HINSTANCE)&__ImageBase, nullptr, GetCommandLineA(), SW_SHOWNORMAL));
}
