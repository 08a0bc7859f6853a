#pragma once
// The order in which qev pack stores a tree, and which files repeat others.
//
// plan_pack reorders the entries (as a source tree scan lists them) so that:
//  - every folder comes first, in the order given, so that each exists
//    before any file is written into it;
//  - files follow grouped by kind, which the compressor's window rewards:
//    by extension, then by name, then in the order given (all ignoring the
//    case of ASCII letters), so the same order comes from the same tree;
//  - a file whose bytes equal those of a file before it (same size, same
//    SHA-256) comes right after that file and names it in same_as; the
//    writer then stores it once (archive_writer.h), and the installer serves
//    the repeat from the block it has just decoded.
// Files are read once here to find repeats, only those whose size another
// file shares; one that cannot be read is left to the writer to report.
#include <vector>

#include "encode/archive_writer.h"

namespace qev {

struct PlanResult {
  uint32_t repeats = 0;       // files found to repeat an earlier one
  uint64_t repeat_bytes = 0;
};

// With by_kind false the files keep the order given (repeats still move).
PlanResult plan_pack(std::vector<PackEntry>& entries, bool by_kind = true);

}  // namespace qev
