// drain_message_queue: lets the main dialog repaint and receive Cancel and the
// close box while the driver works on the dialog's own thread. The messages go
// straight to their windows, without the dialog manager's keyboard handling
// and untranslated: Tab, Enter, Escape, mnemonics and typed characters do
// nothing during an extraction, while clicks, Space on a button and Alt+F4
// (which act on the keys themselves) still work. Never waits.
#include <windows.h>

#include "shell/ui.h"
#include "shell/win32/dialogs.h"

void drain_message_queue() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageA(&message);
  }
}

// An empty drain costs a round trip to the window system (tens of
// microseconds under Wine), and the decoders poll every few kilobytes, so the
// queue is drained, and the progress shown, at most every PUMP_INTERVAL_MS:
// the dialog still repaints and reacts well within a human's notice.
static const DWORD PUMP_INTERVAL_MS = 50;
static DWORD last_pump;

void pump_messages() {
  const DWORD now = GetTickCount();
  if (now - last_pump < PUMP_INTERVAL_MS) return;
  last_pump = now;
  show_progress();  // the bar moves inside a long member too, not for every file
  drain_message_queue();
}
