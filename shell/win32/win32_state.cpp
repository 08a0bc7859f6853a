#include "shell/win32/win32_state.h"

// Zero-initialised: no constructor runs before the entry point.
HFONT dialog_font;
HBRUSH dialog_brush;
HINSTANCE app_instance;
