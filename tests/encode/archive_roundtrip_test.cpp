// Whole archives: written by the archive writer, read back by the reference
// reader and by the stub's own directory reader and decode_member. Property
// tests cut blocks, streams and directory blocks at awkward places.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include "archive/layout.h"
#include "encode/archive_writer.h"
#include "encode/pack_plan.h"
#include "encode/source_tree.h"
#include "encode/symbols.h"
#include "reference_reader.h"
#include "stub_decode.h"
#include "test_data.h"

namespace {

bool scan_for_test(const char* dir, std::vector<qev::PackEntry>& entries) {
  qev::ScanResult s;
  if (!qev::scan_source_tree(dir, s)) return false;
  entries = s.entries;
  for (auto& e : entries) {
    if (e.folder) continue;
    FILE* f = fopen(e.source.c_str(), "rb");
    if (!f) return false;
    fseek(f, 0, SEEK_END);
    e.data.resize((size_t)ftell(f));
    fseek(f, 0, SEEK_SET);
    size_t n = fread(e.data.data(), 1, e.data.size(), f);
    fclose(f);
    if (n != e.data.size()) return false;
    e.source.clear();
  }
  return true;
}

// scale 0: a few KiB per member, 1: tens of KiB, 2: MiB members.
std::vector<qev::PackEntry> sample_entries(uint32_t seed, int scale) {
  const bool big = scale == 2;
  const size_t div = scale == 0 ? 40 : 1;
  std::vector<qev::PackEntry> v;
  auto file = [&](const std::string& name, std::vector<uint8_t> data) {
    qev::PackEntry e;
    e.name = name;
    e.data = std::move(data);
    e.attributes = 0x20 | (seed % 3 == 0 ? 1 : 0);
    e.write_date = e.create_date = (uint16_t)((44 << 9) | (7 << 5) | 14);
    e.write_time = e.create_time = (uint16_t)((12 << 11) | (30 << 5) | 7);
    v.push_back(std::move(e));
  };
  qev::PackEntry folder;
  folder.name = "bin";
  folder.folder = true;
  folder.attributes = 0x10;
  v.push_back(folder);
  file("bin\\empty.dat", {});
  file("bin\\one.dat", {0xE8});
  file("bin\\tool.exe", testdata::x86_code(big ? 3 << 20 : 150000 / div, seed, true));
  file("readme \xE9t\xE9.txt", testdata::text(big ? 2 << 20 : 90000 / div, seed + 1));  // Windows-1252 name
  file("random.bin", testdata::random_bytes(big ? 1 << 20 : 50000 / div, seed + 2));
  folder.name = "empty folder";
  v.push_back(folder);
  file("mixed.dat", testdata::mixed(big ? 1 << 20 : 120000 / div, seed + 3));
  file("z", testdata::x86_code(17, seed + 4));
  return v;
}

refread::Archive check(const std::vector<qev::PackEntry>& entries, const qev::PackOptions& o,
                       qev::PackResult* result = nullptr, std::vector<uint8_t>* bytes = nullptr) {
  qev::VectorSink sink;
  qev::PackResult res;
  EXPECT_TRUE(qev::write_archive(entries, o, sink, res)) << res.error;
  refread::Archive a;
  std::string e = refread::read_archive(sink.bytes, 0, a);
  EXPECT_EQ(e, "");
  if (e.empty()) {
    EXPECT_EQ(a.members.size(), entries.size());
    for (size_t i = 0; i < entries.size() && i < a.members.size(); i++) {
      const refread::Member& m = a.members[i];
      EXPECT_EQ(m.name, entries[i].name);
      EXPECT_EQ((m.flags & 1) != 0, entries[i].folder);
      EXPECT_EQ(m.attributes, entries[i].attributes);
      EXPECT_EQ(m.write_date, entries[i].write_date);
      EXPECT_EQ(m.create_time, entries[i].create_time);
      if (!entries[i].folder) EXPECT_TRUE(m.data == entries[i].data) << m.name;
    }
  }
  if (result) *result = res;
  if (bytes) *bytes = sink.bytes;
  return a;
}

TEST(ArchiveRoundTrip, EveryLevelAndFilter) {
  auto entries = sample_entries(1, 1);
  // An x86-64 ELF shared object is filtered, a relocatable object is not.
  for (uint8_t type : {3, 1}) {
    qev::PackEntry e;
    e.name = type == 3 ? "libtool.so" : "tool.o";
    e.data = testdata::x86_code(60000, 4 + type);
    const uint8_t elf[20] = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, type, 0, 62, 0};
    std::copy(elf, elf + 20, e.data.begin());
    entries.push_back(e);
  }
  for (int level = 0; level <= 9; level++) {
    for (qev::FilterMode f : {qev::FilterMode::Auto, qev::FilterMode::None, qev::FilterMode::E8_16, qev::FilterMode::E8_32}) {
      SCOPED_TRACE("level " + std::to_string(level) + " filter " + std::to_string((int)f));
      qev::PackOptions o;
      o.encoder.level = level;
      o.filter = f;
      qev::PackResult res;
      refread::Archive a = check(entries, o, &res);
      if (f == qev::FilterMode::Auto) EXPECT_EQ(res.filtered32, 2u);  // tool.exe and libtool.so
      if (f == qev::FilterMode::E8_16) EXPECT_EQ(res.filtered16, res.files);
    }
  }
}

