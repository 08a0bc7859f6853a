#pragma once
// The Windows-only part of the shell state. Set once by installer_main before
// the main dialog runs and released after it ends: the font and brush that
// both dialogs use, and the instance whose resources hold dialog 2. Null on
// every start-up failure path (the dialogs never run then).
#include <windows.h>

extern HFONT dialog_font;       // the one font of all dialog controls
extern HBRUSH dialog_brush;     // button-face background of both dialogs
extern HINSTANCE app_instance;  // module that carries the dialog templates
