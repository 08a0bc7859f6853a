#pragma once
#include "archive/layout.h"

// The extraction driver: one whole extraction into stub_config.destination.
// Returns 0 or a negative result code for the dialog to report; failures tied
// to one output path are reported here with that path, and 0 returned. Sets
// extraction_completed (shell_state.h) when the member loop ran to its end
// and the closing actions ran; the destination then holds the folder, as
// typed, without a separator at its end.
int extract_all(void* window);