TEST(ArchiveRoundTrip, BigMembers) {
  auto entries = sample_entries(2, 2);
  for (int level : {1, 6}) {
    qev::PackOptions o;
    o.encoder.level = level;
    check(entries, o);
  }
}

TEST(ArchiveRoundTrip, AwkwardCutsOfBlocksStreamsAndDirectory) {
  // Tiny blocks put boundaries inside local records, names and CRC words;
  // small stream limits put several members in some streams and restart
  // others; small directory blocks cut the directory between every entry or two.
  auto entries = sample_entries(3, 0);
  for (int i = 0; i < 20; i++) {
    qev::PackEntry e;
    e.name = "many\\f" + std::to_string(i);
    e.data = testdata::text((size_t)(i * 37 % 300), (uint32_t)i);
    entries.push_back(e);
  }
  const uint32_t blocks[] = {2, 7, 13, 64, 4096};
  const uint64_t streams[] = {1, 100, 5000, 1u << 30};
  const uint32_t dirs[] = {38, 80, 300, 8192};
  int k = 0;
  for (uint32_t bs : blocks) {
    for (uint64_t sl : streams) {
      qev::PackOptions o;
      o.encoder.level = 1 + k % 9;
      o.encoder.block_size = bs;
      o.stream_limit = sl;
      o.dir_block_limit = dirs[k % 4];
      o.dir_block.force_stored = k % 5 == 0;
      k++;
      SCOPED_TRACE("block " + std::to_string(bs) + " stream limit " + std::to_string(sl));
      qev::PackResult res;
      check(entries, o, &res);
      if (sl == 1) EXPECT_EQ(res.streams, res.files);
    }
  }
}

TEST(ArchiveRoundTrip, HeaderFieldsAreFilled) {
  auto entries = sample_entries(4, 1);
  qev::PackResult res;
  std::vector<uint8_t> bytes;
  qev::PackOptions o;
  check(entries, o, &res, &bytes);
  ArchiveHeader h;
  parse_header(bytes.data(), &h);
  EXPECT_EQ(memcmp(h.archive_magic, "QEV\n", 4), 0);
  EXPECT_EQ(h.member_count, entries.size());
  EXPECT_EQ(h.archive_size, bytes.size());
  EXPECT_EQ(h.stream_data_size, h.directory_pos - 42);
  EXPECT_EQ(memcmp(bytes.data() + 42, "QEVLH\0", 6), 0);
  EXPECT_EQ(memcmp(bytes.data() + h.directory_pos, "QEVDE\0", 6), 0);
}

TEST(ArchiveRoundTrip, Deterministic) {
  auto entries = sample_entries(5, 1);
  qev::PackOptions o;
  o.encoder.level = 9;
  std::vector<uint8_t> a, b;
  check(entries, o, nullptr, &a);
  check(entries, o, nullptr, &b);
  EXPECT_EQ(a, b);
}

