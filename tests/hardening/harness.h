#pragma once
// One whole extraction of an archive, as the installer runs it, observed from
// outside; and the checks that every extraction must pass, whatever the
// archive held.
//
// Layout of one run, in a fresh scratch folder S (below TMPDIR, or /dev/shm
// when TMPDIR is not set and the machine has it), which is the current folder
// during the run:
//   S/setup.exe   the archive (behind `prefix` stub bytes)
//   S/out         the destination, given as the relative path "out", so that
//                 every path the driver forms is in 8.3 form already up to
//                 the member's name (the scratch folder's own name is not,
//                 and a volume without long names would shorten it too)
// Nothing else may appear in S. Start-up opens setup.exe, then the driver
// extracts into "out" with the recording fake UI (boxes answer OK, prompts
// Yes, unless scripted), the fault double and the hooks (hooks.h) recording.
// A negative result is then reported as the main dialog does. Afterwards the
// tree under S/out is read and S is removed.
#include <stdint.h>
#include <sys/types.h>
#include <time.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fake_ui.h"
#include "hooks.h"

struct RunOptions {
  bool overwrite_all = false;
  uint32_t max_component = 255;     // what the volume query answers; below 255: 8.3 names
  std::deque<int> box_answers;      // default OK
  std::deque<int> prompt_answers;   // default Yes
  uint32_t cancel_at_drain = 0;     // 0 never
  uint64_t cancel_after_call = 0;   // hooks_cancel_after_call
  uint64_t read_budget = 0;         // hooks_budget
  uint64_t write_budget = 0;
  size_t prefix = 0;                // stub bytes before the archive
  // Before start-up, with the destination's host path (which does not exist
  // yet): e.g. fill it with an earlier extraction.
  std::function<void(const std::string& destination)> prepare;
  // After start-up, right before the driver runs (the fault double is reset
  // just before): arm faults here.
  std::function<void()> arm;
};

struct FileInfo {
  enum Kind { FILE, FOLDER, OTHER } kind = FILE;
  std::string content;
  mode_t mode = 0;
  time_t mtime = 0;
};

struct Observation {
  bool opened = false;        // start-up accepted the archive and the driver ran
  int result = 0;             // extract_all's
  std::vector<FakeBox> boxes; // start-up's, the driver's and the dialog's, in order
  std::vector<std::string> prompts;  // paths the overwrite question was asked about
  std::vector<std::string> program_starts;
  size_t registry_calls = 0;
  HookRecord record;          // of the driver's run
  std::string root;           // S, the scratch folder (gone after the run)
  std::string destination;    // S/out, as a host path
  std::string shell_destination;  // "out", as the driver was given it
  bool destination_exists = false;
  std::map<std::string, FileInfo> before;  // the destination as `prepare` left it
  std::map<std::string, FileInfo> tree;    // below the destination, relative host paths
  std::vector<std::string> outside;      // what appeared in S besides the archive and S/out
  bool buffers_freed = false; // input buffer and window pointers cleared
  int fds_before = 0, fds_after = 0;
  double seconds = 0;         // the driver's run

  bool closing_actions() const { return !program_starts.empty(); }
};

Observation run_extraction(const std::vector<uint8_t>& archive, const RunOptions& options = {});

// Every way in which the run broke the rules that hold for any archive: a
// result that is not one of the driver's codes, a message not in the table,
// a file left that is not a member which verified its CRC-32 (the file's
// content against the size and crc32 of the entry it was created for), a
// file or folder made outside the destination, memory or a file handle not
// released. Empty when none.
std::vector<std::string> general_problems(const Observation& obs);

// The host path of a path in the shell's form (Windows-1252, backslashes),
// normalised; "" when it cannot be converted.
std::string host_form(const std::string& shell_path);

// The reflected CRC-32, bit by bit (shares nothing with the decoder's).
uint32_t slow_crc32(const std::string& bytes);
