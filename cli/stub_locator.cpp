#include "cli/stub_locator.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool is_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The folder of the running program, with symbolic links resolved.
std::string program_folder() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  std::string p(path, (size_t)n);
  return p.substr(0, p.find_last_of('/'));
}

// "a/b/../c" as "a/c", so that messages name the place plainly.
std::string without_dot_dot(const std::string& path) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(at, slash - at);
    if (part == ".." && !parts.empty() && !parts.back().empty() && parts.back() != "..") {
      parts.pop_back();
    } else if (part != ".") {
      parts.push_back(part);
    }
    at = slash + 1;
  }
  std::string joined;
  for (size_t i = 0; i < parts.size(); i++) joined += (i ? "/" : "") + parts[i];
  return joined;
}

std::string real_path(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

}  // namespace

std::string find_stub(std::vector<std::string>* looked) {
  const std::string folder = program_folder();
  if (folder.empty()) return "";
  std::string installed = without_dot_dot(folder + "/" + QEV_STUB_FROM_BINDIR);
  looked->push_back(installed);
  if (is_file(installed)) return installed;
  if (folder == real_path(QEV_BUILD_DIR)) {
    looked->push_back(QEV_BUILD_STUB);
    if (is_file(QEV_BUILD_STUB)) return QEV_BUILD_STUB;
  }
  return "";
}
