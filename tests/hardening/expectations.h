#pragma once
// What one extraction of a writer-made sample should end in, and the check of
// an observed run against it: the driver's result, every report_error call
// (code, entry, whether it asked), the boxes they show, whether the closing
// actions ran, and the tree: each entry's file or folder present with the
// sample's exact content, times and attributes, or absent.
#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "samples.h"

struct Expected {
  int result = 0;
  std::vector<Report> reports;  // code, entry, ask, stop (name is the entry's path)
  bool closing = true;
  size_t walked = 0;            // entries the driver took from the directory
  bool destination = true;      // the destination folder was made
  std::string os_line;          // the second line of every shown message with one
  std::map<int, std::string> line_of;  // ... unless given here for the entry reported
  int untimed = -1;             // an entry whose times were not set
  int unattributed = -1;        // an entry whose attributes were not set
  int abandoned = -1;           // an entry walked, then left for a Cancel before anything was made
  std::vector<int> prompts;     // entries whose path the overwrite question named, when checked
  bool check_prompts = false;
  bool all_present = false;     // every entry's output present and exact, reported or not
};

// Everything done, nothing reported.
Expected all_done(const Sample& s);
// The member loop ended after a report at `entry` that stops (a decode
// failure, a folder that cannot be made, Cancel on a question).
Expected stopped_at(const Sample& s, int entry, int code, bool ask = false);
// The directory failed while fetching `entry`: the loop ended there, the
// closing actions ran and the driver returned `code`.
Expected directory_failed(const Sample& s, int entry, int code);
// The expectation that follows from a list of reports: entries reported and
// then skipped are absent; a stopping report ends the loop at its entry.
Expected from_reports(const Sample& s, const std::vector<Report>& reports);

// The output path of an entry in the shell's form, below `destination` (the
// shell's form too).
std::string entry_path(const std::string& destination, const Sample& s, size_t entry);

// Differences between the run and the expectation; empty when none. The
// general rules (general_problems) are checked too.
std::vector<std::string> mismatches(const Sample& s, const Observation& obs, const Expected& e);
