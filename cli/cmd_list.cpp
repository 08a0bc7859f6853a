// qev list ARCHIVE: one line per directory entry, read with the installer's
// own directory walk:
//   kind  size  attributes  modification time  name
// Attributes are R (read-only), H (hidden), S (system), A (archive), '-' when
// clear; a time of "-" means the entry leaves it to the system. An installer's
// product settings come first (encode/stub_product.h).
#include <stdio.h>
#include <string.h>

#include "archive/layout.h"
#include "cli/archive_session.h"
#include "cli/commands.h"
#include "cli/host_ui.h"
#include "encode/stub_product.h"
#include "shell/directory_walk.h"
#include "shell/report_error.h"
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

int cmd_list(int argc, char** argv) {
  if (argc != 1 || argv[0][0] == '-') {
    fputs("usage: qev list ARCHIVE\n", stderr);
    return EXIT_USAGE;
  }
  host_ui = HostUi{};
  ArchiveSession session;
  ArchiveSession::Outcome outcome = session.open(argv[0]);
  if (outcome == ArchiveSession::EMPTY) return EXIT_OK;
  if (outcome == ArchiveSession::FAILED || !session.prepare_reading()) return EXIT_FAILED;

  qev::InstallerProduct product;
  if (qev::read_product(session.stub_image(), product)) fputs(qev::describe_product(product).c_str(), stdout);

  int result = directory_walk_begin(session.dir_buffer());
  for (uint32_t i = 0; result == 0 && i < header_copy.member_count; i++) {
    DirectoryEntry entry;
    const uint8_t* name;
    result = directory_walk_next(session.dir_buffer(), &entry, &name);
    if (result != 0) break;
    bool folder = entry.flags & FLAG_FOLDER;
    printf("%-6s %10u  %s  %s  %s\n", folder ? "folder" : "file", folder ? 0u : entry.size,
           attribute_letters(entry.attributes).c_str(),
           dos_stamp(entry.write_date, entry.write_time).c_str(),
           host_display((const char*)name, entry.name_len).c_str());
  }
  fflush(stdout);
  if (result != 0) {
    if (!report_error(nullptr, result, nullptr, 0)) {
      fprintf(stderr, "qev: %s: the directory cannot be read\n", argv[0]);
    }
    return EXIT_FAILED;
  }
  return EXIT_OK;
}
