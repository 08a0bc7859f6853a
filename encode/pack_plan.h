#pragma once
// Which files of a tree repeat others, and where qev pack lists them.
//
// plan_pack keeps the order given (a source tree scan's: each folder before
// what it holds), except that two kinds of file move, each together with
// those of its folders that were not listed yet:
//  - a file whose bytes equal those of a file before it (same size, same
//    SHA-256) moves right after that file, naming it in same_as. The writer
//    then stores it once (archive_writer.h), and the installer serves it from
//    the block it has just decoded. Empty files repeat the first empty file
//    where they stand: they need no reading.
//  - a compiled Python module (D\__pycache__\NAME.TAG.pyc) moves right after
//    its source D\NAME.py, which the compressor's window then holds.
// Every folder still comes before what it holds, and a repeat after the file
// it names.
// Files are read here only when another file shares their size; one that
// cannot be read is left to the writer to report.
#include <vector>

#include "encode/archive_writer.h"

namespace qev {

struct PlanResult {
  uint32_t repeats = 0;       // files found to repeat an earlier one
  uint64_t repeat_bytes = 0;
};

PlanResult plan_pack(std::vector<PackEntry>& entries);

}  // namespace qev
