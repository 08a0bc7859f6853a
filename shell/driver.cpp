// The extraction driver. Everything runs on the caller's (GUI) thread; the
// queue is drained now and then, never more than the UI's pump allows (the
// status line of each member and the decoders call pump_messages, the latter
// through decoder.drain_hook wherever they poll cancel_requested), so that
// the dialog repaints and Cancel and the close box get through even during a
// long member, while a run of small files asks the window system nothing per
// file; a member cancelled that way fails like any other, its partial file
// deleted. cancel_requested is also polled before every member.
//
// Buffers: one block allocated here holds the input buffer and, behind it, the
// 8 KiB directory buffer (one allocation and one failure path, and nothing
// large on the stack or in the image); the decoder's window is grown by the
// decoder and freed here at the end. Nothing is allocated per member, so
// memory does not grow with the archive.
//
// Choices this driver makes where the format leaves room:
// - Volume kind: when the volume query fails, or the destination is a
//   network path, long names are used. Every
//   volume that Windows still mounts keeps long names, and shortening names
//   where it is not needed would rename the product's files.
// - Destination length: everything built from the destination must stay
//   below 260 characters, the longest being the quoted uninstall command
//   ("<folder>\lumetra.exe" /uninstall); the packer records the longest
//   folder that allows (destination_max). A longer destination is refused
//   before anything is created, with "Cannot create folder <destination>" and
//   the line "Invalid path".
// - On a volume without long names the destination folder is made as typed,
//   while each member's path is shortened as a whole, the folder's own
//   components included (whichever name the file system then uses); every
//   member's path is formed afresh from the folder as typed, and the closing
//   actions use it as typed.
// - A failed seek to the archive's end is ERR_SEEK before anything is created;
//   a failed seek to the directory counts as a directory failure.
// - A directory entry whose name or skipped areas run past the decoded bytes
//   of its block makes the archive damaged (directory_walk_next).
// - A member whose stream ends before its size is reached fails its check
//   (deleted, "fails error check") even when the bytes written happen to have
//   the entry's CRC-32 (member_verified).
// - A member whose name would leave the destination (safe_name.h) is not
//   extracted, folder or file; the loop goes on and the result becomes
//   ERR_DAMAGED, so the user is told once the loop has ended. The closing
//   actions still run, as after a directory failure.
// - The program is started, and registered for uninstallation, with its path
//   in double quotes, so that a folder with spaces ("C:\Program Files\...")
//   cannot make Windows start another program ("C:\Program.exe").
// - A product without a program (program_name "") starts nothing and writes
//   no uninstall key.
#include "shell/driver.h"

#include "archive/directory_reader.h"
#include "archive/layout.h"
#include "decode/decoder_state.h"
#include "archive/entry_stream.h"
#include "archive/member_reader.h"
#include "decode/input.h"
#include "platform/platform.h"
#include "archive/directory_walk.h"
#include "shell/format.h"
#include "shell/names.h"
#include "shell/report_error.h"
#include "base/result_codes.h"
#include "shell/safe_name.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

