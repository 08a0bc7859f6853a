// qev pack SRC_DIR -o OUT [--stub STUB.exe] [--level N] [--filter auto|none|16|32]
//          [product settings]
//
// Packs a folder tree into an archive, or with --stub into an installer (the
// stub's bytes with the archive appended and the stub's archive_offset set to
// the stub's size; the stub also learns the files' total size for its
// progress bar, and a publisher's product settings, encode/stub_product.h).
// The output is written to a temporary file next to OUT and renamed over OUT
// only when complete, so a failure never leaves a partial OUT behind.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "archive/layout.h"
#include "shell/stub_config.h"
#include "cli/commands.h"
#include "encode/archive_writer.h"
#include "encode/source_tree.h"
#include "encode/product_settings.h"
#include "encode/stub_image.h"
#include "encode/stub_product.h"

namespace {

const char* const PACK_USAGE =
    "usage: qev pack SRC_DIR -o OUT [--stub STUB.exe] [--level N] [--filter auto|none|16|32]\n"
    "                [--name TEXT] [--program PATH] [--version TEXT] [--publisher TEXT]\n"
    "                [--folder PATH] [--icon FILE.ico] [--silent-switches] [--product FILE]\n";

int usage_error(const char* why) {
  fprintf(stderr, "qev pack: %s\n%s", why, PACK_USAGE);
  return EXIT_USAGE;
}

// Writes the archive after `base` bytes already in the file.
class FileSink : public qev::ByteSink {
 public:
  FileSink(FILE* f, uint64_t base) : f_(f), base_(base) {}
  bool write(const uint8_t* d, size_t n) override { return fwrite(d, 1, n, f_) == n; }
  bool patch(uint64_t off, const uint8_t* d, size_t n) override {
    off_t end = ftello(f_);
    return fseeko(f_, (off_t)(base_ + off), SEEK_SET) == 0 && fwrite(d, 1, n, f_) == n &&
           fseeko(f_, end, SEEK_SET) == 0;
  }

 private:
  FILE* f_;
  uint64_t base_;
};

bool read_whole(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) { error = "cannot read '" + path + "': " + strerror(errno); return false; }
  uint8_t buf[1 << 16];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  bool bad = ferror(f);
  fclose(f);
  if (bad) { error = "cannot read '" + path + "'"; return false; }
  return true;
}

double seconds_now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::string with_commas(uint64_t v) {
  std::string s = std::to_string(v);
  for (int i = (int)s.size() - 3; i > 0; i -= 3) s.insert((size_t)i, ",");
  return s;
}

}  // namespace

