#include "encode/source_tree.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <utility>

#include "encode/name_rules.h"
#include "platform/cp1252.h"
#include "platform/dos_time.h"

namespace qev {
namespace {

struct Walker {
  ScanResult& out;
  std::vector<std::pair<dev_t, ino_t>> ancestors;

  bool fail(const std::string& msg) {
    out.error = msg;
    return false;
  }

  void set_times(PackEntry& e, const struct stat& st, const std::string& path) {
    bool clamped = false;
    time_to_dos(st.st_mtime, &e.write_date, &e.write_time, &clamped);
    e.create_date = e.write_date;
    e.create_time = e.write_time;
    if (clamped) out.warnings.push_back("'" + path + "': modification time outside 1980-2107, clamped");
  }

  bool walk(const std::string& dir, const std::string& prefix) {
    DIR* d = opendir(dir.c_str());
    if (!d) return fail("cannot read folder '" + dir + "': " + strerror(errno));
    std::vector<std::string> names;
    errno = 0;
    while (struct dirent* de = readdir(d)) {
      if (strcmp(de->d_name, ".") && strcmp(de->d_name, "..")) names.push_back(de->d_name);
    }
    int err = errno;
    closedir(d);
    if (err) return fail("cannot read folder '" + dir + "': " + strerror(err));
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
      std::string path = dir + "/" + n;
      struct stat st;
      if (stat(path.c_str(), &st) != 0) return fail("cannot read '" + path + "': " + strerror(errno));
      std::vector<char> conv(n.size() * 3 + 4);
      if (!utf8_to_cp1252(n.c_str(), conv.data(), conv.size()))
        return fail("'" + path + "': the name has characters that Windows-1252 cannot hold");
      std::string name = prefix.empty() ? std::string(conv.data()) : prefix + "\\" + conv.data();
      std::string why = check_name(name);
      if (!why.empty()) return fail("'" + path + "': " + why);
      if (S_ISDIR(st.st_mode)) {
        for (auto& a : ancestors)
          if (a.first == st.st_dev && a.second == st.st_ino)
            return fail("'" + path + "' leads back to an enclosing folder");
        PackEntry e;
        e.name = name;
        e.folder = true;
        e.attributes = 0x10;
        set_times(e, st, path);
        out.entries.push_back(std::move(e));
        if (out.entries.size() > MAX_MEMBERS)
          return fail("too many files and folders (at most " + std::to_string(MAX_MEMBERS) + ")");
        ancestors.push_back({st.st_dev, st.st_ino});
        if (!walk(path, name)) return false;
        ancestors.pop_back();
      } else if (S_ISREG(st.st_mode)) {
        if ((uint64_t)st.st_size > 0xFFFFFFFFull - 4096)
          return fail("'" + path + "' is too large (a member holds less than 4 GiB)");
        PackEntry e;
        e.name = name;
        e.source = path;
        e.size = (uint64_t)st.st_size;
        e.attributes = 0x20 | ((st.st_mode & S_IWUSR) ? 0 : 0x01);
        set_times(e, st, path);
        out.total_bytes += (uint64_t)st.st_size;
        out.entries.push_back(std::move(e));
        if (out.entries.size() > MAX_MEMBERS)
          return fail("too many files and folders (at most " + std::to_string(MAX_MEMBERS) + ")");
      } else {
        out.warnings.push_back("'" + path + "' is not a file or folder; skipped");
      }
    }
    return true;
  }
};

}  // namespace

bool scan_source_tree(const std::string& root, ScanResult& out) {
  out = ScanResult();
  struct stat st;
  if (stat(root.c_str(), &st) != 0) {
    out.error = "cannot read folder '" + root + "': " + strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    out.error = "'" + root + "' is not a folder";
    return false;
  }
  Walker w{out, {{st.st_dev, st.st_ino}}};
  std::string r = root;
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  if (!w.walk(r, "")) return false;
  // Windows compares names without regard to case: two such names would be
  // one file there, and the second would overwrite the first.
  std::map<std::string, size_t> folded;
  for (size_t i = 0; i < out.entries.size(); i++) {
    std::string f = out.entries[i].name;
    for (char& c : f) if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    auto [it, fresh] = folded.emplace(f, i);
    if (!fresh) {
      out.error = "'" + out.entries[it->second].name + "' and '" + out.entries[i].name +
                  "' differ only in case, which Windows does not tell apart";
      return false;
    }
  }
  return true;
}

}  // namespace qev
