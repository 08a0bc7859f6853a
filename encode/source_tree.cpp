#include "encode/source_tree.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "encode/name_rules.h"
#include "encode/number_text.h"
#include "platform/cp1252.h"
#include "platform/dos_time.h"

namespace qev {
namespace {

// An archive name as the host shows it: UTF-8 with slashes.
std::string shown(const std::string& root, const std::string& name) {
  std::vector<char> utf8(name.size() * 3 + 1);
  std::string s = cp1252_to_utf8(name.c_str(), utf8.data(), utf8.size()) ? utf8.data() : name;
  std::replace(s.begin(), s.end(), '\\', '/');
  return root + "/" + s;
}

bool matches(const std::string& pattern_text, const std::string& relative, const std::string& name,
             bool folder) {
  std::string pattern = pattern_text;
  if (pattern.size() > 1 && pattern.back() == '/') {
    if (!folder) return false;
    pattern.pop_back();
  }
  while (pattern.compare(0, 2, "./") == 0) pattern.erase(0, 2);
  if (pattern.find('/') == std::string::npos) return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
  if (pattern[0] == '/') pattern.erase(0, 1);
  return fnmatch(pattern.c_str(), relative.c_str(), FNM_PATHNAME) == 0;
}

// Why `path` cannot be looked at, for a stat() that failed with `err`.
std::string unreachable(const std::string& path, int err) {
  struct stat link;
  if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char target[PATH_MAX];
    ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    std::string to = n > 0 ? std::string(target, (size_t)n) : "?";
    if (err == ENOENT) return "'" + path + "' is a symbolic link to '" + to + "', which does not exist";
    if (err == ELOOP) return "'" + path + "' is a symbolic link in a loop";
  }
  return "cannot read '" + path + "': " + strerror(err);
}

struct Walker {
  const ScanOptions& options;
  ScanResult& out;
  std::vector<std::pair<dev_t, ino_t>> ancestors;
  bool full = false;

  void problem(const std::string& text) { out.problems.push_back(text); }

  bool excluded(const std::string& relative, const std::string& name, bool folder) const {
    for (const std::string& pattern : options.excludes) {
      if (matches(pattern, relative, name, folder)) return true;
    }
    return false;
  }

  bool left_out(const struct stat& st) const {
    for (const auto& id : options.leave_out) {
      if (id.first == st.st_dev && id.second == st.st_ino) return true;
    }
    return false;
  }

  void set_times(PackEntry& e, const struct stat& st, const std::string& path) {
    bool clamped = false;
    time_t t = st.st_mtime;
    if (options.newest_time >= 0 && (int64_t)t > options.newest_time) t = (time_t)options.newest_time;
    time_to_dos(t, &e.write_date, &e.write_time, &clamped);
    e.create_date = e.write_date;
    e.create_time = e.write_time;
    if (clamped) out.warnings.push_back("'" + path + "': modification time outside 1980-2107, clamped");
  }

  bool add(PackEntry&& e) {
    if (out.entries.size() == MAX_MEMBERS) {
      problem("more than " + with_commas(MAX_MEMBERS) + " files and folders; an archive holds at most that many");
      full = true;
      return false;
    }
    out.entries.push_back(std::move(e));
    return true;
  }

