#pragma once
// A temporary folder for one test, removed with everything in it (read-only
// files included) when the object goes; and small file helpers. Host only.
#include <stdint.h>

#include <string>
#include <vector>

class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // Host path (slashes) of `relative` inside the folder ("" for the folder).
  std::string host(const std::string& relative = "") const;
  // The same path in the archive's form: backslashes, as the shell builds paths
  // (the file layer turns them into slashes).
  std::string win(const std::string& relative = "") const;

 private:
  std::string root_;
};

void write_file(const std::string& host_path, const std::vector<uint8_t>& bytes);
void write_file(const std::string& host_path, const std::string& text);
// Contents of a file; throws when it cannot be read.
std::string read_file(const std::string& host_path);
bool path_exists(const std::string& host_path);
bool is_folder(const std::string& host_path);
// Every file and folder below root, relative, sorted ("a/", "a/b.txt").
std::vector<std::string> list_tree(const std::string& root);