int cmd_pack(int argc, char** argv) {
  std::string src, out, stub;
  qev::PackOptions options;
  qev::ProductOptions product;
  for (int i = 0; i < argc; i++) {
    std::string a = argv[i];
    bool takes_value = false;
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    if (a == "-o" || a == "--output") {
      const char* v = value("-o");
      if (!v) return usage_error("-o needs a file name");
      out = v;
    } else if (a == "--stub") {
      const char* v = value("--stub");
      if (!v) return usage_error("--stub needs a file name");
      stub = v;
    } else if (a == "--level") {
      const char* v = value("--level");
      if (!v || strlen(v) != 1 || v[0] < '0' || v[0] > '9') return usage_error("--level takes 0 to 9");
      options.encoder.level = v[0] - '0';
    } else if (a == "--filter") {
      const char* v = value("--filter");
      std::string f = v ? v : "";
      if (f == "auto") options.filter = qev::FilterMode::Auto;
      else if (f == "none") options.filter = qev::FilterMode::None;
      else if (f == "16") options.filter = qev::FilterMode::E8_16;
      else if (f == "32") options.filter = qev::FilterMode::E8_32;
      else return usage_error("--filter takes auto, none, 16 or 32");
    } else if (a == "-h" || a == "--help") {
      printf("%s\n%s", PACK_USAGE, qev::PRODUCT_OPTIONS_HELP);
      return EXIT_OK;
    } else if (qev::is_product_option(a, &takes_value)) {
      const char* v = takes_value ? value(a.c_str()) : nullptr;
      if (takes_value && !v) return usage_error((a + " needs a value").c_str());
      qev::set_product_option(product, a, v);
    } else if (a.size() > 1 && a[0] == '-') {
      return usage_error(("unknown option '" + a + "'").c_str());
    } else if (src.empty()) {
      src = a;
    } else {
      return usage_error("only one source folder");
    }
  }
  if (src.empty()) return usage_error("no source folder");
  if (out.empty()) return usage_error("no output file (-o OUT)");
  qev::ProductSettings settings;
  std::string refused = qev::check_product_options(product, settings);
  if (!refused.empty()) {
    fprintf(stderr, "qev pack: %s\n", refused.c_str());
    return EXIT_USAGE;
  }
  if ((settings.given || settings.silent_switches) && stub.empty())
    return usage_error("product settings make an installer: they need --stub");

  const double start = seconds_now();
  std::vector<uint8_t> stub_bytes;
  qev::StubBlock stub_block;
  if (!stub.empty()) {
    std::string error;
    if (!read_whole(stub, stub_bytes, error)) {
      fprintf(stderr, "qev pack: %s\n", error.c_str());
      return EXIT_FAILED;
    }
    int found = find_config_block(stub_bytes.data(), stub_bytes.size(), nullptr);
    if (found != 1 || !qev::find_stub_block(stub_bytes, stub_block)) {
      fprintf(stderr, "qev pack: '%s' is not an installer stub: its configuration block is %s\n", stub.c_str(),
              found == 0 ? "missing" : "there more than once");
      return EXIT_FAILED;
    }
  }

  qev::ScanResult scan;
  if (!qev::scan_source_tree(src, scan)) {
    fprintf(stderr, "qev pack: %s\n", scan.error.c_str());
    return EXIT_FAILED;
  }
  for (const std::string& w : scan.warnings) fprintf(stderr, "qev pack: warning: %s\n", w.c_str());
  if (scan.entries.empty()) {
    fprintf(stderr, "qev pack: '%s' is empty: nothing to pack\n", src.c_str());
    return EXIT_FAILED;
  }
  if (!stub.empty()) {
    refused = qev::check_product_program(settings, scan.entries);
    if (!refused.empty()) {
      fprintf(stderr, "qev pack: %s\n", refused.c_str());
      return EXIT_USAGE;
    }
    std::string error = qev::write_product(stub_block, settings, scan.total_bytes);
    if (!error.empty()) {
      fprintf(stderr, "qev pack: '%s': %s\n", stub.c_str(), error.c_str());
      return EXIT_FAILED;
    }
    if (stub_block.product_layout) stub_bytes = stub_block.image.bytes();
    if (stub_bytes.size() > 0x7FFFFFFF) {
      fprintf(stderr, "qev pack: '%s' is too large for a stub\n", stub.c_str());
      return EXIT_FAILED;
    }
    // The archive begins right behind the stub's image.
    store_u32(stub_bytes.data() + stub_block.at + offsetof(StubConfig, archive_offset),
              (uint32_t)stub_bytes.size());
  }

  // The temporary file lives next to OUT so that the rename stays on one file system.
  std::string tmp = out + ".tmp-XXXXXX";
  std::vector<char> tmpl(tmp.begin(), tmp.end());
  tmpl.push_back(0);
  int fd = mkstemp(tmpl.data());
  if (fd < 0) {
    fprintf(stderr, "qev pack: cannot create '%s': %s\n", out.c_str(), strerror(errno));
    return EXIT_FAILED;
  }
  tmp = tmpl.data();
  FILE* f = fdopen(fd, "wb");
  auto fail = [&](const std::string& why) {
    if (f) fclose(f);
    unlink(tmp.c_str());
    fprintf(stderr, "qev pack: %s\n", why.c_str());
    return EXIT_FAILED;
  };
  if (!f) { close(fd); return fail("cannot write '" + out + "'"); }
  if (!stub_bytes.empty() && fwrite(stub_bytes.data(), 1, stub_bytes.size(), f) != stub_bytes.size())
    return fail("cannot write '" + out + "': " + strerror(errno));

  const bool tty = isatty(2);
  double last_shown = 0;
  const uint64_t total = scan.total_bytes;
  auto progress = [&](uint64_t bytes_in, uint32_t files) {
    double t = seconds_now();
    if (!tty || t - last_shown < 0.2) return;
    last_shown = t;
    fprintf(stderr, "\rpacking: %u files, %s of %s bytes (%d%%)  ", files, with_commas(bytes_in).c_str(),
            with_commas(total).c_str(), total ? (int)(100 * bytes_in / total) : 100);
  };
  FileSink sink(f, stub_bytes.size());
  qev::PackResult res;
  bool ok = qev::write_archive(scan.entries, options, sink, res, progress);
  if (tty && last_shown > 0) fprintf(stderr, "\r%60s\r", "");
  if (!ok) return fail(res.error);
  if (stub_bytes.size() + res.archive_size > 0xFFFFFFFFull)
    return fail("the installer would be larger than 4 GiB");
  if (fflush(f) != 0 || fsync(fileno(f)) != 0) return fail("cannot write '" + out + "': " + strerror(errno));
  if (fclose(f) != 0) { f = nullptr; return fail("cannot write '" + out + "': " + strerror(errno)); }
  f = nullptr;
  struct stat st;
  mode_t mode = 0644;
  if (!stub_bytes.empty()) mode = 0755;
  if (stat(out.c_str(), &st) == 0) mode = st.st_mode & 07777;
  chmod(tmp.c_str(), mode);
  if (rename(tmp.c_str(), out.c_str()) != 0) return fail("cannot write '" + out + "': " + strerror(errno));

  const uint64_t out_bytes = stub_bytes.size() + res.archive_size;
  printf("packed %u files, %u folders: %s bytes -> %s bytes (%.1f%%) in %.2f s\n", res.files, res.folders,
         with_commas(res.bytes_in).c_str(), with_commas(out_bytes).c_str(),
         res.bytes_in ? 100.0 * (double)out_bytes / (double)res.bytes_in : 0.0, seconds_now() - start);
  return EXIT_OK;
}
