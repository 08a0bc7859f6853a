// Fuzz target: arbitrary members and names, packed by the writer (the code of
// qev pack) with arbitrary options, then extracted by the installer's own
// driver into a temporary folder: every file must come back byte for byte
// with its read-only bit and modification time, every folder must be made,
// nothing may be reported, and the closing actions must run.
//
// Input (a tiny format, so that small inputs make varied archives):
//   byte 0   level (value % 10); value / 10 odd: the entries are planned as
//            qev pack plans them (identical files stored once, listed
//            right after the first); packed on value / 20 % 3 + 1 threads
//   byte 1   bits 0-1 filter (auto, none, 16-bit, 32-bit); bits 2-4 block
//            size (largest, 64, 500, 3000, 9000, 70000, 2, 13); bits 5-7
//            stream limit (256 KiB, 1, 100, 2000, 20000, 300000, 64, 4096);
//            the members take at most 256 KiB, so the first and the sixth
//            put them all in one stream (the writer reserves room for a
//            whole stream up front: a limit of megabytes only makes every
//            input slower)
//   byte 2   bits 0-1 distance tables forced (0: chosen); bits 2-3 default
//            set (0, 3: chosen, 1: used, 2: not); bit 4 stored blocks
//            forbidden; bits 5-7 directory block limit (8192, 38, 80, 150,
//            300, 1000, 4000, 60) with bit 5 also forcing stored directory
//            blocks
//   byte 3   set split: below 192 adaptive, else (value - 191) * 4 items per
//            set (tiny sets cost both sides a table build per few items)
//   then entries until the input ends, each:
//     kind     bit 0 folder; bit 1 read-only; bits 2-3 parent folder (0: the
//              root, else folder d1-d3, made before when needed); bit 4 the
//              data are the given bytes repeated to the given length
//     name     1 byte n (name length 1 + n % 12), then n bytes mapped onto
//              letters, digits, '-', '_' and two Windows-1252 letters
//     time     2 bytes: DOS date and time chosen from them
//     length   2 bytes little-endian; then up to that many data bytes (with
//              bit 4: 1 + byte count % 64 bytes, repeated to the length)
// Entries that would take the members past 256 KiB in all are left out, so
// that one input stays quick to pack at every level.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "encode/archive_writer.h"
#include "encode/name_rules.h"
#include "encode/pack_plan.h"
#include "harness.h"
#include "platform/dos_time.h"

namespace {

struct Reader {
  const uint8_t* p;
  size_t left;
  uint8_t byte() {
    if (!left) return 0;
    left--;
    return *p++;
  }
};

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
  }
  return s;
}