namespace {

// Longest path of any kind (259 characters and the terminator).
constexpr uint32_t PATH_MAX_CHARS = PATH_BUFFER_SIZE - 1;
constexpr uint32_t ROOT_BUFFER_SIZE = 8;  // "C:\" and its terminator
constexpr uint32_t LONG_NAME_LENGTH = 255;

static_assert(DIR_ENTRY_FIXED_SIZE == 38, "directory entries have a 38-byte fixed part");

// What a member's handling leads to.
enum MemberOutcome {
  MEMBER_DONE,     // written, skipped or a folder made: go on
  MEMBER_REFUSED,  // its name leaves the destination: go on, archive damaged
  MEMBER_STOP      // the extraction ends without the closing actions
};

// A question answered, or a failure reported with OK and Cancel: Cancel ends
// the extraction, OK goes on with the next member.
MemberOutcome asked(void* window, int code, const char* path) {
  return report_error(window, code, path, 1) ? MEMBER_STOP : MEMBER_DONE;
}

// Creates the file that a member is written to before it takes its final
// name `path`, under a name that nothing has taken: the path with its last
// character replaced by a digit, counting on through the characters before
// it as an odometer does when all ten are taken (test_10 to test_18 taken
// and test_19 being written: test_20), never past the name's own
// characters. The name never grows, so it fits wherever the final one does.
// A name that is taken is never opened (file_create makes new files only),
// so neither a planted link nor an unrelated file can be written through or
// lost. Leaves the name in `temp`; INVALID_FILE with the OS reason when none
// could be made.
FileHandle create_temporary(char* temp, const char* path) {
  str_copy(temp, PATH_BUFFER_SIZE, path);
  const uint32_t len = (uint32_t)str_length(temp);
  const char* separator = str_find_last(temp, '\\');
  const char* first = separator ? separator + 1 : temp;
  char* const last = temp + len - 1;
  *last = '0' - 1;  // the first turn makes it 0
  for (;;) {
    char* p = last;
    while (p >= first && *p == '9') *p-- = '0';
    if (p < first) return INVALID_FILE;  // every name taken: last_os_error says so
    *p = *p >= '0' && *p < '9' ? (char)(*p + 1) : '0';
    if (mem_compare((const uint8_t*)temp, (const uint8_t*)path, len) == 0) continue;
    FileHandle file = file_create(temp, ATTR_NORMAL);
    if (file != INVALID_FILE || last_os_error != OS_FILE_EXISTS) return file;
  }
}

// Extracts a file member whose path is in destination, its name from
// name_start on: asks about an existing file, makes the member's folders,
// decodes it and sets its time and attributes. A member whose name is free is
// written under it at once (file_create makes new files only, so nothing that
// stands there is ever opened), and deleted again when it fails its check or
// the user cancels. A member that replaces something is written under a
// temporary name in its own folder and put in place only once it has passed
// its check, so a failure (a damaged member, Cancel, a full disk, a killed
// process) leaves the earlier file as it was. Renaming costs as much as
// creating a file, so new files, which are most of an install, skip it; what
// a killed process leaves of a new file is a partial file with nothing lost
// under it, which the next install replaces.
MemberOutcome extract_file(void* window, const DirectoryEntry& entry, char* name_start) {
  char* path = stub_config.destination;
  if (!stub_config.overwrite_all) {
    uint32_t existing = file_get_attributes(path);
    // An existing folder of the same name raises no question.
    if (existing != NO_ATTRIBUTES && !(existing & ATTR_DIRECTORY)) {
      // Only Yes and Yes To All replace: No, and a question that could not
      // be shown, keep the file.
      int answer = ui_overwrite_prompt();
      if (answer == PROMPT_YES_TO_ALL) {
        stub_config.overwrite_all = 1;
      } else if (answer != PROMPT_YES) {
        return MEMBER_DONE;
      }
      // Cancel pressed while the question was up: the loop ends at its head,
      // the file untouched.
      if (decoder.cancel_requested) return MEMBER_DONE;
    }
  }
  // Showing the status drains the queue now and then: a Cancel found there
  // ends the loop at its head before anything of this member is made.
  format_message(message_buffer, MESSAGE_BUFFER_SIZE, stub_config.status_format, name_start, 0);
  ui_set_status(window, message_buffer);
  if (decoder.cancel_requested) return MEMBER_DONE;
  if (!create_folder_path(path, name_start, 0)) return asked(window, ERR_CREATE, path);

  const uint32_t kept_bits = ATTR_READONLY | ATTR_HIDDEN | ATTR_SYSTEM;
  char temp[PATH_BUFFER_SIZE];
  char* written = path;
  FileHandle file = file_create(path, ATTR_NORMAL);
  if (file == INVALID_FILE && last_os_error == OS_FILE_EXISTS) {
    written = temp;
    file = create_temporary(temp, path);
  }
  if (file == INVALID_FILE) return asked(window, ERR_CREATE, path);

  int result = decode_member(file, entry.stream_pos, entry.stream_offset, entry.size, entry.flags);
  // Every failure from here on deletes the file written; the reason kept
  // for the message is the one that failed, whatever came after it.
  int code = ERR_CRC;
  uint32_t reason = 0;
  if (result < 0) {
    report_error(window, result, path, 0);
    code = 0;  // reported: the extraction stops
  } else if (member_verified(entry)) {
    // Windows replaces no read-only file (and CREATE_ALWAYS, no hidden or
    // system one): when the replacement is refused, what stands in the way is
    // cleared and it is tried once more. Only then: a link is replaced at the
    // first try, and whatever it leads to is never touched. When the second
    // try fails too, the file gets its attributes back.
    // (A path that is gone reads as all bits, and fails to be changed.)
    int placed = written == path || file_rename(file, temp, path);
    if (!placed) {
      code = ERR_CREATE;
      reason = last_os_error;
      const uint32_t before = file_get_attributes(path);
      placed = (before & kept_bits) && file_set_attributes(path, ATTR_NORMAL) &&
               (file_rename(file, temp, path) || (file_set_attributes(path, before), 0));
    }
    if (placed) {
      // Times and attributes through the handle of the file now in place:
      // read-only only once no failure can leave it to be deleted.
      file_set_times(file, entry.create_date, entry.create_time, entry.write_date,
                     entry.write_time, entry.attributes & kept_bits);
      file_close(file);
      return MEMBER_DONE;
    }
  }
  file_close(file);
  file_delete(written);
  if (code == 0) return MEMBER_STOP;
  last_os_error = reason;
  return asked(window, code, path);
}

// The destination folder as typed, with its separator. Every member's path is
// formed afresh from it, since shortening a path to 8.3 rewrites the folder's
// own components in place.
struct Folder {
  char text[DESTINATION_SIZE];
  uint32_t len;        // characters of text
  uint32_t short_len;  // characters of its 8.3 form, where a shortened name begins
};

// One directory entry: refuses a name that would leave the destination or
// open a device, builds the member's path within 259 characters, then makes
// a folder or extracts a file.
MemberOutcome extract_member(void* window, const DirectoryEntry& entry, const uint8_t* name,
                             const Folder& folder) {
  const uint32_t folder_len = folder.len;
  if (name_refusal(name, entry.name_len)) return MEMBER_REFUSED;
  // Name room: every output path stays within 259 characters. A name that
  // does not fit is reported as a file that cannot be created, with as much
  // of its path as fits.
  char* path = stub_config.destination;
  for (uint32_t i = 0; i <= folder_len; i++) path[i] = folder.text[i];
  char* name_start = path + folder_len;
  // The name in the encoding of paths (platform.h).
  if (archive_name_to_path(name, entry.name_len, name_start, PATH_MAX_CHARS - folder_len) < 0) {
    last_os_error = OS_BAD_PATHNAME;
    return asked(window, ERR_CREATE, path);
  }
  shorten_path(path);
  if (stub_config.short_names) name_start = path + folder.short_len;

  if (entry.flags & FLAG_FOLDER) {
    if (!create_folder_path(path, name_start, FOLDER_LAST)) {
      report_error(window, ERR_MKDIR, path, 0);
      return MEMBER_STOP;
    }
    file_set_attributes(path, entry.attributes & (ATTR_READONLY | ATTR_HIDDEN | ATTR_SYSTEM));
    return MEMBER_DONE;
  }
  return extract_file(window, entry, name_start);
}

// short_names from the volume of the destination's drive. The
// destination is absolute: a path without a drive letter is a network path,
// whose share keeps long names.
void choose_name_form(const char* destination) {
  uint32_t max_component = LONG_NAME_LENGTH;
  if (destination[1] == ':') {
    char root[ROOT_BUFFER_SIZE];
    format_message(root, sizeof(root), stub_config.root_format, destination, 0);
    if (!ui_volume_max_component(root, &max_component)) max_component = LONG_NAME_LENGTH;
  }
  stub_config.short_names = max_component < LONG_NAME_LENGTH ? 1 : 0;
}

// The closing actions: start the program and register its uninstall command.
// The destination is left holding the folder as typed, without its separator:
// the value of InstallLocation, and what the dialog names when no program is
// started.
void closing_actions(const Folder& folder) {
  char* location = stub_config.destination;
  str_copy(location, DESTINATION_SIZE, folder.text);
  if (folder.len && location[folder.len - 1] == '\\') location[folder.len - 1] = 0;
  if (!*stub_config.program_name) return;

  // "<folder>\<program>" and then, say, " /uninstall": within 259 characters
  // by destination_max.
  char command[PATH_BUFFER_SIZE];
  uint32_t n = 0;
  command[n++] = '"';
  for (const char* p = folder.text; *p; p++) command[n++] = *p;
  for (const char* p = stub_config.program_name; *p; p++) command[n++] = *p;
  command[n++] = '"';
  command[n] = 0;
  ui_start_program(command);

  void* key = 0;
  if (!ui_registry_create(stub_config.uninstall_key, &key)) return;
  for (const char* p = stub_config.registry_values; *p;) {
    const char* name = p;
    p += str_length(p) + 1;
    const char kind = *p++;
    const char* text = p;
    p += str_length(p) + 1;
    if (kind == VALUE_NUMBER) {
      uint32_t number = 0;
      for (; *text; text++) number = number * 10 + (uint32_t)(*text - '0');
      ui_registry_set(key, name, REGISTRY_NUMBER, &number, sizeof(number));
      continue;
    }
    if (kind == VALUE_PROGRAM) {
      str_copy(command + n, sizeof(command) - n, text);
      text = command;
    } else if (kind == VALUE_FOLDER) {
      text = location;
    }
    ui_registry_set(key, name, REGISTRY_TEXT, text, (uint32_t)str_length(text) + 1);
  }
  ui_registry_close(key);
}

}  // namespace

