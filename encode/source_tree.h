#pragma once
// Collects the entries of a source folder for packing (host file system), and
// every reason the folder cannot be packed as it stands, in one pass.
//
// Order: depth first, each folder's entries sorted by their byte names, a
// folder's entry before its contents; so the same tree always gives the same
// list. Folders are listed too, empty ones included. Names are relative to
// the source folder, converted from UTF-8 to Windows-1252 and joined with
// backslashes.
//
// Problems, all of them collected before anything is packed, each naming the
// host path: a name that Windows-1252 cannot hold or Windows would refuse
// (name_rules.h; a part is named once, not again for each entry below it);
// two names that differ only in the case of ASCII letters (once, where they
// first meet); a file that cannot be opened for reading, a folder that cannot
// be listed, a symbolic link that leads nowhere or in a loop, or back to an
// enclosing folder; a file larger than a member can hold; more entries than
// MAX_MEMBERS.
//
// Left out: entries that an exclusion pattern matches (a folder with all it
// holds), and the files of `leave_out` (the output of the pack, were it
// inside the tree). Warnings: sockets, pipes and devices are skipped; times
// outside 1980-2107 are clamped.
//
// Attributes: folders 0x10; files 0x20 (archive) plus 0x01 (read-only) when
// the owner may not write. Times: the DOS date and time of the modification
// time (no later than newest_time), in the process's local time zone
// (time_zone.h), for both creation and last write. Symbolic links are
// followed.
#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "encode/archive_writer.h"

namespace qev {

// At most this many entries: a sanity bound on a directory that the
// installer walks entry by entry.
constexpr size_t MAX_MEMBERS = 1000000;
// The largest file a member holds: its stream offsets and sizes are 32-bit,
// and its record, name and CRC-32 (at most 4 KiB) travel with it.
constexpr uint64_t MAX_MEMBER_SIZE = 0xFFFFFFFFull - 4096;

struct ScanOptions {
  // Shell patterns (fnmatch). One without a slash is matched against the name
  // of every file and folder; one with a slash against the path from the
  // source folder ("docs/*.tmp"), "*" then not crossing a slash. A trailing
  // slash matches folders only.
  std::vector<std::string> excludes;
  // Files (device, inode) never packed: the output, when it lies in the tree.
  std::vector<std::pair<dev_t, ino_t>> leave_out;
  // A modification time after this (seconds since 1970) is written as this;
  // -1: times as they are.
  int64_t newest_time = -1;
};

struct ScanResult {
  std::vector<PackEntry> entries;
  std::vector<std::string> problems;   // each stops the pack
  std::vector<std::string> warnings;
  std::vector<std::string> excluded;   // host paths left out by a pattern (a folder once)
  std::vector<std::string> left_out;   // host paths left out as the output
  std::string error;                   // the problems, one per line, when the scan fails
  uint64_t total_bytes = 0;
};

// False when the root is not a readable folder or any problem was found.
bool scan_source_tree(const std::string& root, const ScanOptions& options, ScanResult& out);
inline bool scan_source_tree(const std::string& root, ScanResult& out) {
  return scan_source_tree(root, ScanOptions(), out);
}

}  // namespace qev
