#pragma once
// A private folder for one test, below the current folder, named after the
// process and numbered, so that tests running at once or one after another do
// not meet. Paths are handed out in
// the installer's form (backslash separators, relative), which both file layers
// accept. The folder and everything in it, read-only files included, is
// removed at the end.
#include <string>

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // "<folder>\leaf" (leaf may hold further backslashes), or the folder itself.
  std::string path(const std::string& leaf = "") const;
  // The same path with the host's separator, for std::filesystem and the OS.
  std::string native(const std::string& leaf = "") const;
  // Creates a file holding `content` (test set-up, not through the layer).
  void write_file(const std::string& leaf, const std::string& content) const;

 private:
  std::string name_;
};
