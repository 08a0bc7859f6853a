#pragma once
// Start-up steps that do not depend on Windows: base name, opening the
// executable, CRC table, header, empty-archive notice, default destination.

// Steps 2-9 for the executable at `exe_path`: sets exe_name, archive_file,
// archive_base and header_copy. Returns 1 when the dialog may run, 0 when a
// message has been shown and start-up must end (the process still exits 0).
int startup_open_archive(const char* exe_path);
// Step 12: the preset folder (C:\Lumetra) when it exists or Program Files is
// absent, else the Program Files alternative, copied into the destination.
void choose_default_destination();
