#include "scratch_folder.h"

#include <filesystem>
#include <fstream>
#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

static int instances = 0;

ScratchFolder::ScratchFolder()
    : name_("plat_scratch_" + std::to_string(getpid()) + "_" + std::to_string(++instances)) {
  std::error_code ec;
  fs::remove_all(name_, ec);
  fs::create_directory(name_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  // Read-only files cannot be deleted on Windows: give write permission back first.
  for (auto it = fs::recursive_directory_iterator(name_, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(name_, ec);
}

std::string ScratchFolder::path(const std::string& leaf) const {
  return leaf.empty() ? name_ : name_ + "\\" + leaf;
}

std::string ScratchFolder::native(const std::string& leaf) const {
  std::string p = path(leaf);
#ifndef _WIN32
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
#endif
  return p;
}

void ScratchFolder::write_file(const std::string& leaf, const std::string& content) const {
  std::ofstream out(native(leaf), std::ios::binary);
  out << content;
}
