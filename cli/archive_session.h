#pragma once
// What list, test and extract share: turning a command-line path into the
// shell's form, finding the archive in a bare archive or an installer, and
// opening it through the installer's own start-up code. The session is the
// one place where the command's options become the state that the shell and
// the host UI read (stub_config, host_ui).
#include <stdint.h>

#include <string>
#include <vector>

#include "cli/options.h"

// A path from the command line (UTF-8) in the code page of the shell and the
// file layer (Windows-1252). False when it cannot be held: a character outside
// Windows-1252, or a backslash (which the file layer takes as a separator).
// With `backslashes`, slashes become backslashes, the separator that the
// shell's folder code climbs on. The file layer turns either form back into
// the same host path.
bool to_shell_path(const char* utf8, bool backslashes, std::string* out);

class ArchiveSession {
 public:
  enum Outcome {
    OPENED,  // header read, at least one member
    EMPTY,   // "Archive contains no files" was shown
    FAILED   // a message was shown
  };
  // Sets up the host UI for the options: messages, progress, the answers to
  // the overwrite prompt.
  // `command` names the command in its messages ("qev list: ...").
  ArchiveSession(const ArchiveCommandOptions& options, const char* command);
  // Finds the archive base of options.archive (0 for a bare archive, the
  // recorded offset for an installer), puts it in stub_config.archive_offset
  // and runs start-up on the file. Messages go through the host UI.
  Outcome open();
  // Puts options.folder and the overwrite mode where the extraction driver
  // reads them; false (with a message) when the folder cannot be named there.
  bool set_destination();
  // Allocates the input buffer (for the directory reader and the decoder) and
  // a directory buffer; false when memory runs out (a message was shown).
  bool prepare_reading();
  uint8_t* dir_buffer() { return dir_buffer_.data(); }
  // An installer's stub image, the bytes before its archive (empty for a
  // bare archive).
  const std::vector<uint8_t>& stub_image() const { return stub_image_; }
  // Frees what prepare_reading allocated (also done when the session ends).
  void finish_reading();
  // The total that the directory declares for its file members, walked from
  // its start (prepare_reading first); false when the walk fails.
  bool declared_bytes(uint64_t* total);
  // Once every entry has been walked: "" when the archive is laid out as the
  // packer lays it out, else what differs: the header's sizes disagree with
  // each other or with the file, or the directory does not end after
  // member_count entries, where the archive ends.
  std::string layout_problem();
  // Closes the archive and frees the buffers and the decoder's window.
  ~ArchiveSession();

 private:
  const ArchiveCommandOptions& options_;
  std::vector<uint8_t> dir_buffer_;
  std::vector<uint8_t> stub_image_;
};
