// qev pack: packs a folder tree into an archive, or into an installer
// (encode/installer.h). The whole tree is checked first and every problem
// named before anything is written; the output is then written as
// pack_output.h says, so a failure never leaves a partial OUT behind.
#include <stdio.h>
#include <strings.h>
#include <time.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/counts.h"
#include "cli/host_ui.h"
#include "cli/pack_output.h"
#include "cli/stub_locator.h"
#include "encode/installer.h"
#include "encode/pack_plan.h"
#include "encode/product_settings.h"
#include "encode/source_tree.h"
#include "encode/stub_product.h"
#include "encode/time_zone.h"

namespace {

double seconds_now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Names from the tree reach the terminal only through here.
void say(FILE* to, const std::string& text) { fprintf(to, "%s\n", terminal_safe(text).c_str()); }

int failed(const std::string& why) {
  say(stderr, "qev pack: " + why);
  return EXIT_FAILED;
}

bool names_a_program(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".exe") == 0;
}

// The stub of the installer asked for (product settings ask for one too),
// loaded and checked; empty for a bare archive. False when there is none to
// be had (a message was shown).
bool choose_stub(const PackCommandOptions& options, bool product, std::vector<uint8_t>& image) {
  std::string stub = options.stub;
  if (stub.empty() && (options.installer || names_a_program(options.output) || product)) {
    std::vector<std::string> looked;
    stub = find_stub(&looked);
    if (stub.empty()) {
      std::string places;
      for (const std::string& p : looked) places += (places.empty() ? "" : " or ") + p;
      failed("no installer stub found (no " + places + "); name one with --stub FILE");
      return false;
    }
  }
  if (stub.empty()) return true;
  std::string error;
  if (!qev::load_stub(stub, image, error)) {
    failed(error);
    return false;
  }
  if (options.common.verbosity == Verbosity::Verbose) say(stderr, "qev pack: the installer's stub: " + stub);
  return true;
}

// Scans the source tree for the output; false when anything stands in the
// way, after naming every problem.
bool scan_tree(const PackCommandOptions& options, const PackOutput& output, uint64_t stub_size,
               qev::ScanResult& scan) {
  const bool verbose = options.common.verbosity == Verbosity::Verbose;
  qev::ScanOptions scan_options;
  scan_options.excludes = options.excludes;
  scan_options.newest_time = options.newest_time;
  dev_t device;
  ino_t inode;
  if (output.existing_file(&device, &inode)) scan_options.leave_out.push_back({device, inode});
  const bool scanned = qev::scan_source_tree(options.source, scan_options, scan);
  for (const std::string& w : scan.warnings) say(stderr, "qev pack: warning: " + w);
  if (verbose) {
    for (const std::string& p : scan.excluded) say(stderr, "qev pack: excluded '" + p + "'");
    for (const std::string& p : scan.left_out) say(stderr, "qev pack: left out '" + p + "', the output itself");
  }
  if (!scanned && scan.problems.empty()) {  // no tree at all
    failed(scan.error);
    return false;
  }
  std::string too_large = qev::check_input_size(stub_size, scan.total_bytes);
  if (!too_large.empty()) scan.problems.push_back(too_large);
  if (!scan.problems.empty()) {
    for (const std::string& p : scan.problems) say(stderr, "qev pack: " + p);
    failed(count_of(scan.problems.size(), "problem") + " in '" + options.source +
           "'; nothing written (--exclude PATTERN leaves files out)");
    return false;
  }
  if (scan.entries.empty()) {
    failed("'" + options.source + "' is empty: nothing to pack");
    return false;
  }
  return true;
}

