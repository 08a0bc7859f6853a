#include "shell/startup.h"

#include "archive/layout.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "platform/platform.h"
#include "shell/names.h"
#include "shell/report_error.h"
#include "base/result_codes.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

namespace {

// A start-up failure: the message names exe_name, and start-up ends. The file
// stays open on these paths until the process ends.
int fail(int code) {
  report_error(0, code, 0, 0);
  return 0;
}

}  // namespace

int startup_open_archive(const char* exe_path) {
  // The base name follows the last backslash, else the last colon, else it is
  // the whole path (one pass finds both). A name longer than exe_name can hold
  // is cut.
  const char* after_backslash = 0;
  const char* after_colon = exe_path;
  for (const char* p = exe_path; *p; p++) {
    if (*p == '\\') after_backslash = p + 1;
    if (*p == ':') after_colon = p + 1;
  }
  const char* base = after_backslash ? after_backslash : after_colon;
  uint32_t n = 0;
  while (base[n] && n < EXE_NAME_SIZE - 1) {
    exe_name[n] = base[n];
    n++;
  }
  exe_name[n] = 0;

  archive_file = file_open(exe_path, ACCESS_READ);
  if (archive_file == INVALID_FILE) return fail(ERR_OPEN);
  build_crc_table();
  decoder.archive_base = stub_config.archive_offset;
  connect_decoder_to_config();
  if (file_seek(archive_file, 0, SEEK_FROM_END) == SEEK_FAILED) return fail(ERR_SEEK);
  // Not tested: a base past the end shows up as a short header read below.
  file_seek(archive_file, decoder.archive_base, SEEK_FROM_START);
  uint8_t raw[ARCHIVE_HEADER_SIZE];
  if (file_read(archive_file, raw, ARCHIVE_HEADER_SIZE) != (int32_t)ARCHIVE_HEADER_SIZE) {
    return fail(ERR_READ);
  }
  parse_header(raw, &header_copy);
  // The only test on the header's contents; its magic is not compared.
  if (header_copy.member_count == 0) {
    ui_message_box(0, stub_config.empty_archive_text, stub_config.title, BOX_OK);
    return 0;
  }
  return 1;
}

void choose_default_destination() {
  // Only existence is probed: a file of the preset name counts as existing.
  const char* chosen = stub_config.preset_destination;
  if (file_get_attributes(chosen) == NO_ATTRIBUTES &&
      file_get_attributes(stub_config.program_files_folder) != NO_ATTRIBUTES) {
    chosen = stub_config.alternative_destination;
  }
  str_copy(stub_config.destination, DESTINATION_SIZE, chosen);
}
