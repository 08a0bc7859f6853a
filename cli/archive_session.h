#pragma once
// What list, test and extract share: turning a command-line path into the
// shell's form, finding the archive in a bare archive or an installer, and
// opening it through the installer's own start-up code.
#include <stdint.h>

#include <string>
#include <vector>

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
  // Finds the archive base of `utf8_path` (0 for a bare archive, the recorded
  // offset for an installer), puts it in stub_config.archive_offset and runs
  // start-up on the file. Messages go through the host UI.
  Outcome open(const char* utf8_path);
  // Allocates the input buffer (for the directory reader and the decoder) and
  // a directory buffer; false when memory runs out (a message was shown).
  bool prepare_reading();
  uint8_t* dir_buffer() { return dir_buffer_.data(); }
  // An installer's stub image, the bytes before its archive (empty for a
  // bare archive).
  const std::vector<uint8_t>& stub_image() const { return stub_image_; }
  // Closes the archive and frees the buffers and the decoder's window.
  ~ArchiveSession();

 private:
  std::vector<uint8_t> dir_buffer_;
  std::vector<uint8_t> stub_image_;
};