// The stub's own reading path over archives that use every construct.
std::string stub_check(const std::vector<qev::PackEntry>& entries, const qev::PackOptions& o) {
  qev::VectorSink sink;
  qev::PackResult res;
  if (!qev::write_archive(entries, o, sink, res)) return res.error;
  // Behind a fake stub, as in an installer.
  std::vector<uint8_t> file(777, 0x5A);
  file.insert(file.end(), sink.bytes.begin(), sink.bytes.end());
  std::string path = "/tmp/qev-encode-test-" + std::to_string(getpid()) + ".bin";
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(file.data(), 1, file.size(), f);
  fclose(f);
  std::vector<StubMember> members;
  std::string e = stub_decode_file(path, 777, true, &members, nullptr);
  unlink(path.c_str());
  if (!e.empty()) return e;
  if (members.size() != entries.size()) return "member count";
  for (size_t i = 0; i < entries.size(); i++) {
    if (members[i].name != entries[i].name) return "name of " + entries[i].name;
    if (!entries[i].folder && members[i].data != entries[i].data) return "data of " + entries[i].name;
  }
  return "";
}

TEST(StubDecoder, DecodesEveryConstruct) {
  auto entries = sample_entries(6, 1);
  struct Case { const char* name; int level; int tables; int def; bool stored; uint32_t split; int sel; uint32_t bs; };
  const Case cases[] = {
      {"stored", 0, 0, -1, false, 0, -1, 0},
      {"default set, one table", 9, 1, 1, false, 0, -1, 0},
      {"default set, two tables", 9, 2, 1, false, 0, -1, 0},
      {"three tables", 9, 3, 0, false, 0, -1, 0},
      {"one table, sent sets", 6, 1, 0, false, 0, -1, 0},
      {"many sets", 9, 0, 0, false, 300, -1, 0},
      {"selector row 0", 6, 0, -1, false, 0, 0 | (2 << 2), 70000},
      {"selector row 1", 6, 0, -1, false, 0, 1 | (5 << 2), 70000},
      {"selector row 2", 6, 0, -1, false, 0, 2 | (1 << 2), 70000},
      {"selector row 3", 6, 0, -1, false, 0, 3 | (7 << 2), 70000},
      {"small blocks", 9, 0, -1, false, 0, -1, 13},
      {"levels 1", 1, 0, -1, false, 0, -1, 0},
      {"level 5", 5, 0, -1, false, 0, -1, 0},
  };
  for (const Case& c : cases) {
    qev::PackOptions o;
    o.encoder.level = c.level;
    o.encoder.block.force_tables = c.tables;
    o.encoder.block.force_default = c.def;
    o.encoder.block.split_items = c.split;
    o.encoder.force_selector = c.sel;
    o.encoder.block_size = c.bs;
    o.filter = c.level % 2 ? qev::FilterMode::E8_16 : qev::FilterMode::Auto;
    o.dir_block_limit = c.level == 0 ? 100 : 8192;
    o.dir_block.force_stored = c.level == 0;
    EXPECT_EQ(stub_check(entries, o), "") << c.name;
  }
  // History reaching back 512 KiB, in the stub's window.
  std::vector<qev::PackEntry> far(2);
  far[0].name = "a";
  far[0].data = testdata::text(300000, 7);
  auto gap = testdata::text(215000, 8);
  far[1].name = "b";
  far[1].data = gap;
  far[1].data.insert(far[1].data.end(), far[0].data.begin(), far[0].data.end());
  qev::PackOptions o;
  o.encoder.level = 9;
  o.encoder.block_size = 150000;
  EXPECT_EQ(stub_check(far, o), "");
  // Matches reaching 800,000 bytes back inside one long block.
  far[0].data = testdata::random_bytes(500000, 9);
  far[1].data = testdata::random_bytes(300000, 10);
  far[1].data.insert(far[1].data.end(), far[0].data.begin(), far[0].data.begin() + 200000);
  o.encoder.block_size = 0;
  qev::VectorSink sink;
  qev::PackResult res;
  ASSERT_TRUE(qev::write_archive(far, o, sink, res));
  EXPECT_GE(res.report.max_distance, 800000u);
  EXPECT_EQ(stub_check(far, o), "");
}

std::vector<uint8_t> pack(const std::vector<qev::PackEntry>& entries, const qev::PackOptions& o,
                          qev::PackResult* result = nullptr) {
  qev::VectorSink sink;
  qev::PackResult res;
  EXPECT_TRUE(qev::write_archive(entries, o, sink, res)) << res.error;
  if (result) *result = res;
  return sink.bytes;
}

