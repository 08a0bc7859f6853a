#pragma once
// Which files of a tree repeat others, and where qev pack lists them.
//
// plan_pack keeps the order given (a source tree scan's: each folder before
// what it holds), except that these files move, each together with those of
// its folders that were not listed yet:
//  - a file whose bytes equal those of a file before it (same size, same
//    SHA-256) moves right after that file, naming it in same_as. The writer
//    then stores it once (archive_writer.h), and the installer serves it from
//    the block it has just decoded. Empty files repeat the first empty file
//    where they stand: they need no reading.
//  - a compiled Python module (D\__pycache__\NAME.TAG.pyc) moves right after
//    its source D\NAME.py, which the compressor's window then holds.
//  - with group_similar, compressed files (by their names' endings) first
//    take, among the files of one folder listed together, the order of their
//    names read backwards, since their bytes show no likeness.
//  - with group_similar, a file that resembles an earlier one (similar_files.h)
//    moves right after it, or after the file that one moved to: both then lie
//    within the window however far apart the tree lists them. Files larger
//    than the window gain little from it and are not compared.
// Every folder still comes before what it holds, and a repeat after the file
// it names.
// Files are read here when another file shares their size, and with
// group_similar those the window can hold; one that cannot be read is left to
// the writer to report.
#include <vector>

#include "encode/archive_writer.h"

namespace qev {

struct PlanResult {
  uint32_t repeats = 0;       // files found to repeat an earlier one
  uint64_t repeat_bytes = 0;
  uint32_t moved_beside_similar = 0;
};

struct PlanOptions {
  bool group_similar = false;
};

// From level 6 on files are grouped by likeness. Sketching goes at some
// 500 MB/s; with the reading of the files the window can hold, it makes
// level 6 take some 4 % more time on the benchmark corpus for 1.5 % less
// (level 9: under 1 %, for 1.6 % less). Level 1 keeps the tree's order: it
// would take 10 to 15 % more (for 1.7 % less), close to its mark of 100 MB/s
// under load.
PlanOptions plan_options_for(int level);

PlanResult plan_pack(std::vector<PackEntry>& entries, const PlanOptions& options = PlanOptions());

}  // namespace qev
