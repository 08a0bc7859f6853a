#include "bench/report.h"

#include <stdio.h>

#include "shell/stub_config.h"

namespace bench {
namespace {

// The targets this benchmark reports against.
constexpr double DECODE_VS_LIBDEFLATE = 1.10;  // at least, both forms of the decoder
constexpr double L9_VS_ZIP9 = 0.70, L9_MBPS = 3;    // at most, at least
constexpr double L6_VS_ZIP9 = 0.76, L6_MBPS = 25;
constexpr double L1_VS_ZIP9 = 0.95, L1_MBPS = 100;
constexpr double OTHER_L9_VS_ZIP9 = 0.72;           // level 9 on the --also trees, at L9_MBPS
constexpr uint64_t STUB_BUDGET = DEFAULT_ARCHIVE_OFFSET;

constexpr double TWO_THREADS_TIME = 0.6;        // at most, x one thread's wall time at level 9

const Packed* level(const Report& r, int n) {
  for (const Packed& p : r.packed)
    if (p.level == n) return &p;
  return nullptr;
}

// One target: its line for people and its verdict.
struct Target {
  std::string text;
  bool pass;
};

std::vector<Target> targets(const Report& r) {
  std::vector<Target> out;
  char line[256];
  const Packed* l9 = level(r, 9);
  const double lib = mbps(r.corpus_bytes, r.libdeflate_decode.cpu);
  if (l9 && lib > 0) {
    const struct {
      const char* form;
      const Timing& time;
    } forms[] = {{"", l9->decode}, {" (stub's compact form)", l9->decode_compact}};
    for (const auto& f : forms) {
      double q = mbps(r.corpus_bytes, f.time.cpu);
      snprintf(line, sizeof line, "decode%s: qev %.0f MB/s = %.2f x libdeflate %.0f MB/s (>= %.2f)", f.form, q,
               q / lib, lib, DECODE_VS_LIBDEFLATE);
      out.push_back({line, q >= DECODE_VS_LIBDEFLATE * lib});
    }
  }
  struct {
    int level;
    double ratio, speed;
  } const sized[] = {{9, L9_VS_ZIP9, L9_MBPS}, {6, L6_VS_ZIP9, L6_MBPS}, {1, L1_VS_ZIP9, L1_MBPS}};
  for (const auto& s : sized) {
    const Packed* p = level(r, s.level);
    if (!p) continue;
    double speed = mbps(r.corpus_bytes, p->time.cpu);
    if (!r.zip9_bytes) {
      snprintf(line, sizeof line, "level %d: packing %.1f MB/s (>= %.0f)", s.level, speed, s.speed);
      out.push_back({line, speed >= s.speed});
      continue;
    }
    double ratio = (double)p->archive.size() / (double)r.zip9_bytes;
    snprintf(line, sizeof line, "level %d: %.3f x zip -9 (<= %.2f), packing %.1f MB/s (>= %.0f)", s.level, ratio,
             s.ratio, speed, s.speed);
    out.push_back({line, ratio <= s.ratio && speed >= s.speed});
  }
  for (const OtherTree& t : r.others) {
    double ratio = t.zip9_bytes ? (double)t.qev_l9_bytes / (double)t.zip9_bytes : 0;
    double speed = mbps(t.bytes, t.pack.cpu);
    snprintf(line, sizeof line, "level 9 on %s: %.3f x zip -9 (<= %.2f), packing %.1f MB/s (>= %.0f)",
             t.dir.c_str(), ratio, OTHER_L9_VS_ZIP9, speed, L9_MBPS);
    out.push_back({line, t.zip9_bytes && ratio <= OTHER_L9_VS_ZIP9 && speed >= L9_MBPS});
  }
  if (l9 && l9->two_threads.wall > 0) {
    double t = l9->two_threads.wall / l9->time.wall;
    snprintf(line, sizeof line, "level 9 on two threads: %.2f x the wall time of one (<= %.2f)", t,
             TWO_THREADS_TIME);
    out.push_back({line, t <= TWO_THREADS_TIME});
  }
  if (r.stub_bytes) {
    snprintf(line, sizeof line, "stub: %llu bytes (<= %llu)", (unsigned long long)r.stub_bytes,
             (unsigned long long)STUB_BUDGET);
    out.push_back({line, r.stub_bytes <= STUB_BUDGET});
  }
  return out;
}

}  // namespace

void print_human(const Report& r) {
  const uint64_t n = r.corpus_bytes;
  printf("\n%-22s %12s %8s %10s %10s %12s %10s\n", "", "bytes", "x zip-9", "pack MB/s", "(wall)", "decode MB/s",
         "(wall)");
  auto row = [&](const char* name, uint64_t bytes, const Timing* pack, const Timing* dec) {
    printf("%-22s %12llu %8.3f", name, (unsigned long long)bytes,
           r.zip9_bytes ? (double)bytes / (double)r.zip9_bytes : 0.0);
    if (pack && pack->cpu > 0)
      printf(" %10.1f %10.1f", mbps(n, pack->cpu), mbps(n, pack->wall));
    else
      printf(" %10s %10s", "", "");
    if (dec && dec->cpu > 0) printf(" %12.0f %10.0f", mbps(n, dec->cpu), mbps(n, dec->wall));
    printf("\n");
  };
  if (r.zip9_bytes) row("zip -9 -r", r.zip9_bytes, &r.zip9_time, nullptr);
  if (r.xz9_bytes) row("xz -9 (concatenated)", r.xz9_bytes, &r.xz9_time, nullptr);
  if (r.brotli_bytes) row("brotli 11 w19 (conc.)", r.brotli_bytes, &r.brotli_time, nullptr);
  row("zlib 9 (concatenated)", r.zlib9_bytes, &r.zlib9_time, &r.zlib_decode);
  row("libdeflate 12 (conc.)", r.libdeflate12_bytes, &r.libdeflate12_time, &r.libdeflate_decode);
  for (const Packed& p : r.packed) {
    char name[64];
    snprintf(name, sizeof name, "qev level %d (%d run%s)", p.level, p.runs, p.runs > 1 ? "s" : "");
    row(name, p.archive.size(), &p.time, &p.decode);
    snprintf(name, sizeof name, "  stub's compact form");
    row(name, p.archive.size(), nullptr, &p.decode_compact);
  }
  printf("\nMB/s are 10^6 bytes of file content per second of CPU time (wall clock in brackets);\n"
         "packing: one thread, median of the runs shown; decoding: median of %d runs.\n", r.reps);
  for (const Packed& p : r.packed)
    if (p.two_threads.wall > 0)
      printf("level %d packing: %.1f s on one thread, %.1f s on two (wall clock, CPU %.1f s and %.1f s)\n",
             p.level, p.time.wall, p.two_threads.wall, p.time.cpu, p.two_threads.cpu);
  const double lib = mbps(n, r.libdeflate_decode.cpu), zl = mbps(n, r.zlib_decode.cpu);
  for (const Packed& p : r.packed) {
    double q = mbps(n, p.decode.cpu), c = mbps(n, p.decode_compact.cpu);
    printf("decode qev level %d: %.2f x libdeflate, %.2f x zlib; stub's compact form %.2f x libdeflate\n",
           p.level, lib > 0 ? q / lib : 0, zl > 0 ? q / zl : 0, lib > 0 ? c / lib : 0);
  }
  if (r.stub_bytes) printf("stub: %llu bytes\n", (unsigned long long)r.stub_bytes);
  printf("load average: %s at the start, %s at the end (2 cores)\n", r.load_start.c_str(), r.load_end.c_str());
  for (const OtherTree& t : r.others) {
    printf("%s: %llu bytes in %u files; zip -9 -r %llu; qev level 9 %llu (%.3f x zip -9, %.1f MB/s)", t.dir.c_str(),
           (unsigned long long)t.bytes, t.files, (unsigned long long)t.zip9_bytes,
           (unsigned long long)t.qev_l9_bytes, t.zip9_bytes ? (double)t.qev_l9_bytes / (double)t.zip9_bytes : 0,
           mbps(t.bytes, t.pack.cpu));
    if (t.brotli_bytes)
      printf("; brotli %llu (%.3f x)", (unsigned long long)t.brotli_bytes,
             t.zip9_bytes ? (double)t.brotli_bytes / (double)t.zip9_bytes : 0);
    printf("\n");
  }
  printf("\ntargets:\n");
  for (const Target& t : targets(r)) printf("  %-4s %s\n", t.pass ? "PASS" : "FAIL", t.text.c_str());
}

void print_json(const Report& r) {
  const uint64_t n = r.corpus_bytes;
  std::string s = "{";
  auto put = [&](const char* key, const std::string& value) {
    if (s.size() > 1) s += ", ";
    s += '"';
    s += key;
    s += "\": ";
    s += value;
  };
  auto num = [](double v) {
    char b[32];
    snprintf(b, sizeof b, "%.1f", v);
    return std::string(b);
  };
  auto ratio = [](double v) {
    char b[32];
    snprintf(b, sizeof b, "%.4f", v);
    return std::string(b);
  };
  put("corpus_bytes", std::to_string(n));
  put("corpus_files", std::to_string(r.files));
  put("corpus_folders", std::to_string(r.folders));
  if (r.zip9_bytes) put("zip9_bytes", std::to_string(r.zip9_bytes));
  if (r.xz9_bytes) put("xz9_bytes", std::to_string(r.xz9_bytes));
  if (r.brotli_bytes) {
    put("brotli11_w19_bytes", std::to_string(r.brotli_bytes));
    put("brotli11_w19_MBps", num(mbps(n, r.brotli_time.cpu)));
    if (r.zip9_bytes) put("brotli11_w19_vs_zip9", ratio((double)r.brotli_bytes / (double)r.zip9_bytes));
  }
  put("l9_vs_zip9_target", ratio(L9_VS_ZIP9));
  put("l6_vs_zip9_target", ratio(L6_VS_ZIP9));
  put("l1_vs_zip9_target", ratio(L1_VS_ZIP9));
  put("l9_MBps_target", num(L9_MBPS));
  put("l6_MBps_target", num(L6_MBPS));
  put("l1_MBps_target", num(L1_MBPS));
  for (const Packed& p : r.packed) {
    std::string k = "qev_l" + std::to_string(p.level);
    put((k + "_bytes").c_str(), std::to_string(p.archive.size()));
    put((k + "_MBps").c_str(), num(mbps(n, p.time.cpu)));
    put((k + "_wall_MBps").c_str(), num(mbps(n, p.time.wall)));
    if (p.two_threads.wall > 0) {
      put((k + "_wall_s").c_str(), num(p.time.wall));
      put((k + "_two_threads_wall_s").c_str(), num(p.two_threads.wall));
      put((k + "_two_threads_time").c_str(), ratio(p.two_threads.wall / p.time.wall));
      put("two_threads_time_target", ratio(TWO_THREADS_TIME));
    }
    if (r.zip9_bytes) put((k + "_vs_zip9").c_str(), ratio((double)p.archive.size() / (double)r.zip9_bytes));
  }
  put("zlib9_bytes", std::to_string(r.zlib9_bytes));
  put("libdeflate12_bytes", std::to_string(r.libdeflate12_bytes));
  const Packed* l9 = level(r, 9);
  const double lib = mbps(n, r.libdeflate_decode.cpu);
  if (l9) {
    put("qev_decode_MBps", num(mbps(n, l9->decode.cpu)));
    put("qev_decode_wall_MBps", num(mbps(n, l9->decode.wall)));
    put("qev_compact_decode_MBps", num(mbps(n, l9->decode_compact.cpu)));
    put("qev_compact_decode_wall_MBps", num(mbps(n, l9->decode_compact.wall)));
  }
  put("zlib_decode_MBps", num(mbps(n, r.zlib_decode.cpu)));
  put("zlib_decode_wall_MBps", num(mbps(n, r.zlib_decode.wall)));
  put("libdeflate_decode_MBps", num(lib));
  put("libdeflate_decode_wall_MBps", num(mbps(n, r.libdeflate_decode.wall)));
  if (l9 && lib > 0) {
    put("qev_decode_vs_libdeflate", ratio(mbps(n, l9->decode.cpu) / lib));
    put("qev_compact_decode_vs_libdeflate", ratio(mbps(n, l9->decode_compact.cpu) / lib));
    put("decode_vs_libdeflate_target", ratio(DECODE_VS_LIBDEFLATE));
  }
  for (const Packed& p : r.packed) {
    if (p.level == 9) continue;
    put(("qev_l" + std::to_string(p.level) + "_decode_MBps").c_str(), num(mbps(n, p.decode.cpu)));
    put(("qev_l" + std::to_string(p.level) + "_compact_decode_MBps").c_str(), num(mbps(n, p.decode_compact.cpu)));
  }
  put("decode_reps", std::to_string(r.reps));
  if (r.stub_bytes) put("stub_bytes", std::to_string(r.stub_bytes));
  if (!r.others.empty()) {
    std::string list;
    for (const OtherTree& t : r.others) {
      char b[512];
      snprintf(b, sizeof b,
               "%s{\"dir\": \"%s\", \"bytes\": %llu, \"files\": %u, \"zip9_bytes\": %llu, \"qev_l9_bytes\": %llu, "
               "\"qev_l9_vs_zip9\": %s, \"qev_l9_MBps\": %s, \"brotli11_w19_bytes\": %llu, \"vs_zip9_target\": %s}",
               list.empty() ? "" : ", ", t.dir.c_str(), (unsigned long long)t.bytes, t.files,
               (unsigned long long)t.zip9_bytes, (unsigned long long)t.qev_l9_bytes,
               ratio(t.zip9_bytes ? (double)t.qev_l9_bytes / (double)t.zip9_bytes : 0).c_str(),
               num(mbps(t.bytes, t.pack.cpu)).c_str(), (unsigned long long)t.brotli_bytes,
               ratio(OTHER_L9_VS_ZIP9).c_str());
      list += b;
    }
    put("also", "[" + list + "]");
  }
  bool all = true;
  std::string verdicts;
  for (const Target& t : targets(r)) {
    all = all && t.pass;
    verdicts += std::string(verdicts.empty() ? "" : ", ") + "{\"target\": \"" + t.text + "\", \"pass\": " +
                (t.pass ? "true" : "false") + "}";
  }
  put("targets", "[" + verdicts + "]");
  put("targets_met", all ? "true" : "false");
  put("loadavg_start", "\"" + r.load_start + "\"");
  put("loadavg_end", "\"" + r.load_end + "\"");
  s += "}";
  printf("%s\n", s.c_str());
}

}  // namespace bench