void fail(const std::string& why) {
  fprintf(stderr, "fuzz_round_trip: %s\n", why.c_str());
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  Reader in{data, size};
  qev::PackOptions o;
  const uint8_t b0 = in.byte();
  o.encoder.level = b0 % 10;
  const bool planned = b0 / 10 % 2;
  o.threads = b0 / 20 % 3 + 1;
  uint8_t b = in.byte();
  static const qev::FilterMode filters[] = {qev::FilterMode::Auto, qev::FilterMode::None,
                                            qev::FilterMode::E8_16, qev::FilterMode::E8_32};
  static const uint32_t block_sizes[] = {0, 64, 500, 3000, 9000, 70000, 2, 13};
  static const uint64_t stream_limits[] = {256u << 10, 1, 100, 2000, 20000, 300000, 64, 4096};
  o.filter = filters[b & 3];
  o.encoder.block_size = block_sizes[(b >> 2) & 7];
  o.stream_limit = stream_limits[b >> 5];
  b = in.byte();
  static const uint32_t dir_limits[] = {8192, 38, 80, 150, 300, 1000, 4000, 60};
  o.encoder.block.force_tables = b & 3;
  o.encoder.block.force_default = ((b >> 2) & 3) == 1 ? 1 : ((b >> 2) & 3) == 2 ? 0 : -1;
  o.encoder.block.allow_stored = !(b & 16);
  o.dir_block_limit = dir_limits[b >> 5];
  o.dir_block.force_stored = (b >> 5) & 1;
  b = in.byte();
  o.encoder.block.split_items = b < 192 ? 0 : (b - 191u) * 4;

  static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789-_ABCXYZ\xE9\xC4";
  constexpr size_t MAX_TOTAL = 256 << 10;
  size_t total = 0;
  std::vector<qev::PackEntry> entries;
  std::set<std::string> taken;  // names in lower case: Windows folds the case
  bool made[4] = {true, false, false, false};
  while (in.left > 0) {
    uint8_t kind = in.byte();
    std::string name;
    for (size_t n = 1 + in.byte() % 12; n > 0; n--) name += alphabet[in.byte() % (sizeof(alphabet) - 1)];
    uint8_t t0 = in.byte(), t1 = in.byte();
    uint32_t length = in.byte();
    length |= (uint32_t)in.byte() << 8;
    uint32_t parent = (kind >> 2) & 3;
    if (!made[parent]) {
      qev::PackEntry f;
      f.name = "d" + std::to_string(parent);
      f.folder = true;
      f.attributes = 0x10;
      taken.insert(f.name);
      entries.push_back(f);
      made[parent] = true;
    }
    qev::PackEntry e;
    e.folder = kind & 1;
    e.name = (parent ? "d" + std::to_string(parent) + "\\" : std::string()) + (e.folder ? "f_" : "m_") + name;
    if (!taken.insert(lower(e.name)).second || !qev::check_name(e.name).empty()) continue;
    e.attributes = e.folder ? 0x10 : (uint8_t)(0x20 | ((kind >> 1) & 1));
    e.write_date = e.create_date = (uint16_t)(((t0 % 100) << 9) | ((1 + t0 % 12) << 5) | (1 + t1 % 28));
    e.write_time = e.create_time = (uint16_t)(((t1 % 24) << 11) | ((t0 % 60) << 5) | (t1 % 30));
    if (!e.folder) {
      if (kind & 16) {
        std::vector<uint8_t> unit;
        for (size_t n = 1 + in.byte() % 64; n > 0 && in.left; n--) unit.push_back(in.byte());
        for (size_t i = 0; !unit.empty() && i < length; i++) e.data.push_back(unit[i % unit.size()]);
      } else {
        for (; length > 0 && in.left; length--) e.data.push_back(in.byte());
      }
    }
    if (total + e.data.size() > MAX_TOTAL) continue;
    total += e.data.size();
    entries.push_back(e);
  }
  if (entries.empty()) return 0;

  if (planned) qev::plan_pack(entries);
  qev::VectorSink sink;
  qev::PackResult packed;
  if (!qev::write_archive(entries, o, sink, packed)) fail("the writer refused: " + packed.error);
  Observation obs = run_extraction(sink.bytes);
  std::vector<std::string> problems = general_problems(obs);
  if (obs.result != 0) problems.push_back("result " + std::to_string(obs.result));
  if (!obs.boxes.empty()) problems.push_back("a message: " + obs.boxes[0].text);
  if (!obs.closing_actions()) problems.push_back("no closing actions");
  size_t expected = 0;
  for (const qev::PackEntry& e : entries) {
    std::string relative = e.name;
    for (char& c : relative) {
      if (c == '\\') c = '/';
    }
    std::string host = host_form(relative);
    auto it = obs.tree.find(host);
    if (it == obs.tree.end()) {
      problems.push_back("missing: " + host);
      continue;
    }
    expected++;
    const FileInfo& f = it->second;
    if (e.folder) {
      if (f.kind != FileInfo::FOLDER) problems.push_back("not a folder: " + host);
      continue;
    }
    if (f.kind != FileInfo::FILE || f.content != std::string(e.data.begin(), e.data.end())) {
      problems.push_back("content differs: " + host);
    }
    if (((f.mode & 0222) == 0) != ((e.attributes & 1) != 0)) problems.push_back("read-only bit: " + host);
    time_t t;
    if (dos_to_time(e.write_date, e.write_time, &t) && f.mtime != t) problems.push_back("time: " + host);
  }
  if (obs.tree.size() != expected) problems.push_back("more in the destination than packed");
  if (!problems.empty()) {
    for (const std::string& p : problems) fprintf(stderr, "fuzz_round_trip: %s\n", p.c_str());
    abort();
  }
  return 0;
}
