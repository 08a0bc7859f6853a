#pragma once
// The extraction driver: one whole extraction into stub_config.destination.
// Returns 0 or a negative result code for the dialog to report; failures tied
// to one output path are reported here with that path, and 0 returned.
int extract_all(void* window);