int extract_all(void* window) {
  char* destination = stub_config.destination;
  // The dialog and the host tool hand over at most 260 characters; a text
  // without a terminator ends at the buffer's last byte and is refused below
  // as too long.
  destination[DESTINATION_SIZE - 1] = 0;
  // A relative destination ("", "Lumetra", "\") is made absolute first, so
  // that the folder made, the program started and the uninstall command name
  // the installed files: never a program found beside the installer, nor a
  // network path made from "\". The folder is worked on in its absolute form;
  // one that has none of 260 characters at most is refused below, as too long.
  Folder folder;
  char* text = folder.text;
  uint32_t len = file_full_path(destination, text, DESTINATION_SIZE);

  // One trailing backslash goes, but a drive's root keeps it: "C:\" is
  // the root, where "C:" would be the drive's current folder.
  if (len >= 2 && text[len - 1] == '\\' && text[len - 2] != ':') text[--len] = 0;
  choose_name_form(text);
  uint32_t archive_end = file_seek(archive_file, 0, SEEK_FROM_END);
  if (archive_end == SEEK_FAILED) return ERR_SEEK;
  // A file shorter than its archive is cut (an interrupted download): refused
  // before anything is made. Where the header's sizes disagree with each
  // other, only the header's own length counts.
  const uint32_t length = archive_end - decoder.archive_base;
  if (length < ARCHIVE_HEADER_SIZE || (header_sizes_agree(header_copy) && length < header_copy.archive_size)) {
    return ERR_DAMAGED;
  }
  if (len == 0 || len > stub_config.destination_max) {
    last_os_error = OS_BAD_PATHNAME;
    report_error(window, ERR_MKDIR, destination, 0);
    return 0;
  }
  // A root names no folder to make, and takes no separator.
  int names_folder = text[len - 1] != '\\';
  if (names_folder && !create_folder_path(text, 0, FOLDER_LAST | FOLDER_THROUGH_LINKS)) {
    report_error(window, ERR_MKDIR, text, 0);
    return 0;
  }
  // The input buffer and, behind it, the directory buffer, for this run.
  decoder.in.input_buffer = (uint8_t*)mem_alloc(INPUT_BUFFER_ALLOC + DIR_BUFFER_SIZE);
  if (!decoder.in.input_buffer) return ERR_NOMEM;
  // The decoders load whole words at the read position, so near the end of a
  // frame they read bytes past those filled (the spare bytes among them);
  // with valid data those bits never decide anything, with damaged data they
  // may. Zeroed once, they are defined from the first frame on, and a damaged
  // archive decodes the same on every run.
  mem_fill(decoder.in.input_buffer, 0, INPUT_BUFFER_ALLOC);
  uint8_t* dir_buffer = decoder.in.input_buffer + INPUT_BUFFER_ALLOC;
  reset_stream_state();
  decoder.drain_hook = pump_messages;
  // The destination as members' paths begin: with one separator at its end.
  if (names_folder) {
    text[len++] = '\\';
    text[len] = 0;
  }
  for (uint32_t i = 0; i <= len; i++) destination[i] = text[i];
  folder.len = len;
  shorten_path(destination);
  folder.short_len = (uint32_t)str_length(destination);
  // Members make their folders below the destination only; in 8.3 form the
  // destination itself may be another name than the one made above.
  if (stub_config.short_names) create_folder_path(destination, 0, FOLDER_LAST | FOLDER_THROUGH_LINKS);

  // Every entry in directory order, until Cancel or a failure that ends the run.
  int result = directory_walk_begin(dir_buffer, header_copy.directory_pos);
  int stopped = 0;
  uint32_t count = result == 0 ? header_copy.member_count : 0;
  for (uint32_t i = 0; i < count; i++) {
    if (decoder.cancel_requested) break;
    DirectoryEntry entry;
    const uint8_t* name;
    int walked = directory_walk_next(dir_buffer, &entry, &name);
    if (walked != 0) {
      // A damaged directory still has the closing actions run; a directory
      // that could not be read from the installer's own file does not.
      result = walked;
      stopped = walked == READ_FAILED;
      break;
    }
    MemberOutcome outcome = extract_member(window, entry, name, folder);
    if (outcome == MEMBER_STOP) {
      stopped = 1;
      break;
    }
    if (outcome == MEMBER_REFUSED) result = ERR_DAMAGED;
  }

  // The closing actions (start the program, register the uninstall entry):
  // not after Cancel, nor after a member failure that ended the extraction.
  if (!stopped && !decoder.cancel_requested) {
    closing_actions(folder);
    extraction_completed = 1;
  }

  // The decoders let go of the dialog, the window and the buffers.
  decoder.drain_hook = nullptr;
  reset_stream_state();
  mem_free(decoder.in.input_buffer);
  decoder.in.input_buffer = 0;
  return result;
}