// Members as the stub's driver serves them, with the restarts it makes.
std::vector<StubMember> stub_members(const std::vector<uint8_t>& archive) {
  std::string path = "/tmp/qev-encode-test-" + std::to_string(getpid()) + ".qev";
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(archive.data(), 1, archive.size(), f);
  fclose(f);
  std::vector<StubMember> members;
  EXPECT_EQ(stub_decode_file(path, 0, false, &members, nullptr), "");
  unlink(path.c_str());
  return members;
}

qev::PackEntry member(const std::string& name, std::vector<uint8_t> data) {
  qev::PackEntry e;
  e.name = name;
  e.folder = name.back() == '\\';
  if (e.folder) e.name.pop_back();
  e.attributes = e.folder ? 0x10 : 0x20;
  e.data = std::move(data);
  return e;
}

TEST(Repeats, StoredOnceAndServedFromTheBlockTheStubHolds) {
  // a.bin ends just short of the first block's end, so b.bin (repeated
  // twice, in folders listed after it) would cross into the next block;
  // c.dll (repeated) is longer than a block; d.txt and x\d.txt only share a
  // size; the empty files repeat without being read.
  const auto b = testdata::text(100000, 1), c = testdata::x86_code(3 << 19, 2, true);
  const std::vector<qev::PackEntry> tree = {
      member("a.bin", testdata::random_bytes(qev::MAX_STORED_BLOCK - 3000, 3)), member("b.bin", b),
      member("c.dll", c), member("d.txt", testdata::text(5000, 4)), member("e.txt", {}), member("x\\", {}),
      member("x\\b.bin", b), member("x\\c.dll", c), member("x\\d.txt", testdata::text(5000, 5)),
      member("x\\e.txt", {}), member("y\\", {}), member("y\\b2.bin", b)};
  std::vector<qev::PackEntry> planned = tree;
  qev::PlanResult plan = qev::plan_pack(planned);
  EXPECT_EQ(plan.repeats, 4u);
  EXPECT_EQ(plan.repeat_bytes, 2 * b.size() + c.size());
  // Each repeat right after its first copy, with its folder.
  const char* order[] = {"a.bin", "b.bin", "x", "x\\b.bin", "y", "y\\b2.bin", "c.dll", "x\\c.dll",
                         "d.txt", "e.txt", "x\\d.txt", "x\\e.txt"};
  for (size_t i = 0; i < planned.size(); i++) EXPECT_EQ(planned[i].name, order[i]);

  qev::PackOptions o;
  o.threads = 1;
  qev::PackResult res;
  check(planned, o, &res);
  const std::vector<uint8_t> once = pack(planned, o);
  EXPECT_EQ(res.repeats, 4u);
  EXPECT_EQ(res.repeat_bytes, plan.repeat_bytes);
  o.threads = 3;
  EXPECT_TRUE(pack(planned, o) == once);
  const size_t twice = pack(tree, o).size();
  EXPECT_LT(once.size() + c.size() / 4, twice);

  // Repeats name the first copy's record; only c.dll's repeat goes back, to
  // the start of the stream that c.dll begins.
  std::vector<StubMember> m = stub_members(once);
  ASSERT_EQ(m.size(), planned.size());
  for (size_t i = 0; i < m.size(); i++) {
    const uint32_t same = planned[i].same_as;
    if (same != qev::NOT_A_REPEAT && !planned[i].data.empty()) {
      EXPECT_EQ(m[i].entry.stream_pos, m[same].entry.stream_pos) << m[i].name;
      EXPECT_EQ(m[i].entry.stream_offset, m[same].entry.stream_offset) << m[i].name;
    }
    EXPECT_EQ(m[i].restarted, m[i].name == "x\\c.dll") << m[i].name;
  }
  EXPECT_EQ(m[7].entry.stream_offset, 0u);
  EXPECT_EQ(m[1].entry.stream_offset, 0u);  // b.bin began a stream rather than cross a block
  EXPECT_NE(m[1].entry.stream_pos, m[0].entry.stream_pos);
}