// The archive is weighed against the files it holds; the stub is told apart.
std::string summary_line(const qev::PackResult& res, uint64_t stub_size, double seconds) {
  std::string repeats;
  if (res.repeats) repeats = " (" + std::to_string(res.repeats) + " repeating others, stored once)";
  std::string s = "packed " + count_of(res.files, "file") + repeats + ", " + count_of(res.folders, "folder") +
                  ": " + with_commas(res.bytes_in) + " bytes -> " + with_commas(res.archive_size) + " bytes";
  char text[64];
  if (res.bytes_in) {
    snprintf(text, sizeof text, " (%.1f%%)", 100.0 * (double)res.archive_size / (double)res.bytes_in);
    s += text;
  }
  snprintf(text, sizeof text, " in %.2f s", seconds);
  s += text;
  if (stub_size > 0) {
    s += "; installer of " + with_commas(stub_size + res.archive_size) + " bytes with the " +
         with_commas(stub_size) + "-byte stub";
  }
  return s;
}

}  // namespace

int run_pack(const PackCommandOptions& options) {
  const double start = seconds_now();
  const bool verbose = options.common.verbosity == Verbosity::Verbose;
  // Product settings, checked before anything is read or written.
  qev::ProductSettings product;
  std::string refused = qev::check_product_options(options.product, product);
  if (!refused.empty()) {
    say(stderr, "qev pack: " + refused);
    return EXIT_USAGE;
  }
  std::vector<uint8_t> stub_image;
  if (!choose_stub(options, product.given || product.silent_switches, stub_image)) return EXIT_FAILED;
  PackOutput output;
  std::string error;
  if (!output.inspect(options.output, error)) return failed(error);
  // With standard output taken by the archive, the summary and -v's names
  // go to standard error.
  FILE* talk = output.to_standard_output() ? stderr : stdout;

  // Under SOURCE_DATE_EPOCH the bytes must not depend on the machine's zone:
  // UTC, unless --timezone says otherwise.
  const std::string zone = !options.timezone.empty() ? options.timezone : options.newest_time >= 0 ? "UTC" : "";
  qev::TimeZoneScope zone_scope(zone);
  if (verbose) {
    fprintf(stderr, "qev pack: times as local times of %s", zone.empty() ? "this machine" : zone.c_str());
    if (options.newest_time >= 0) fprintf(stderr, ", none after %lld (SOURCE_DATE_EPOCH)", (long long)options.newest_time);
    fputc('\n', stderr);
  }
  qev::ScanResult scan;
  if (!scan_tree(options, output, stub_image.size(), scan)) return EXIT_FAILED;
  if (!stub_image.empty()) {
    bool usage = false;
    std::string why = qev::apply_product(stub_image, product, scan.entries, scan.total_bytes, &usage);
    if (!why.empty()) {
      if (!usage) return failed("the stub: " + why);
      say(stderr, "qev pack: " + why);
      return EXIT_USAGE;
    }
  }
  qev::plan_pack(scan.entries, qev::plan_options_for(options.writer.encoder.level));

  if (!output.begin(!stub_image.empty(), error)) return failed(error);
  double last_shown = 0;
  const uint64_t total = scan.total_bytes;
  // -v names each entry as its file is packed (a folder with the file before
  // it); the names are the progress then.
  size_t named = 0;
  uint32_t files_named = 0;
  auto name_entries = [&](uint32_t files) {
    for (; named < scan.entries.size(); named++) {
      const qev::PackEntry& e = scan.entries[named];
      if (!e.folder && files_named == files) break;
      if (!e.folder) files_named++;
      say(talk, host_display(e.name.c_str()) + (e.folder ? "/" : ""));
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
  qev::PackResult res;
  bool ok = qev::write_installer(stub_image, scan.entries, options.writer, output.sink(), res, progress);
  if (last_shown > 0) fprintf(stderr, "\r%60s\r", "");
  for (const std::string& w : res.warnings) say(stderr, "qev pack: warning: " + w);
  if (!ok) return failed(res.error);
  if (!output.commit(error)) return failed(error);
  if (verbose) name_entries(UINT32_MAX);
  if (options.common.verbosity != Verbosity::Quiet)
    fprintf(talk, "%s\n", summary_line(res, stub_image.size(), seconds_now() - start).c_str());
  return EXIT_OK;
}
