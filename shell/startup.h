#pragma once
// Start-up steps that do not depend on Windows: base name, opening the
// executable, CRC table, header, empty-archive notice, default destination.

// Opens the installer's archive in the executable at `exe_path`: sets
// exe_name, archive_file, header_copy and the decoders' archive_base and
// window sizes, builds the CRC table and reads the header. Returns 1 when the
// dialog may run, 0 when a message has been shown and start-up must end (the
// process still exits 0).
int startup_open_archive(const char* exe_path);
// The default destination: the preset folder (C:\Lumetra) when it exists or Program Files is
// absent, else the Program Files alternative, copied into the destination.
void choose_default_destination();
