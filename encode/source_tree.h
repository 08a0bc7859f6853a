#pragma once
// Collects the entries of a source folder for packing (host file system).
//
// Order: depth first, each folder's entries sorted by their byte names, a
// folder's entry before its contents; so the same tree always gives the same
// list. Folders are listed too, empty ones included. Names are relative to
// the source folder, converted from UTF-8 to Windows-1252 and joined with
// backslashes; a name that cannot be converted or that Windows would refuse
// (name_rules.h) fails the scan with a message naming the file, and so do
// two names that differ only in the case of ASCII letters.
// Attributes: folders 0x10; files 0x20 (archive) plus 0x01 (read-only) when
// the owner may not write. Times: the DOS date and time of the modification
// time, in local time, for both creation and last write; times outside
// 1980-2107 are clamped, with a warning. Symbolic links are followed (a link
// back to an enclosing folder fails the scan); sockets, pipes and devices are
// skipped with a warning.
#include <stddef.h>

#include <string>
#include <vector>

#include "encode/archive_writer.h"

namespace qev {

// At most this many entries: a sanity bound on a directory that the
// installer walks entry by entry.
constexpr size_t MAX_MEMBERS = 1000000;

struct ScanResult {
  std::vector<PackEntry> entries;
  std::vector<std::string> warnings;
  std::string error;  // set when the scan fails
  uint64_t total_bytes = 0;
};

bool scan_source_tree(const std::string& root, ScanResult& out);

}  // namespace qev