TEST(Repeats, AClaimTheBytesDoNotBearOutIsStoredWhole) {
  // Same size, other bytes (as when a file changes after planning); a claim
  // that names a folder, the entry itself or one after it.
  std::vector<qev::PackEntry> v = {member("f\\", {}), member("a", testdata::text(3000, 1)),
                                   member("b", testdata::text(3000, 2)), member("c", testdata::text(10, 3)),
                                   member("d", testdata::text(10, 4))};
  v[2].same_as = 1;
  v[3].same_as = 0;
  v[4].same_as = 4;
  v[1].same_as = 2;
  qev::PackResult res;
  check(v, qev::PackOptions(), &res);
  EXPECT_EQ(res.repeats, 0u);
}

TEST(Repeats, CompiledModulesFollowTheirSourcesAndRepeatsTheirFirstCopy) {
  // In a scan's order. c.py repeats a.py, so it moves and its module stays;
  // x's module repeats a.py's module and follows it, folders and all; an
  // orphan module, one beside its source and one in a folder that only ends
  // in __pycache__ stay where they are.
  const auto a = testdata::text(9000, 1), pa = testdata::mixed(7000, 2);
  const std::vector<qev::PackEntry> tree = {
      member("__pycache__\\", {}), member("__pycache__\\a.cpython-311.pyc", pa),
      member("__pycache__\\b.cpython-311.opt-1.pyc", testdata::mixed(5000, 3)),
      member("__pycache__\\c.cpython-311.pyc", testdata::mixed(5000, 4)),
      member("__pycache__\\orphan.cpython-311.pyc", testdata::mixed(300, 5)), member("a.py", a),
      member("b.py", testdata::text(4000, 6)), member("c.py", a), member("m.py", testdata::text(800, 7)),
      member("m.pyc", testdata::mixed(900, 8)), member("x\\", {}), member("x\\__pycache__\\", {}),
      member("x\\__pycache__\\k.cpython-311.pyc", pa), member("x\\k.py", testdata::text(700, 9)),
      member("y__pycache__\\", {}), member("y__pycache__\\m.cpython-311.pyc", testdata::mixed(600, 10))};
  std::vector<qev::PackEntry> planned = tree;
  qev::PlanResult plan = qev::plan_pack(planned);
  EXPECT_EQ(plan.repeats, 2u);
  const char* order[] = {"__pycache__", "__pycache__\\c.cpython-311.pyc", "__pycache__\\orphan.cpython-311.pyc",
                         "a.py", "__pycache__\\a.cpython-311.pyc", "x", "x\\__pycache__",
                         "x\\__pycache__\\k.cpython-311.pyc", "c.py", "b.py",
                         "__pycache__\\b.cpython-311.opt-1.pyc", "m.py", "m.pyc", "x\\k.py", "y__pycache__",
                         "y__pycache__\\m.cpython-311.pyc"};
  ASSERT_EQ(planned.size(), std::size(order));
  for (size_t i = 0; i < planned.size(); i++) EXPECT_EQ(planned[i].name, order[i]);
  EXPECT_EQ(planned[7].same_as, 4u);
  EXPECT_EQ(planned[8].same_as, 3u);
  qev::PackResult res;
  check(planned, qev::PackOptions(), &res);
  EXPECT_EQ(res.repeats, 2u);
}

