// qev pack: packs a folder tree into an archive, or with --stub into an
// installer (encode/installer.h). The output is written to a temporary file
// next to OUT and renamed over OUT only when complete, so a failure never
// leaves a partial OUT behind.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/counts.h"
#include "cli/host_ui.h"
#include "cli/stub_locator.h"
#include "encode/installer.h"
#include "encode/pack_plan.h"
#include "encode/source_tree.h"

namespace {

// Writes to a file, patching earlier bytes by seeking.
class FileSink : public qev::ByteSink {
 public:
  explicit FileSink(FILE* f) : f_(f) {}
  bool write(const uint8_t* d, size_t n) override { return fwrite(d, 1, n, f_) == n; }
  bool patch(uint64_t off, const uint8_t* d, size_t n) override {
    off_t end = ftello(f_);
    return fseeko(f_, (off_t)off, SEEK_SET) == 0 && fwrite(d, 1, n, f_) == n &&
           fseeko(f_, end, SEEK_SET) == 0;
  }

 private:
  FILE* f_;
};

double seconds_now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int failed(const std::string& why) {
  fprintf(stderr, "qev pack: %s\n", why.c_str());
  return EXIT_FAILED;
}

bool names_a_program(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".exe") == 0;
}

}  // namespace

int run_pack(const PackCommandOptions& options) {
  const double start = seconds_now();
  const std::string& out = options.output;
  std::string stub = options.stub;
  if (stub.empty() && (options.installer || names_a_program(out))) {
    std::vector<std::string> looked;
    stub = find_stub(&looked);
    if (stub.empty()) {
      std::string places;
      for (const std::string& p : looked) places += (places.empty() ? "" : " or ") + p;
      return failed("no installer stub found (no " + places + "); name one with --stub FILE");
    }
  }
  std::vector<uint8_t> stub_image;
  std::string error;
  if (!stub.empty()) {
    if (!qev::load_stub(stub, stub_image, error)) return failed(error);
    if (options.common.verbosity == Verbosity::Verbose)
      fprintf(stderr, "qev pack: the installer's stub: %s\n", stub.c_str());
  }

  qev::ScanResult scan;
  if (!qev::scan_source_tree(options.source, scan)) return failed(scan.error);
  for (const std::string& w : scan.warnings) fprintf(stderr, "qev pack: warning: %s\n", w.c_str());
  if (scan.entries.empty()) return failed("'" + options.source + "' is empty: nothing to pack");
  qev::plan_pack(scan.entries);

  // The temporary file lives next to OUT so that the rename stays on one file system.
  std::string tmp = out + ".tmp-XXXXXX";
  std::vector<char> tmpl(tmp.begin(), tmp.end());
  tmpl.push_back(0);
  int fd = mkstemp(tmpl.data());
  if (fd < 0) return failed("cannot create '" + out + "': " + strerror(errno));
  tmp = tmpl.data();
  FILE* f = fdopen(fd, "wb");
  auto fail = [&](const std::string& why) {
    if (f) fclose(f);
    unlink(tmp.c_str());
    return failed(why);
  };
  if (!f) {
    close(fd);
    return fail("cannot write '" + out + "'");
  }

  double last_shown = 0;
  const uint64_t total = scan.total_bytes;
  // -v names each entry as its file is packed (a folder with the file before
  // it); the names are the progress then.
  const bool verbose = options.common.verbosity == Verbosity::Verbose;
  size_t named = 0;
  uint32_t files_named = 0;
  auto name_entries = [&](uint32_t files) {
    for (; named < scan.entries.size(); named++) {
      const qev::PackEntry& e = scan.entries[named];
      if (!e.folder && files_named == files) break;
      if (!e.folder) files_named++;
      printf("%s%s\n", host_display(e.name.c_str()).c_str(), e.folder ? "/" : "");
    }
  };
  const bool show_progress = options.common.progress && !verbose;
  auto progress = [&](uint64_t bytes_in, uint32_t files) {
    if (verbose) name_entries(files);
    double t = seconds_now();
    if (!show_progress || t - last_shown < 0.2) return;
    last_shown = t;
    fprintf(stderr, "\rpacking: %u files, %s of %s bytes (%d%%)  ", files, with_commas(bytes_in).c_str(),
            with_commas(total).c_str(), total ? (int)(100 * bytes_in / total) : 100);
  };
  FileSink sink(f);
  qev::PackResult res;
  bool ok = qev::write_installer(stub_image, scan.entries, options.writer, sink, res, progress);
  if (last_shown > 0) fprintf(stderr, "\r%60s\r", "");
  for (const std::string& w : res.warnings) fprintf(stderr, "qev pack: warning: %s\n", w.c_str());
  if (!ok) return fail(res.error);
  if (verbose) name_entries(UINT32_MAX);
  if (fflush(f) != 0 || fsync(fileno(f)) != 0) return fail("cannot write '" + out + "': " + strerror(errno));
  if (fclose(f) != 0) {
    f = nullptr;
    return fail("cannot write '" + out + "': " + strerror(errno));
  }
  f = nullptr;
  struct stat st;
  mode_t mode = 0644;
  if (!stub_image.empty()) mode = 0755;
  if (stat(out.c_str(), &st) == 0) mode = st.st_mode & 07777;
  chmod(tmp.c_str(), mode);
  if (rename(tmp.c_str(), out.c_str()) != 0) return fail("cannot write '" + out + "': " + strerror(errno));

  if (options.common.verbosity == Verbosity::Quiet) return EXIT_OK;
  // The archive is weighed against the files it holds; the stub is told apart.
  std::string repeats;
  if (res.repeats) repeats = " (" + std::to_string(res.repeats) + " repeating others, stored once)";
  std::string summary = "packed " + count_of(res.files, "file") + repeats + ", " + count_of(res.folders, "folder") +
                        ": " + with_commas(res.bytes_in) + " bytes -> " + with_commas(res.archive_size) +
                        " bytes";
  char ratio[64] = "";
  if (res.bytes_in) snprintf(ratio, sizeof ratio, " (%.1f%%)", 100.0 * (double)res.archive_size / (double)res.bytes_in);
  char seconds[32];
  snprintf(seconds, sizeof seconds, " in %.2f s", seconds_now() - start);
  summary += std::string(ratio) + seconds;
  if (!stub_image.empty()) {
    summary += "; installer of " + with_commas(stub_image.size() + res.archive_size) + " bytes with the " +
               with_commas(stub_image.size()) + "-byte stub";
  }
  printf("%s\n", summary.c_str());
  return EXIT_OK;
}
