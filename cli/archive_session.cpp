#include "cli/archive_session.h"

#include <stdio.h>
#include <string.h>

#include "archive/directory_reader.h"
#include "archive/layout.h"
#include "cli/counts.h"
#include "cli/host_ui.h"
#include "decode/decoder_state.h"
#include "archive/entry_stream.h"
#include "decode/input.h"
#include "encode/stub_image.h"
#include "platform/cp1252.h"
#include "platform/platform.h"
#include "archive/directory_walk.h"
#include "shell/report_error.h"
#include "shell/names.h"
#include "base/result_codes.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/stub_config.h"

namespace {

// An installer's configuration block lies within its stub image, which is far
// smaller than this.
constexpr size_t HEAD_SIZE = 1 << 20;
constexpr size_t PATH_SIZE = 4096;

}  // namespace

bool to_shell_path(const char* utf8, bool backslashes, std::string* out) {
  std::vector<char> converted(PATH_SIZE);
  for (const char* p = utf8; *p; p++) {
    if (*p == '\\') return false;
  }
  if (!utf8_to_cp1252(utf8, converted.data(), converted.size())) return false;
  std::string path = converted.data();
  for (char& c : path) {
    if (c == '/' && backslashes) c = '\\';
  }
  *out = path;
  return true;
}

ArchiveSession::ArchiveSession(const ArchiveCommandOptions& options, const char* command)
    : options_(options) {
  host_ui = HostUi{};
  host_ui.prefix = std::string("qev ") + command;
  host_ui.verbose = options.common.verbosity == Verbosity::Verbose;
  host_ui.overwrite = options.overwrite;
  host_ui.interactive = options.overwrite == ASK_EACH;
  host_ui.progress = options.common.progress;
}

ArchiveSession::Outcome ArchiveSession::open() {
  const char* utf8_path = options_.archive.c_str();
  stub_config_reset();
  std::string path;
  // Slashes stay: the installer's texts then name the archive as it was typed.
  if (!to_shell_path(utf8_path, false, &path)) {
    host_ui_fail("%s: the name cannot be written in Windows-1252 without backslashes", utf8_path);
    return FAILED;
  }
  // Where does the archive begin? A file that cannot be read here, and one
  // too short to tell (the first bytes of the magic), are left to start-up,
  // which reports them in the installer's words.
  uint32_t base = 0;
  if (FILE* f = fopen(utf8_path, "rb")) {
    std::vector<uint8_t> head(HEAD_SIZE);
    size_t n = fread(head.data(), 1, head.size(), f);
    bool unread = ferror(f) != 0;
    fclose(f);
    int64_t located = locate_archive(head.data(), n);
    bool cut_magic = n > 0 && n < 4 && memcmp(head.data(), ARCHIVE_MAGIC, n) == 0;
    if (located < 0 && !unread && !cut_magic) {
      host_ui_fail("%s: not a QEV archive or installer", utf8_path);
      return FAILED;
    }
    base = located < 0 ? 0 : (uint32_t)located;
    if (base > 0 && base <= n) stub_image_.assign(head.begin(), head.begin() + base);
  }
  stub_config.archive_offset = base;
  uint32_t warnings = host_ui.warnings;
  if (startup_open_archive(path.c_str())) return OPENED;
  return host_ui.warnings == warnings ? EMPTY : FAILED;
}

bool ArchiveSession::set_destination() {
  const char* folder = options_.folder.c_str();
  std::string destination;
  if (!to_shell_path(folder, true, &destination)) {
    host_ui_fail("%s: the name cannot be written in Windows-1252 without backslashes", folder);
    return false;
  }
  if (!str_copy(stub_config.destination, DESTINATION_SIZE, destination.c_str())) {
    host_ui_fail("%s: the folder name is longer than 260 characters", folder);
    return false;
  }
  // The driver asks about every existing file, and the host UI answers for
  // the overwrite mode: so each replaced or kept file is counted there.
  stub_config.overwrite_all = 0;
  decoder.cancel_requested = 0;
  return true;
}

bool ArchiveSession::prepare_reading() {
  dir_buffer_.assign(DIR_BUFFER_SIZE, 0);
  decoder.in.input_buffer = (uint8_t*)mem_alloc(INPUT_BUFFER_ALLOC);
  if (!decoder.in.input_buffer) {
    report_error(nullptr, ERR_NOMEM, nullptr, 0);
    return false;
  }
  // Defined from the start, as the driver's: the decoders read past the
  // bytes filled near a frame's end.
  mem_fill(decoder.in.input_buffer, 0, INPUT_BUFFER_ALLOC);
  reset_stream_state();
  return true;
}

void ArchiveSession::finish_reading() {
  reset_stream_state();
  if (decoder.in.input_buffer) mem_free(decoder.in.input_buffer);
  decoder.in.input_buffer = nullptr;
}

bool ArchiveSession::declared_bytes(uint64_t* total) {
  *total = 0;
  if (directory_walk_begin(dir_buffer(), header_copy.directory_pos) != 0) return false;
  for (uint32_t i = 0; i < header_copy.member_count; i++) {
    DirectoryEntry entry;
    const uint8_t* name;
    if (directory_walk_next(dir_buffer(), &entry, &name) != 0) return false;
    if (!(entry.flags & FLAG_FOLDER)) *total += entry.size;
  }
  return true;
}

std::string ArchiveSession::layout_problem() {
  const ArchiveHeader& h = header_copy;
  const uint32_t base = decoder.archive_base;
  if (!header_sizes_agree(h)) {
    return "the header's sizes disagree with each other (directory at " + with_commas(h.directory_pos) +
           ", " + with_commas(h.stream_data_size) + " bytes of streams, " + with_commas(h.archive_size) +
           " bytes in all)";
  }
  // After the walk: whoever reads next positions the file first.
  const uint32_t end = file_seek(archive_file, 0, SEEK_FROM_END);
  if (end == SEEK_FAILED || end - base < h.archive_size) {
    return "the file holds less than the archive's " + with_commas(h.archive_size) + " bytes";
  }
  const uint32_t directory_end = decoder.dir_read_pos - base;
  if (decoder.dir_cursor != decoder.dir_end || directory_end < h.archive_size) {
    return "the directory goes on past its " + count_of(h.member_count, "entry", "entries");
  }
  if (directory_end > h.archive_size) {
    return "the directory ends past the archive's " + with_commas(h.archive_size) + " bytes";
  }
  return "";
}

ArchiveSession::~ArchiveSession() {
  finish_reading();
  if (archive_file != INVALID_FILE) file_close(archive_file);
  archive_file = INVALID_FILE;
}