TEST(Repeats, NearCopiesJoinTheFileTheyResembleFromLevel6On) {
  // In a scan's order, 2 MiB apart: p\near.txt and x\q\far.txt edit a.txt
  // in a few places and join it, among them its repeat x\a.txt; z.bin
  // resembles a file larger than the window, which is not compared; other
  // files stay, a tiny one too.
  const auto a = testdata::text(60000, 1), big = testdata::random_bytes(MAX_HISTORY + 1, 2);
  auto edit = [](std::vector<uint8_t> d, uint32_t seed) {
    for (size_t i = seed * 97; i < d.size(); i += 9000) d[i] ^= 0x20;
    return d;
  };
  const std::vector<qev::PackEntry> tree = {
      member("a.txt", a), member("b.bin", testdata::random_bytes(2 << 20, 3)), member("big.bin", big),
      member("p\\", {}), member("p\\near.txt", edit(a, 1)), member("p\\other.bin", testdata::x86_code(20000, 4)),
      member("p\\tiny", {1, 2, 3}), member("x\\", {}), member("x\\a.txt", a), member("x\\q\\", {}),
      member("x\\q\\far.txt", edit(a, 2)),
      member("z.bin", std::vector<uint8_t>(big.begin(), big.begin() + 100000))};
  std::vector<qev::PackEntry> kept = tree, grouped = tree;
  EXPECT_EQ(qev::plan_pack(kept, qev::plan_options_for(5)).moved_beside_similar, 0u);
  qev::PlanResult plan = qev::plan_pack(grouped, qev::plan_options_for(6));
  EXPECT_EQ(plan.moved_beside_similar, 2u);
  EXPECT_EQ(plan.repeats, 1u);
  const char* order[] = {"a.txt", "p", "p\\near.txt", "x", "x\\a.txt", "x\\q", "x\\q\\far.txt", "b.bin",
                         "big.bin", "p\\other.bin", "p\\tiny", "z.bin"};
  ASSERT_EQ(grouped.size(), std::size(order));
  for (size_t i = 0; i < grouped.size(); i++) EXPECT_EQ(grouped[i].name, order[i]);
  EXPECT_EQ(grouped[4].same_as, 0u);

  qev::PackOptions o;
  o.encoder.level = 9;
  qev::PackResult res;
  check(grouped, o, &res);
  EXPECT_EQ(res.repeats, 1u);
  // The edited copies now lie within reach of what they repeat.
  EXPECT_LT(pack(grouped, o).size() + a.size() / 8, pack(kept, o).size());
}

TEST(Repeats, CompressedFilesOfAFolderTakeTheOrderOfTheirNamesReadBackwards) {
  // Only among themselves, in the places they held, and only among files of
  // one folder listed together; from level 6 on.
  const char* scan[] = {"m\\", "m\\alpha_ls.1.gz", "m\\alpha_rm.1.gz", "m\\index.txt", "m\\ls.1.gz",
                        "m\\rm.1.gz", "m\\sub\\", "m\\sub\\z.gz", "m\\zz.xz", "m\\aa.bz2"};
  std::vector<qev::PackEntry> tree;
  for (const char* n : scan) tree.push_back(member(n, testdata::random_bytes(100, (uint32_t)tree.size())));
  std::vector<qev::PackEntry> kept = tree, grouped = tree;
  qev::plan_pack(kept, qev::plan_options_for(5));
  qev::plan_pack(grouped, qev::plan_options_for(9));
  const char* order[] = {"m", "m\\rm.1.gz", "m\\alpha_rm.1.gz", "m\\index.txt", "m\\ls.1.gz",
                         "m\\alpha_ls.1.gz", "m\\sub", "m\\sub\\z.gz", "m\\aa.bz2", "m\\zz.xz"};
  ASSERT_EQ(grouped.size(), std::size(order));
  for (size_t i = 0; i < grouped.size(); i++) {
    EXPECT_EQ(grouped[i].name, order[i]);
    EXPECT_EQ(kept[i].name, tree[i].name);
  }
  EXPECT_EQ(grouped[8].data, tree[9].data);  // entries move whole
}

TEST(Pipeline, SegmentsAndStreamsGiveTheSameBytesForEveryThreadCount) {
  // Streams of several segments, a member longer than a segment, and a
  // stream limit that splits the input in two.
  std::vector<qev::PackEntry> v = {member("big.exe", testdata::x86_code(5 << 20, 7, true)),
                                   member("t.txt", testdata::text(1 << 20, 8)),
                                   member("m.dat", testdata::mixed(3 << 20, 9))};
  for (int level : {1, 6}) {
    SCOPED_TRACE("level " + std::to_string(level));
    qev::PackOptions o;
    o.encoder.level = level;
    o.stream_limit = 6 << 20;
    o.threads = 1;
    qev::PackResult res;
    const std::vector<uint8_t> one = pack(v, o, &res);
    EXPECT_EQ(res.streams, 2u);
    o.threads = 3;
    EXPECT_TRUE(pack(v, o) == one);
    if (level == 6) check(v, o);
  }
}

TEST(Corpus, PacksAndRestoresTheBenchmarkCorpus) {
  const char* dir = "/work/corpus";
  if (access(dir, R_OK) != 0) GTEST_SKIP() << "no corpus at " << dir;
  std::vector<qev::PackEntry> entries;
  ASSERT_TRUE(scan_for_test(dir, entries));
  qev::PackOptions o;
  o.encoder.level = 1;
  EXPECT_EQ(stub_check(entries, o), "");
}

}  // namespace

