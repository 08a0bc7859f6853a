#include "scratch.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

Scratch::Scratch() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qev-shell-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  root_ = buf.data();
}

Scratch::~Scratch() {
  // Give write permission back everywhere first: read-only files stay
  // removable for root anyway, but not for other users.
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(root_, ec);
}

std::string Scratch::host(const std::string& relative) const {
  return relative.empty() ? root_ : root_ + "/" + relative;
}

std::string Scratch::win(const std::string& relative) const {
  std::string p = host(relative);
  std::replace(p.begin(), p.end(), '/', '\\');
  return p;
}

void write_file(const std::string& host_path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(host_path, std::ios::binary | std::ios::trunc);
  out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
  if (!out) throw std::runtime_error("cannot write " + host_path);
}

void write_file(const std::string& host_path, const std::string& text) {
  write_file(host_path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string read_file(const std::string& host_path) {
  std::ifstream in(host_path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + host_path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool path_exists(const std::string& host_path) {
  struct stat st;
  return lstat(host_path.c_str(), &st) == 0;
}

bool is_folder(const std::string& host_path) {
  struct stat st;
  return stat(host_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> list_tree(const std::string& root) {
  std::vector<std::string> names;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).string();
    names.push_back(e.is_directory() ? rel + "/" : rel);
  }
  std::sort(names.begin(), names.end());
  return names;
}
