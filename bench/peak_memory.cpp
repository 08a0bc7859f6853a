#include "bench/peak_memory.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "bench/support.h"
#include "encode/archive_writer.h"
#include "encode/source_tree.h"

namespace bench {
namespace {

constexpr uint64_t PEAK_MEMORY_SPREAD = 1024;  // KiB
// qev pack at its default level, worst case (incompressible files): 64 MiB,
// and 112 MiB per thread (an encoder's block buffers, two segments in flight
// with their frames).
constexpr uint64_t PACK_PEAK_BASE = 64 << 10, PACK_PEAK_PER_THREAD = 112 << 10;  // KiB
constexpr int COPIES = 10;

void pack_to_file(const std::vector<qev::PackEntry>& entries, const std::string& path) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) die("cannot create " + path);
  qev::FileSink sink(f);
  qev::PackOptions options;  // qev pack's defaults
  qev::PackResult res;
  bool ok = qev::write_archive(entries, options, sink, res);
  if (fclose(f) != 0 || !ok) die("packing " + path + " failed: " + res.error);
}

// Runs argv (standard output to /dev/null) and returns the maximum resident
// set of its own address space, VmHWM in KiB, read from /proc when it stops
// on its way out (traced with PTRACE_O_TRACEEXIT). Not ru_maxrss: Linux
// carries the forking process's resident set into the child's ru_maxrss
// across exec, and this process holds far more than `qev test` does.
// -1 when the program fails.
long run_peak_rss(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int fd = open("/dev/null", O_WRONLY);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
    close(fd);
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(127);
    raise(SIGSTOP);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) return -1;
  ptrace(PTRACE_SETOPTIONS, pid, nullptr, (void*)(long)(PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL));
  ptrace(PTRACE_CONT, pid, nullptr, nullptr);
  long peak = -1;
  for (;;) {
    if (waitpid(pid, &status, 0) != pid) return -1;
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    long deliver = WSTOPSIG(status);
    if ((status >> 8) == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      FILE* f = fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
      char line[256];
      while (f && fgets(line, sizeof line, f))
        if (!strncmp(line, "VmHWM:", 6)) peak = atol(line + 6);
      if (f) fclose(f);
      deliver = 0;
    } else if (deliver == SIGTRAP) {
      deliver = 0;  // the stop after exec
    }
    ptrace(PTRACE_CONT, pid, nullptr, (void*)deliver);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : -1;
}

// The median of `runs` runs of a qev command: its maximum resident set in KiB.
long qev_peak(const std::vector<std::string>& argv, int runs = 3) {
  std::vector<long> peaks;
  for (int run = 0; run < runs; run++) {
    long kib = run_peak_rss(argv);
    if (kib < 0) die(argv[1] + " " + argv[2] + " failed");
    peaks.push_back(kib);
  }
  std::sort(peaks.begin(), peaks.end());
  return peaks[peaks.size() / 2];
}

}  // namespace

int peak_memory(const std::string& corpus, std::string qev, const std::string& big, bool json) {
  if (qev.empty()) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) die("cannot find this program's folder; give --qev PATH");
    self[n] = 0;
    qev = self;
    qev = qev.substr(0, qev.rfind('/') + 1) + "qev";
  }
  if (access(qev.c_str(), X_OK) != 0) die(qev + " is missing (build the host tree, or give --qev PATH)");
  FILE* note = json ? stderr : stdout;
  qev::ScanResult scan;
  if (!qev::scan_source_tree(corpus, scan)) die(scan.error);
  std::vector<qev::PackEntry> ten;
  for (int copy = 0; copy < COPIES; copy++) {
    qev::PackEntry folder;
    folder.name = "copy" + std::to_string(copy);
    folder.folder = true;
    folder.attributes = 0x10;
    ten.push_back(folder);
    for (const qev::PackEntry& e : scan.entries) {
      ten.push_back(e);
      ten.back().name = folder.name + "\\" + e.name;
    }
  }
  char tmpl[] = "/tmp/qev-bench-XXXXXX";
  if (!mkdtemp(tmpl)) die(std::string("mkdtemp: ") + strerror(errno));
  const std::string one_path = std::string(tmpl) + "/corpus.qev", ten_path = std::string(tmpl) + "/corpus-x10.qev";
  leftovers = {one_path, ten_path, tmpl};
  fprintf(note, "packing %s once and ten times into %s\n", corpus.c_str(), tmpl);
  fflush(note);
  pack_to_file(scan.entries, one_path);
  pack_to_file(ten, ten_path);
  const uint64_t one_bytes = file_size(one_path), ten_bytes = file_size(ten_path);
  const long one = qev_peak({qev, "test", one_path}), tenfold = qev_peak({qev, "test", ten_path});
  const std::string packed = std::string(tmpl) + "/packed.qev";
  leftovers.insert(leftovers.begin(), packed);
  fprintf(note, "packing %s with qev pack%s\n", corpus.c_str(), big.empty() ? "" : (" and " + big).c_str());
  fflush(note);
  const long pack = qev_peak({qev, "pack", corpus, "-o", packed, "-q"});
  const long pack_big = big.empty() ? 0 : qev_peak({qev, "pack", big, "-o", packed, "-q"}, 1);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const uint64_t bound = PACK_PEAK_BASE + cores * PACK_PEAK_PER_THREAD;
  for (const std::string& path : leftovers) remove(path.c_str());
  leftovers.clear();
  const long spread = tenfold > one ? tenfold - one : one - tenfold;
  const bool pass = (uint64_t)spread < PEAK_MEMORY_SPREAD;
  const bool pack_pass = (uint64_t)std::max(pack, pack_big) <= bound;
  if (json) {
    printf("{\"corpus_archive_bytes\": %llu, \"x10_archive_bytes\": %llu, \"qev_test_peak_rss_KiB\": %ld, "
           "\"qev_test_x10_peak_rss_KiB\": %ld, \"peak_rss_difference_KiB\": %ld, "
           "\"qev_pack_peak_rss_KiB\": %ld, \"qev_pack_tree_peak_rss_KiB\": %ld, \"qev_pack_peak_bound_KiB\": %llu, "
           "\"target_met\": %s}\n",
           (unsigned long long)one_bytes, (unsigned long long)ten_bytes, one, tenfold, spread, pack, pack_big,
           (unsigned long long)bound, pass && pack_pass ? "true" : "false");
  } else {
    printf("qev test, maximum resident set (median of 3 runs):\n");
    printf("  corpus archive       %12llu bytes  %8ld KiB\n", (unsigned long long)one_bytes, one);
    printf("  ten copies           %12llu bytes  %8ld KiB\n", (unsigned long long)ten_bytes, tenfold);
    printf("  %-4s difference %ld KiB (< %llu KiB)\n", pass ? "PASS" : "FAIL", spread,
           (unsigned long long)PEAK_MEMORY_SPREAD);
    printf("qev pack, maximum resident set (%u threads):\n", cores);
    printf("  %-40s %8ld KiB (median of 3 runs)\n", corpus.c_str(), pack);
    if (!big.empty()) printf("  %-40s %8ld KiB (one run)\n", big.c_str(), pack_big);
    printf("  %-4s at most %llu KiB (64 MiB and 112 MiB per thread)\n", pack_pass ? "PASS" : "FAIL",
           (unsigned long long)bound);
  }
  return 0;
}


}  // namespace bench
