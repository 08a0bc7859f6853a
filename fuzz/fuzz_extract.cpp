// Fuzz target: the whole extraction of an arbitrary archive, as the installer
// runs it: start-up reads the header, the driver walks the directory, decodes
// every member (streams shared and restarted, stored and compressed blocks,
// call filters), checks CRCs, makes folders and files below a temporary
// destination, and answers its questions through the fake UI. Afterwards
// (general_problems): the result is one of the driver's codes, every message
// is one of the table's, every file left is a member whose content has the
// size and CRC-32 its entry gives, nothing was made outside the destination,
// and all memory and handles were released. AddressSanitizer and
// UndefinedBehaviorSanitizer watch the rest.
//
// The input is the archive. Its header bytes 12 to 15 are never read by the
// extractor; byte 12 chooses the surroundings, so that the fuzzer reaches
// them too (writer-made seeds have 0 there):
//   bit 0  Yes To All preset (no overwrite questions)
//   bit 1  a volume without long names (8.3 paths)
//   bit 2  the archive lies behind 77 bytes of stub
//   bit 3  the first OK/Cancel question is answered Cancel
//   bit 4  the overwrite questions are answered No, then Yes To All
// One input's work is bounded by cancelling (a defined way to end) after 400
// archive reads, 32 MiB written or 600 message-queue drains: a small archive
// may otherwise name the same large stream for many members.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "harness.h"
#include "shell/ui.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> archive(data, data + size);
  const uint8_t mode = size > 12 ? data[12] : 0;
  RunOptions o;
  o.overwrite_all = mode & 1;
  o.max_component = mode & 2 ? 12 : 255;
  o.prefix = mode & 4 ? 77 : 0;
  if (mode & 8) o.box_answers = {ANSWER_CANCEL};
  if (mode & 16) o.prompt_answers = {PROMPT_NO, PROMPT_YES_TO_ALL};
  o.read_budget = 400;
  o.write_budget = 32u << 20;
  o.cancel_at_drain = 600;
  Observation obs = run_extraction(archive, o);
  std::vector<std::string> problems = general_problems(obs);
  if (!problems.empty()) {
    for (const std::string& p : problems) fprintf(stderr, "fuzz_extract: %s\n", p.c_str());
    abort();
  }
  return 0;
}