  // `prefix`: the folder's archive name ("" at the root); `relative`: its host
  // path from the root; `too_long`: its name already passes the length limit.
  void walk(const std::string& dir, const std::string& prefix, const std::string& relative, bool too_long) {
    DIR* d = opendir(dir.c_str());
    if (!d) {
      problem("cannot read folder '" + dir + "': " + strerror(errno));
      return;
    }
    std::vector<std::string> names;
    errno = 0;
    while (struct dirent* de = readdir(d)) {
      if (strcmp(de->d_name, ".") && strcmp(de->d_name, "..")) names.push_back(de->d_name);
    }
    int err = errno;
    closedir(d);
    if (err) {
      problem("cannot read folder '" + dir + "': " + strerror(err));
      return;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
      if (full) return;
      const std::string path = dir + "/" + n;
      const std::string rel = relative.empty() ? n : relative + "/" + n;
      struct stat st;
      const bool reachable = stat(path.c_str(), &st) == 0;
      const int stat_error = errno;
      const bool folder = reachable && S_ISDIR(st.st_mode);
      if (excluded(rel, n, folder)) {
        out.excluded.push_back(path);
        continue;
      }
      if (!reachable) {
        problem(unreachable(path, stat_error));
        continue;
      }
      if (left_out(st)) {
        out.left_out.push_back(path);
        continue;
      }
      if (!folder && !S_ISREG(st.st_mode)) {
        out.warnings.push_back("'" + path + "' is not a file or folder; skipped");
        continue;
      }

      // The name: a part that cannot be held is named here once; the entries
      // below it carry the same part and are not named again for it.
      std::vector<char> conv(n.size() * 3 + 4);
      std::string part;
      if (utf8_to_cp1252(n.c_str(), conv.data(), conv.size())) {
        part = conv.data();
        std::string why = check_component(part);
        if (!why.empty()) problem("'" + path + "': " + why);
      } else {
        part = n;
        problem("'" + path + "': the name has characters that Windows-1252 cannot hold");
      }
      const std::string name = prefix.empty() ? part : prefix + "\\" + part;
      const bool long_name = name.size() > MAX_NAME_LENGTH;
      if (long_name && !too_long) problem("'" + path + "': " + check_name(name));

      PackEntry e;
      e.name = name;
      set_times(e, st, path);
      if (folder) {
        bool loop = false;
        for (const auto& a : ancestors) loop = loop || (a.first == st.st_dev && a.second == st.st_ino);
        if (loop) {
          problem("'" + path + "' leads back to an enclosing folder");
          continue;
        }
        e.folder = true;
        e.attributes = 0x10;
        if (!add(std::move(e))) return;
        ancestors.push_back({st.st_dev, st.st_ino});
        walk(path, name, rel, long_name);
        ancestors.pop_back();
        continue;
      }
      if ((uint64_t)st.st_size > MAX_MEMBER_SIZE) {
        problem("'" + path + "' holds " + with_commas((uint64_t)st.st_size) +
                " bytes; a file in an archive holds at most " + with_commas(MAX_MEMBER_SIZE) + " bytes");
      }
      // Opened once here so that a file that cannot be read is named with
      // the rest now, not found after the files before it are compressed.
      int fd = open(path.c_str(), O_RDONLY | O_NOCTTY);
      if (fd < 0) {
        problem("cannot read '" + path + "': " + strerror(errno));
      } else {
        close(fd);
      }
      e.source = path;
      e.size = (uint64_t)st.st_size;
      e.attributes = 0x20 | ((st.st_mode & S_IWUSR) ? 0 : 0x01);
      out.total_bytes += (uint64_t)st.st_size;
      if (!add(std::move(e))) return;
    }
  }
};

std::string parent_of(const std::string& name) {
  size_t at = name.rfind('\\');
  return at == std::string::npos ? "" : name.substr(0, at);
}

}  // namespace

bool scan_source_tree(const std::string& root, const ScanOptions& options, ScanResult& out) {
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
  Walker w{options, out, {{st.st_dev, st.st_ino}}};
  std::string r = root;
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  w.walk(r, "", "", false);
  // Windows compares names without regard to case: two such names would be
  // one file there, and the second would overwrite the first. Named where
  // they first meet: below two such folders every pair would meet again.
  std::map<std::string, size_t> folded;
  for (size_t i = 0; i < out.entries.size(); i++) {
    auto [it, fresh] = folded.emplace(windows_key(out.entries[i].name), i);
    const std::string& first = out.entries[it->second].name;
    if (!fresh && parent_of(first) == parent_of(out.entries[i].name)) {
      out.problems.push_back("'" + shown(r, first) + "' and '" + shown(r, out.entries[i].name) +
                             "' differ only in case, which Windows does not tell apart");
    }
  }
  // The longest name, when it leaves little room for the destination.
  size_t longest = 0;
  for (size_t i = 0; i < out.entries.size(); i++) {
    if (out.entries[i].name.size() > out.entries[longest].name.size()) longest = i;
  }
  if (!out.entries.empty() && out.entries[longest].name.size() > QUIET_NAME_LENGTH &&
      out.entries[longest].name.size() <= MAX_NAME_LENGTH) {
    const size_t room = 259 - 1 - out.entries[longest].name.size();
    out.warnings.push_back("'" + shown(r, out.entries[longest].name) + "' leaves " + std::to_string(room) +
                           " characters for the destination folder: installed into a longer one, it "
                           "cannot be created");
  }
  for (const std::string& p : out.problems) out.error += (out.error.empty() ? "" : "\n") + p;
  return out.problems.empty();
}

}  // namespace qev
