// qev test: decodes every file member into a sink and checks it, writing
// nothing. It reads the archive as the installer does (the directory walk and
// read_member, archive/member_reader.h), in directory order, so shared
// streams are decoded as the installer decodes them. Unlike the installer it
// goes on after a failed member, to report every one; the failures are the
// installer's messages on standard error, and a summary with the declared
// size goes to standard output. Beyond the members' CRC-32 it reports as
// damaged what the packer never writes, since no checksum covers the
// directory: names that the installer refuses, two entries of one name as
// Windows compares names, header sizes that disagree with each other or with
// the file, and a directory that does not end after member_count entries.
#include <stdio.h>
#include <unistd.h>

#include <map>
#include <string>

#include "archive/layout.h"
#include "cli/archive_session.h"
#include "cli/commands.h"
#include "cli/counts.h"
#include "cli/host_ui.h"
#include "decode/decoder_state.h"
#include "archive/member_reader.h"
#include "encode/name_rules.h"
#include "platform/platform.h"
#include "archive/directory_walk.h"
#include "shell/driver.h"
#include "shell/format.h"
#include "shell/report_error.h"
#include "base/result_codes.h"
#include "shell/safe_name.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

int run_test(const ArchiveCommandOptions& options) {
  ArchiveSession session(options, "test");
  ArchiveSession::Outcome outcome = session.open();
  if (outcome == ArchiveSession::EMPTY) return EXIT_OK;
  if (outcome == ArchiveSession::FAILED || !session.prepare_reading()) return EXIT_FAILED;
  FileHandle sink = file_open("/dev/null", ACCESS_WRITE);
  if (sink == INVALID_FILE) {
    host_ui_fail("cannot open /dev/null");
    return EXIT_FAILED;
  }

  uint32_t seen = 0, files = 0, folders = 0, failed = 0;
  uint64_t bytes = 0;
  bool damaged = false;
  // Names as Windows compares them, each with the first entry that had it.
  std::map<std::string, std::string> names;
  int result = directory_walk_begin(session.dir_buffer(), header_copy.directory_pos);
  for (uint32_t i = 0; result == 0 && i < header_copy.member_count; i++) {
    DirectoryEntry entry;
    const uint8_t* raw_name;
    result = directory_walk_next(session.dir_buffer(), &entry, &raw_name);
    if (result != 0) break;
    seen++;
    char name[0x10000];
    for (uint32_t k = 0; k < entry.name_len; k++) name[k] = (char)raw_name[k];
    name[entry.name_len] = 0;
    if (int refusal = name_refusal(raw_name, entry.name_len)) {
      // The installer would not extract it and calls the archive damaged.
      host_ui_fail("%s: %s", host_display(name, entry.name_len).c_str(), refusal_text(refusal));
      damaged = true;
      failed++;
      continue;
    }
    // Two entries of one name would be one file on Windows (two entries of
    // one stream's bytes are fine: a packer may store identical files once).
    auto [first, fresh] = names.emplace(qev::windows_key(std::string(name, entry.name_len)), name);
    if (!fresh) {
      host_ui_fail("%s: the same name as %s, as Windows compares names",
                   host_display(name, entry.name_len).c_str(), host_display(first->second.c_str()).c_str());
      damaged = true;
      failed++;
      continue;
    }
    if (entry.flags & FLAG_FOLDER) {
      folders++;
      continue;
    }
    files++;
    bytes += entry.size;
    format_message(message_buffer, MESSAGE_BUFFER_SIZE, "Testing %s", name, nullptr);
    ui_set_status(nullptr, message_buffer);
    int code = read_member(sink, entry);
    if (code != 0) {
      failed++;
      if (!report_error(nullptr, code, name, 0)) {
        host_ui_fail("%s: cannot be read from the archive", host_display(name, entry.name_len).c_str());
      }
    }
  }
  host_ui_end_status();
  file_close(sink);
  // What the packer never writes, although no checksum covers it.
  if (result == 0) {
    std::string problem = session.layout_problem();
    if (!problem.empty()) {
      host_ui_fail("%s: %s", options.archive.c_str(), problem.c_str());
      damaged = true;
    }
  }
  if (result != 0 || damaged) {
    // As the installer tells it once the loop has ended.
    if (!report_error(nullptr, result != 0 ? result : ERR_DAMAGED, nullptr, 0)) {
      host_ui_fail("%s: the directory cannot be read", options.archive.c_str());
    }
  }
  const bool summary = options.common.verbosity != Verbosity::Quiet;
  if (failed == 0 && result == 0 && !damaged) {
    if (summary) {
      printf("%s and %s OK, %s bytes\n", count_of(files, "file").c_str(), count_of(folders, "folder").c_str(),
             with_commas(bytes).c_str());
    }
    return EXIT_OK;
  }
  if (summary) {
    printf("%u of %s failed%s\n", failed, count_of(seen, "entry", "entries").c_str(),
           result != 0 || damaged ? "; the directory is damaged" : "");
  }
  return EXIT_FAILED;
}
