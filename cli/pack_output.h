#pragma once
// Where qev pack writes its archive or installer.
//
// A regular file, new or existing (through a symbolic link too), is written
// under a temporary name in its folder and renamed over it only when
// complete: a failed pack leaves the old file as it was, or nothing. An
// existing file keeps its permissions; a new one gets 0644, or 0755 for an
// installer, less the umask.
//
// Standard output ("-") and an existing file that is not a regular file (a
// device, a FIFO) are never replaced: they get the finished bytes, copied from
// an unnamed temporary file (the writer patches the header at the end, which
// a pipe cannot take back), so they too see nothing of a failed pack. A
// folder is refused.
#include <stdio.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "encode/archive_writer.h"

class PackOutput {
 public:
  ~PackOutput();  // removes the temporary file unless committed

  // Looks at `path` before the source is scanned; false, with `error`, when
  // it names a folder.
  bool inspect(const std::string& path, std::string& error);
  // The identity of an existing regular OUT, which the scan leaves out.
  bool existing_file(dev_t* device, ino_t* inode) const;
  // Standard output or a file that is not regular: the summary then goes
  // elsewhere than standard output, and no new file appears.
  bool to_stream() const { return stream_; }
  bool to_standard_output() const { return path_ == "-"; }

  // Creates the temporary file.
  bool begin(bool executable, std::string& error);
  qev::ByteSink& sink();
  // Makes the bytes written the output: the rename, or the copy.
  bool commit(std::string& error);

 private:
  bool copy_to_stream(std::string& error);

  std::string path_;       // as given
  std::string target_;     // the regular file replaced (symbolic links followed)
  std::string temporary_;  // its temporary name; empty for a stream
  bool exists_ = false, stream_ = false, executable_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  mode_t mode_ = 0;
  FILE* file_ = nullptr;
  std::unique_ptr<qev::ByteSink> sink_;
};
