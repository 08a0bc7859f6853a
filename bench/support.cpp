#include "bench/support.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "encode/pack_plan.h"

namespace bench {

double clock_seconds(clockid_t id) {
  timespec t;
  clock_gettime(id, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

Timing median(const std::vector<Timing>& runs) {
  std::vector<double> cpu, wall;
  for (const Timing& t : runs) {
    cpu.push_back(t.cpu);
    wall.push_back(t.wall);
  }
  std::sort(cpu.begin(), cpu.end());
  std::sort(wall.begin(), wall.end());
  size_t n = runs.size();
  auto mid = [n](const std::vector<double>& v) { return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2; };
  return {mid(cpu), mid(wall)};
}

std::string loadavg() {
  FILE* f = fopen("/proc/loadavg", "r");
  if (!f) return "?";
  char line[128] = {0};
  if (!fgets(line, sizeof line, f)) line[0] = 0;
  fclose(f);
  // The three averages only.
  std::string s = line;
  size_t cut = 0;
  for (int fields = 0; cut < s.size() && fields < 3; cut++)
    if (s[cut] == ' ') fields++;
  return s.substr(0, cut ? cut - 1 : 0);
}

std::vector<std::string> leftovers;

void die(const std::string& why) {
  fprintf(stderr, "qev-bench: %s\n", why.c_str());
  for (const std::string& path : leftovers) remove(path.c_str());
  exit(1);
}

bool run_child(const std::vector<std::string>& argv, const std::string& cwd, const std::string& out_path,
               Timing* t) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  double w0 = clock_seconds(CLOCK_MONOTONIC);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    if (!out_path.empty()) {
      int fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
      close(fd);
    }
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage ru = {};
  if (wait4(pid, &status, 0, &ru) != pid) return false;
  t->wall = clock_seconds(CLOCK_MONOTONIC) - w0;
  t->cpu = (double)ru.ru_utime.tv_sec + ru.ru_utime.tv_usec * 1e-6 + (double)ru.ru_stime.tv_sec +
           ru.ru_stime.tv_usec * 1e-6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

uint64_t file_size(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (uint64_t)st.st_size : 0;
}

bool read_file(const std::string& path, Bytes& out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  uint8_t buf[1 << 16];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

void load_tree(const std::string& dir, uint64_t limit, std::vector<qev::PackEntry>& entries, Bytes& all,
               uint32_t& files, uint32_t& folders) {
  qev::ScanResult scan;
  if (!qev::scan_source_tree(dir, scan)) die(scan.error);
  qev::plan_pack(scan.entries);
  for (qev::PackEntry& e : scan.entries) {
    if (!e.folder) {
      if (all.size() >= limit) break;
      if (!read_file(e.source, e.data)) die("cannot read " + e.source);
      e.source.clear();
      all.insert(all.end(), e.data.begin(), e.data.end());
      files++;
    } else {
      folders++;
    }
    entries.push_back(std::move(e));
  }
}

std::vector<qev::PackEntry> listed_for_level(const std::vector<qev::PackEntry>& entries, int level) {
  std::vector<qev::PackEntry> listed = entries;
  qev::plan_pack(listed, qev::plan_options_for(level));
  return listed;
}

}  // namespace bench
