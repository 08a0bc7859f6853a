// qev list: one line per directory entry, read with the installer's
// own directory walk:
//   kind  size  attributes  modification time  name
// Attributes are R (read-only), H (hidden), S (system), A (archive), '-' when
// clear; a time of "-" means the entry leaves it to the system. With -v the
// CRC-32 and the call filter of each file stand before the name. A name that
// the installer would refuse (safe_name.h) is flagged on standard error, and
// the exit status is then 1. A last line gives the counts and the size that
// the directory declares. An installer's product settings come first
// (encode/stub_product.h).
#include <stdio.h>
#include <string.h>

#include "archive/layout.h"
#include "cli/archive_session.h"
#include "cli/commands.h"
#include "cli/counts.h"
#include "cli/host_ui.h"
#include "archive/directory_walk.h"
#include "encode/stub_product.h"
#include "shell/report_error.h"
#include "shell/safe_name.h"
#include "shell/shell_state.h"

namespace {

std::string dos_stamp(uint16_t date, uint16_t time) {
  if (date == 0) return "-                  ";
  char text[32];
  snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", 1980u + (date >> 9),
           (date >> 5) & 15u, date & 31u, (unsigned)(time >> 11), (time >> 5) & 63u,
           (time & 31u) * 2);
  return text;
}

std::string attribute_letters(uint8_t attributes) {
  std::string s = "----";
  if (attributes & 0x01) s[0] = 'R';
  if (attributes & 0x02) s[1] = 'H';
  if (attributes & 0x04) s[2] = 'S';
  if (attributes & 0x20) s[3] = 'A';
  return s;
}

}  // namespace

int run_list(const ArchiveCommandOptions& options) {
  ArchiveSession session(options, "list");
  ArchiveSession::Outcome outcome = session.open();
  if (outcome == ArchiveSession::EMPTY) return EXIT_OK;
  if (outcome == ArchiveSession::FAILED || !session.prepare_reading()) return EXIT_FAILED;

  qev::InstallerProduct product;
  if (qev::read_product(session.stub_image(), product)) fputs(qev::describe_product(product).c_str(), stdout);

  bool refused = false;
  uint32_t files = 0, folders = 0;
  uint64_t bytes = 0;
  int result = directory_walk_begin(session.dir_buffer(), header_copy.directory_pos);
  for (uint32_t i = 0; result == 0 && i < header_copy.member_count; i++) {
    DirectoryEntry entry;
    const uint8_t* name;
    result = directory_walk_next(session.dir_buffer(), &entry, &name);
    if (result != 0) break;
    bool folder = entry.flags & FLAG_FOLDER;
    folders += folder;
    files += !folder;
    if (!folder) bytes += entry.size;
    std::string checks;
    if (options.common.verbosity == Verbosity::Verbose) {
      char crc[16] = "-";
      if (!folder) snprintf(crc, sizeof crc, "%08X", entry.crc32);
      const char* filter = entry.flags & FLAG_E8_32 ? "e8-32" : entry.flags & FLAG_E8_16 ? "e8-16" : "-";
      char text[32];
      snprintf(text, sizeof text, "%-8s  %-5s  ", crc, filter);
      checks = text;
    }
    printf("%-6s %10u  %s  %s  %s%s\n", folder ? "folder" : "file", folder ? 0u : entry.size,
           attribute_letters(entry.attributes).c_str(),
           dos_stamp(entry.write_date, entry.write_time).c_str(), checks.c_str(),
           host_display((const char*)name, entry.name_len).c_str());
    if (int refusal = name_refusal(name, entry.name_len)) {
      // Listed as it stands, and flagged: the installer would not extract it.
      fflush(stdout);
      host_ui_fail("%s: %s", host_display((const char*)name, entry.name_len).c_str(), refusal_text(refusal));
      refused = true;
    }
  }
  fflush(stdout);
  if (result != 0) {
    if (!report_error(nullptr, result, nullptr, 0)) {
      host_ui_fail("%s: the directory cannot be read", options.archive.c_str());
    }
    return EXIT_FAILED;
  }
  if (options.common.verbosity != Verbosity::Quiet) {
    printf("%s and %s, %s bytes\n", count_of(files, "file").c_str(), count_of(folders, "folder").c_str(),
           with_commas(bytes).c_str());
  }
  return refused ? EXIT_FAILED : EXIT_OK;
}
