// The extraction driver against stored-block archives: streams shared and
// restarted, records split across blocks, folders, CRC failures, directory
// damage, cancellation, the overwrite prompt, files that cannot be created,
// the closing actions, the destination's forms and limits, and the two mended
// faults (names leaving the destination, the unquoted program path).
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "shell/driver.h"
#include "decode/decoder_state.h"
#include "shell/report_error.h"
#include "base/result_codes.h"
#include "shell/ui.h"
#include "shell_fixture.h"
#include "test_archive.h"

namespace {

time_t local_time(int year, int month, int day, int hour, int minute, int second) {
  struct tm t = {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return mktime(&t);
}

mode_t mode_of(const std::string& host_path) {
  struct stat st;
  return stat(host_path.c_str(), &st) == 0 ? st.st_mode : 0;
}

class Driver : public ShellFixture {
 protected:
  // Opens the archive and extracts into `destination` (relative to the
  // scratch folder, in the archive's backslash form).
  int extract(TestArchive& a, const std::string& destination = "out") {
    bytes = a.build();
    EXPECT_EQ(open_archive(bytes), 1);
    set_destination(scratch.win(destination));
    return extract_all(&window);
  }
  std::string out(const std::string& relative) { return scratch.host("out/" + relative); }
  std::string out_win(const std::string& relative) { return scratch.win("out\\" + relative); }
  bool closing_actions_ran() { return !fake_ui.program_starts.empty(); }

  std::vector<uint8_t> bytes;
};

TEST_F(Driver, ThreeMembersOfOneStreamAreServedFromOneBlock) {
  TestArchive a;
  int s = a.add_stream();
  std::string one = pattern(301, 1), two = pattern(5000, 2), three = pattern(77, 3);
  a.add_file(s, "docs\\one.txt", one, 0x21);
  a.add_file(s, "docs\\two.bin", two);
  a.add_file(s, "three", three);
  a.add_folder("docs", 0x10);
  // Archive reads seen at each drain: at each file's status, before its
  // decoding (none per folder).
  std::vector<uint32_t> reads;
  fake_ui.on_drain = [&](uint32_t) { reads.push_back(fault_calls(FAULT_READ)); };

  EXPECT_EQ(extract(a), 0);
  EXPECT_EQ(read_file(out("docs/one.txt")), one);
  EXPECT_EQ(read_file(out("docs/two.bin")), two);
  EXPECT_EQ(read_file(out("three")), three);
  EXPECT_TRUE(fake_ui.boxes.empty());
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[2], reads[1]) << "the second member reads nothing";
  EXPECT_EQ(fault_calls(FAULT_READ), reads[2]) << "the third member reads nothing";

  // Read-only from 0x21; times from the entry.
  EXPECT_EQ(mode_of(out("docs/one.txt")) & 0222, 0u);
  EXPECT_NE(mode_of(out("docs/two.bin")) & 0200, 0u);
  struct stat st;
  ASSERT_EQ(stat(out("docs/one.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, local_time(2004, 12, 24, 12, 29, 52));

  EXPECT_EQ(fake_ui.statuses,
            (std::vector<std::string>{"Extracting docs\\one.txt", "Extracting docs\\two.bin",
                                      "Extracting three"}));
}

TEST_F(Driver, ClosingActionsStartTheQuotedProgramAndRegisterIt) {
  TestArchive a;
  a.add_file(a.add_stream(), "lumetra.exe", "MZ");
  EXPECT_EQ(extract(a, "Program Files\\Lumetra"), 0);

  std::string program = scratch.win("Program Files\\Lumetra\\lumetra.exe");
  ASSERT_EQ(fake_ui.program_starts.size(), 1u);
  EXPECT_EQ(fake_ui.program_starts[0], "\"" + program + "\"");
  ASSERT_EQ(fake_ui.registry.size(), 4u);
  EXPECT_EQ(fake_ui.registry[0].op, "create");
  EXPECT_EQ(fake_ui.registry[0].name,
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumetra");
  EXPECT_EQ(fake_ui.registry[1].op, "set");
  EXPECT_EQ(fake_ui.registry[1].name, "DisplayName");
  EXPECT_EQ(fake_ui.registry[1].size, 8u);
  EXPECT_EQ(fake_ui.registry[1].data, std::string("Lumetra\0", 8));
  EXPECT_EQ(fake_ui.registry[2].name, "UninstallString");
  std::string command = "\"" + program + "\" /uninstall";
  EXPECT_EQ(fake_ui.registry[2].size, command.size() + 1);
  EXPECT_EQ(fake_ui.registry[2].data, command + std::string(1, '\0'));
  EXPECT_EQ(fake_ui.registry[3].op, "close");
  // The destination is left holding the folder, without its separator.
  EXPECT_STREQ(stub_config.destination, scratch.win("Program Files\\Lumetra").c_str());
  EXPECT_EQ(installer_exit_code(), 0);
}

// A publisher's product: the uninstall values by their kinds, the program's
// path in the destination limit, and a product without a program.
TEST_F(Driver, AProductsUninstallValuesAndAProductWithoutAProgram) {
  static const char values[] =
      "DisplayName\0sAcme Tool\0UninstallString\0p /uninstall\0DisplayIcon\0p\0"
      "InstallLocation\0f\0EstimatedSize\0d4294967295\0NoModify\0d1\0";
  stub_config.program_name = "bin\\acme.exe";
  stub_config.uninstall_key = "Acme Key";
  stub_config.registry_values = values;
  TestArchive a;
  a.add_file(a.add_stream(), "bin\\acme.exe", "MZ");
  EXPECT_EQ(extract(a, "Acme Tool\\"), 0);
  const std::string folder = scratch.win("Acme Tool");
  const std::string quoted = "\"" + folder + "\\bin\\acme.exe\"";
  EXPECT_EQ(fake_ui.program_starts, std::vector<std::string>{quoted});
  struct Value {
    const char* name;
    uint32_t type;
    std::string data;
  };
  const uint32_t number = 0xFFFFFFFFu, one = 1;
  const Value expect[] = {
      {"DisplayName", REGISTRY_TEXT, std::string("Acme Tool\0", 10)},
      {"UninstallString", REGISTRY_TEXT, quoted + " /uninstall" + '\0'},
      {"DisplayIcon", REGISTRY_TEXT, quoted + '\0'},
      {"InstallLocation", REGISTRY_TEXT, folder + '\0'},
      {"EstimatedSize", REGISTRY_NUMBER, std::string((const char*)&number, 4)},
      {"NoModify", REGISTRY_NUMBER, std::string((const char*)&one, 4)},
  };
  ASSERT_EQ(fake_ui.registry.size(), 2 + std::size(expect));
  EXPECT_EQ(fake_ui.registry[0].name, "Acme Key");
  for (size_t i = 0; i < std::size(expect); i++) {
    const FakeRegistryCall& call = fake_ui.registry[i + 1];
    EXPECT_EQ(call.name, expect[i].name);
    EXPECT_EQ(call.type, expect[i].type) << call.name;
    EXPECT_EQ(call.data, expect[i].data) << call.name;
    EXPECT_EQ(call.size, expect[i].data.size()) << call.name;
  }
  EXPECT_EQ(installer_exit_code(), 0);

  // The packer's limit for the destination, from the program's length.
  fake_ui_reset();
  stub_config.destination_max = 8;
  set_destination("C:\\Acme\\x");
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_EQ(fake_ui.boxes.at(0).text, "Cannot create folder C:\\Acme\\x\nInvalid path");

  // No program: nothing started, no key, and the folder left for the
  // dialog's closing box.
  fake_ui_reset();
  stub_config.destination_max = DEFAULT_DESTINATION_MAX;
  stub_config.program_name = "";
  set_destination(scratch.win("Acme Docs\\"));
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_TRUE(fake_ui.program_starts.empty());
  EXPECT_TRUE(fake_ui.registry.empty());
  EXPECT_STREQ(stub_config.destination, scratch.win("Acme Docs").c_str());
  EXPECT_EQ(read_file(scratch.host("Acme Docs/bin/acme.exe")), "MZ");
}

TEST_F(Driver, AFailedUninstallKeyWritesNoValues) {
  TestArchive a;
  a.add_file(a.add_stream(), "x", "y");
  fake_ui.registry_ok = false;
  EXPECT_EQ(extract(a), 0);
  EXPECT_EQ(fake_ui.program_starts.size(), 1u);
  ASSERT_EQ(fake_ui.registry.size(), 1u);
  EXPECT_EQ(fake_ui.registry[0].op, "create");
}

TEST_F(Driver, AMemberBeforeWindowStartRestartsItsStream) {
  TestArchive a;
  int s = a.add_stream();
  std::string first = pattern(3000, 4), second = pattern(2000, 5);
  a.add_file(s, "first", first);
  uint32_t cut = a.stream_size(s);
  a.add_file(s, "second", second);
  a.cut_stream(s, {cut});
  std::swap(a.entries[0], a.entries[1]);  // the later record is listed first
  EXPECT_EQ(extract(a), 0);
  EXPECT_EQ(read_file(out("second")), second);
  EXPECT_EQ(read_file(out("first")), first);
  EXPECT_TRUE(fake_ui.boxes.empty());
}

TEST_F(Driver, RecordsSplitAcrossBlocks) {
  TestArchive a;
  int s = a.add_stream();
  std::string one = pattern(100, 6), two = pattern(900, 7), three = pattern(40000, 8);
  a.add_file(s, "one", one);
  uint32_t two_at = a.stream_size(s);
  a.add_file(s, "second member", two);
  uint32_t three_at = a.stream_size(s);
  a.add_file(s, "three", three);
  // Local record 4 + 7, the name 3 + the rest, data cut twice.
  a.cut_stream(s, {two_at + 4, two_at + 11 + 3, two_at + 11 + 13 + 450, three_at + 11 + 5 + 20000});
  EXPECT_EQ(extract(a), 0);
  EXPECT_EQ(read_file(out("one")), one);
  EXPECT_EQ(read_file(out("second member")), two);
  EXPECT_EQ(read_file(out("three")), three);
}

TEST_F(Driver, AMemberCutShortFailsItsCheckEvenWhenItsBytesHaveTheEntrysCrc) {
  // Each stream ends before its member's size is reached, and each entry's
  // crc32 is that of the bytes the member does get, as a damaged directory
  // may say: the first gets its data and the CRC word after them, the second
  // nothing at all (a record with no name, at the stream's end, and a crc32
  // of 0). Both fail their check: no truncated file is kept.
  TestArchive a;
  std::string data = pattern(300, 30);
  size_t cut = a.add_file(a.add_stream(), "cut", data);
  int s = a.add_stream();
  size_t none = a.add_file(s, "none", "");
  uint32_t tail = a.stream_size(s);
  a.pad_stream(s, 11, 0);
  a.add_file(a.add_stream(), "whole", "still here");
  std::string delivered = data;
  uint32_t word = reference_crc32(data.data(), data.size());
  for (int i = 0; i < 4; i++) delivered += (char)(word >> (8 * i));
  a.entries[cut].e.size = (uint32_t)delivered.size() + 100;
  a.entries[cut].keep_crc = true;
  a.entries[cut].e.crc32 = reference_crc32(delivered.data(), delivered.size());
  a.entries[none].e.stream_offset = tail;
  a.entries[none].e.size = 50;
  a.entries[none].keep_crc = true;
  a.entries[none].e.crc32 = 0;

  EXPECT_EQ(extract(a), 0);
  EXPECT_EQ(fake_box_texts(),
            (std::vector<std::string>{"File \"" + out_win("cut") + "\" fails error check",
                                      "File \"" + out_win("none") + "\" fails error check"}));
  EXPECT_FALSE(path_exists(out("cut")));
  EXPECT_FALSE(path_exists(out("none")));
  EXPECT_EQ(read_file(out("whole")), "still here");
  EXPECT_TRUE(closing_actions_ran());
}

TEST_F(Driver, ManyStreamsAndDirectoryBlocksTakeTurns) {
  TestArchive a;
  int s1 = a.add_stream(), s2 = a.add_stream();
  std::vector<std::string> data;
  for (int i = 0; i < 6; i++) {
    data.push_back(pattern(1000 + 700 * i, 10 + i));
    a.add_file(i % 3 == 2 ? s2 : s1, "f" + std::to_string(i), data.back());
  }
  a.cut_stream(s1, {1500, 5000});
  a.directory_blocks({1, 2, 1});
  EXPECT_EQ(extract(a, "out"), 0);
  for (int i = 0; i < 6; i++) EXPECT_EQ(read_file(out("f" + std::to_string(i))), data[i]) << i;
}

TEST_F(Driver, AnArchiveBehindAStub) {
  TestArchive a;
  a.add_file(a.add_stream(), "readme.txt", "behind 1234 bytes");
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes, 1234), 1);
  set_destination(scratch.win("out"));
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_EQ(read_file(out("readme.txt")), "behind 1234 bytes");
}

TEST_F(Driver, AZeroLengthMember) {
  TestArchive a;
  a.add_file(a.add_stream(), "empty.dat", "", 0x01);
  EXPECT_EQ(extract(a), 0);
  EXPECT_EQ(read_file(out("empty.dat")), "");
  EXPECT_EQ(mode_of(out("empty.dat")) & 0222, 0u);
  struct stat st;
  ASSERT_EQ(stat(out("empty.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, local_time(2004, 12, 24, 12, 29, 52));
}

TEST_F(Driver, FoldersWithAttributes07And27) {
  TestArchive a;
  int s = a.add_stream();
  a.add_folder("sys", 0x07);
  a.add_folder("sys\\arc", 0x27);
  a.add_file(s, "sys\\arc\\inside.txt", "still writable inside", 0x27);
  a.add_folder("sys", 0x07);  // exists already: succeeds, attributes set again
  fault_reset();
  EXPECT_EQ(extract(a), 0);
  EXPECT_TRUE(is_folder(out("sys/arc")));
  EXPECT_EQ(read_file(out("sys/arc/inside.txt")), "still writable inside");
  // Of 0x27 only 0x07 reaches the file: read-only.
  EXPECT_EQ(mode_of(out("sys/arc/inside.txt")) & 0222, 0u);
  // Three for the folders; the file's go with its times.
  EXPECT_EQ(fault_calls(FAULT_SET_ATTRIBUTES), 3u);
  EXPECT_TRUE(fake_ui.boxes.empty());
  EXPECT_TRUE(closing_actions_ran());
}

// Members a, b, c in one stream; b's entry carries `crc` instead of its own.
TestArchive middle_member_with_crc(uint32_t crc) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "a", "first");
  size_t bad = a.add_file(s, "b", "second");
  a.add_file(s, "c", "third");
  a.entries[bad].keep_crc = true;
  a.entries[bad].e.crc32 = crc;
  return a;
}

TEST_F(Driver, WrongCrcDeletesTheFileAndOkGoesOn) {
  TestArchive a = middle_member_with_crc(reference_crc32("second", 6) ^ 1);
  EXPECT_EQ(extract(a), 0);
  EXPECT_FALSE(path_exists(out("b")));
  EXPECT_EQ(read_file(out("a")), "first");
  EXPECT_EQ(read_file(out("c")), "third");
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "File \"" + out_win("b") + "\" fails error check");
  EXPECT_EQ(fake_ui.boxes[0].style, 0x31u);
  EXPECT_EQ(fake_ui.boxes[0].owner, &window);
  EXPECT_TRUE(closing_actions_ran());
  EXPECT_EQ(installer_exit_code(), 1) << "a member is missing";
}

TEST_F(Driver, WrongCrcWithCancelStopsWithoutClosingActions) {
  TestArchive a = middle_member_with_crc(0x12345678);
  fake_ui.box_answers = {ANSWER_CANCEL};
  EXPECT_EQ(extract(a), 0);
  EXPECT_TRUE(path_exists(out("a")));
  EXPECT_FALSE(path_exists(out("b")));
  EXPECT_FALSE(path_exists(out("c")));
  EXPECT_FALSE(closing_actions_ran());
  EXPECT_TRUE(fake_ui.registry.empty());
}

TEST_F(Driver, DirectoryDamagedAfterTwoMembers) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "a", "first");
  a.add_file(s, "b", "second");
  a.add_file(s, "c", "third");
  a.directory_blocks({2});
  bytes = a.build();
  bytes[a.directory_positions[1]] ^= 0xFF;  // the second block's magic
  ASSERT_EQ(open_archive(bytes), 1);
  set_destination(scratch.win("out"));
  int result = extract_all(&window);
  EXPECT_EQ(result, ERR_DAMAGED);
  EXPECT_EQ(read_file(out("a")), "first");
  EXPECT_EQ(read_file(out("b")), "second");
  EXPECT_FALSE(path_exists(out("c")));
  EXPECT_TRUE(fake_ui.boxes.empty()) << "the driver itself shows nothing";
  EXPECT_TRUE(closing_actions_ran());
  EXPECT_EQ(fake_ui.registry.size(), 4u);
  // The dialog then reports the result.
  report_error(&window, result, nullptr, 0);
  EXPECT_EQ(fake_ui.boxes.at(0).text,
            "Archive data is damaged, probably caused by\na corrupt disk or download error");
  EXPECT_EQ(installer_exit_code(), 1);
}

// Each way a directory can run short ends the loop with ERR_DAMAGED after the
// entries before it, and the closing actions still run.
TEST_F(Driver, DirectoryDataRunningShort) {
  enum Damage { kMoreMembersThanEntries, kNamePastBlock, kAreasPastBlock, kBlockUnder38 };
  for (Damage damage : {kMoreMembersThanEntries, kNamePastBlock, kAreasPastBlock, kBlockUnder38}) {
    SCOPED_TRACE(damage);
    fake_ui_reset();
    TestArchive a;
    int s = a.add_stream();
    a.add_file(s, "good", "kept");
    size_t last = a.add_file(s, "bad", "never");
    switch (damage) {
      case kMoreMembersThanEntries:
        a.member_count = 3;
        break;
      case kNamePastBlock:
        a.entries[last].raw_name_len = 4;  // one byte more than the block holds
        break;
      case kAreasPastBlock:
        a.entries[last].raw_extra2_len = 1;
        break;
      case kBlockUnder38:
        a.entries.pop_back();
        a.member_count = 2;
        a.raw_directory_blocks.push_back(std::vector<uint8_t>(37, 0));
        break;
    }
    std::string destination = "out" + std::to_string(damage);
    EXPECT_EQ(extract(a, destination), ERR_DAMAGED);
    EXPECT_EQ(read_file(scratch.host(destination + "/good")), "kept");
    // With a count above the entries, "bad" is a sound entry of its own.
    EXPECT_EQ(path_exists(scratch.host(destination + "/bad")), damage == kMoreMembersThanEntries);
    EXPECT_TRUE(closing_actions_ran());
    file_close(archive_file);
    archive_file = INVALID_FILE;
  }
}

TEST_F(Driver, CancelDuringAMemberDeletesItWithoutClosingActions) {
  TestArchive a;
  a.add_file(a.add_stream(), "a", "first");
  a.add_file(a.add_stream(), "b", pattern(100000, 9));
  a.add_file(a.add_stream(), "c", "third");
  // Drains: at each file's status, before its decoding.
  fake_ui.cancel_at_drain = 2;
  EXPECT_EQ(extract(a), 0);
  EXPECT_EQ(read_file(out("a")), "first");
  EXPECT_FALSE(path_exists(out("b")));
  EXPECT_FALSE(path_exists(out("c")));
  EXPECT_TRUE(fake_ui.boxes.empty());  // a cancelled member shows nothing
  EXPECT_FALSE(closing_actions_ran());
  EXPECT_TRUE(fake_ui.registry.empty());
}

// Cancel clicked while a large member is decoded: the decoders let the
// window messages through (pump_messages, through decoder.drain_hook)
// wherever they poll cancel_requested, so the member stops where it is: its
// partial file is deleted, the member before it stays, nothing after it is
// extracted, and no closing actions run. Without the cancel the same member
// pumps all the way through, and the hook is gone once the driver returns.
TEST_F(Driver, CancelDuringALargeMemberStopsItMidway) {
  const std::string large = pattern(3000000, 11);
  auto build = [&](TestArchive& a) {
    a.add_file(a.add_stream(), "a", "first");
    int s = a.add_stream();
    a.add_file(s, "large.bin", large);
    std::vector<uint32_t> cuts;
    for (uint32_t at = 100000; at < a.stream_size(s); at += 100000) cuts.push_back(at);
    a.cut_stream(s, cuts);
    a.add_file(a.add_stream(), "c", "third");
  };
  // The pumps of a whole extraction, and how far large.bin had come at each
  // (a new file is written under its own name).
  std::vector<long long> written;
  std::string large_path = scratch.host("whole/large.bin");
  auto size_of_large = [&]() -> long long {
    struct stat st;
    if (stat(large_path.c_str(), &st) != 0) return -1;
    return (long long)st.st_size;
  };
  {
    TestArchive whole;
    build(whole);
    fake_ui.on_pump = [&](uint32_t) { written.push_back(size_of_large()); };
    EXPECT_EQ(extract(whole, "whole"), 0);
    EXPECT_EQ(read_file(scratch.host("whole/large.bin")), large);
    EXPECT_TRUE(closing_actions_ran());
    EXPECT_EQ(decoder.drain_hook, nullptr);
    file_close(archive_file);
    archive_file = INVALID_FILE;
  }
  // Some pump with part of large.bin written: cancel there.
  uint32_t midway = 0;
  for (uint32_t i = 0; i < written.size() && !midway; i++) {
    if (written[i] > 0 && written[i] < (long long)large.size() / 2) midway = i + 1;
  }
  ASSERT_NE(midway, 0u) << "large.bin is decoded without a pump in its middle";

  fake_ui_reset();
  stub_config_reset();
  TestArchive cancelled;
  build(cancelled);
  fake_ui.cancel_at_pump = midway;
  long long at_cancel = -1;
  large_path = out("large.bin");
  fake_ui.on_pump = [&](uint32_t n) {
    if (n == midway) at_cancel = size_of_large();
  };
  EXPECT_EQ(extract(cancelled), 0);
  EXPECT_GT(at_cancel, 0) << "cancelled before large.bin was begun";
  EXPECT_LT(at_cancel, (long long)large.size());
  EXPECT_EQ(fake_ui.pumps, midway) << "the decoding went on after the cancel";
  EXPECT_EQ(read_file(out("a")), "first");
  EXPECT_FALSE(path_exists(out("large.bin")));
  EXPECT_FALSE(path_exists(out("large.bi0")));
  EXPECT_FALSE(path_exists(out("c")));
  EXPECT_TRUE(fake_ui.boxes.empty());  // a cancelled member shows nothing
  EXPECT_FALSE(closing_actions_ran());
  EXPECT_TRUE(fake_ui.registry.empty());
  EXPECT_EQ(decoder.drain_hook, nullptr);
}

// A file that a member is to replace stays exactly as it was whenever the
// replacement fails: a damaged member, a full disk, Cancel pressed while the
// overwrite question was up (and then Yes). Nothing stands under a
// temporary name afterwards, and no partial file under the member's.
TEST_F(Driver, AnExistingFileSurvivesAFailedReplacement) {
  enum Failure { DAMAGED, DISK_FULL, CANCEL_AT_THE_QUESTION };
  for (Failure failure : {DAMAGED, DISK_FULL, CANCEL_AT_THE_QUESTION}) {
    SCOPED_TRACE(failure);
    TestArchive a;
    int s = a.add_stream();
    size_t keep = a.add_file(s, "keep.txt", pattern(100000, 21));
    a.add_file(s, "after.txt", "after");
    if (failure == DAMAGED) {
      a.entries[keep].e.crc32 = 7;
      a.entries[keep].keep_crc = true;
    }
    ASSERT_EQ(mkdir(out("").c_str(), 0777), 0);
    write_file(out("keep.txt"), std::string("old"));
    bytes = a.build();
    ASSERT_EQ(open_archive(bytes), 1);
    stub_config.overwrite_all = 0;
    set_destination(scratch.win("out"));
    fault_reset();
    if (failure == DISK_FULL) fault_arm(FAULT_SHORT_WRITE, 1);
    if (failure == CANCEL_AT_THE_QUESTION) fake_ui.on_prompt = [] { decoder.cancel_requested = 1; };
    EXPECT_EQ(extract_all(&window), 0);

    EXPECT_EQ(read_file(out("keep.txt")), "old");
    EXPECT_EQ(list_tree(out("")), (failure == DAMAGED ? std::vector<std::string>{"after.txt", "keep.txt"}
                                                     : std::vector<std::string>{"keep.txt"}));
    // The replacement's own name is tried first, then its temporary one.
    EXPECT_EQ(fault_calls(FAULT_CREATE), failure == CANCEL_AT_THE_QUESTION ? 0u : failure == DAMAGED ? 3u : 2u);
    EXPECT_EQ(fake_box_texts().size(), failure == CANCEL_AT_THE_QUESTION ? 0u : 1u);

    file_close(archive_file);
    archive_file = INVALID_FILE;
    fake_ui_reset();
    stub_config_reset();
    ASSERT_EQ(system(("rm -rf '" + out("") + "'").c_str()), 0);
  }
}

TEST_F(Driver, CancelBetweenMembersEndsTheLoop) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "a", "first");
  a.add_file(s, "b", "second");
  fake_ui.cancel_at_drain = 2;  // at b's status: b is abandoned, nothing after it begun
  EXPECT_EQ(extract(a), 0);
  EXPECT_TRUE(path_exists(out("a")));
  EXPECT_FALSE(path_exists(out("b")));
  EXPECT_FALSE(closing_actions_ran());
  EXPECT_EQ(installer_exit_code(), 1);
}

TEST_F(Driver, OverwritePromptNoSkipsAndYesToAllReplacesEveryLaterFile) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "one", "new one");
  a.add_file(s, "two", "new two");
  a.add_file(s, "three", "new three");
  ASSERT_EQ(mkdir(scratch.host("out").c_str(), 0777), 0);
  for (const char* name : {"one", "two", "three"}) write_file(out(name), std::string("old"));
  stub_config.overwrite_all = 0;
  fake_ui.prompt_answers = {PROMPT_NO, PROMPT_YES_TO_ALL};
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes), 1);
  stub_config.overwrite_all = 0;
  set_destination(scratch.win("out"));
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_EQ(read_file(out("one")), "old");
  EXPECT_EQ(read_file(out("two")), "new two");
  EXPECT_EQ(read_file(out("three")), "new three");
  EXPECT_EQ(fake_ui.prompts, (std::vector<std::string>{out_win("one"), out_win("two")}));
  EXPECT_EQ(stub_config.overwrite_all, 1);
  EXPECT_EQ(fake_ui.statuses.size(), 2u) << "a skipped member shows no status";
}

TEST_F(Driver, AFailedPromptKeepsTheFileAndFoldersRaiseNoPrompt) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "file", "new");
  a.add_file(s, "other", "new too");
  a.add_file(s, "folder", "cannot replace a folder");
  ASSERT_EQ(mkdir(scratch.host("out").c_str(), 0777), 0);
  ASSERT_EQ(mkdir(out("folder").c_str(), 0777), 0);
  write_file(out("file"), std::string("old"));
  write_file(out("other"), std::string("old too"));
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes), 1);
  stub_config.overwrite_all = 0;
  fake_ui.prompt_answers = {0, -1};  // a prompt that could not be shown counts as No
  set_destination(scratch.win("out"));
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_EQ(read_file(out("file")), "old");
  EXPECT_EQ(read_file(out("other")), "old too");
  EXPECT_EQ(fake_ui.prompts.size(), 2u);
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "Cannot create " + out_win("folder") + "\nAccess denied");
}

// Reinstalling over read-only files: each is replaced and gets the member's
// attributes. When the replacement is refused even so (here: the second
// attempt fails), the old file stays, with its bytes, and is reported.
TEST_F(Driver, ReinstallOverReadOnlyFiles) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "locked", "new", 0x20);
  a.add_file(s, "kept read-only", "new too", 0x21);
  a.add_file(s, "refused", "never");
  ASSERT_EQ(mkdir(scratch.host("out").c_str(), 0777), 0);
  for (const char* name : {"locked", "kept read-only", "refused"}) {
    write_file(out(name), std::string("old"));
    ASSERT_EQ(chmod(out(name).c_str(), 0444), 0);
  }
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes), 1);
  stub_config.overwrite_all = 0;  // the prompt answers Yes
  set_destination(scratch.win("out"));
  fault_reset();
  fault_arm(FAULT_RENAME, 6, OS_ACCESS_DENIED);  // "refused": its second attempt
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_EQ(read_file(out("locked")), "new");
  EXPECT_NE(mode_of(out("locked")) & 0200, 0u);
  EXPECT_EQ(read_file(out("kept read-only")), "new too");
  EXPECT_EQ(mode_of(out("kept read-only")) & 0222, 0u);
  EXPECT_EQ(read_file(out("refused")), "old");
  EXPECT_EQ(fake_box_texts(), std::vector<std::string>{"Cannot create " + out_win("refused") + "\nAccess denied"});
  EXPECT_EQ(list_tree(out("")), (std::vector<std::string>{"kept read-only", "locked", "refused"}));
  EXPECT_TRUE(closing_actions_ran());
}

TEST_F(Driver, AFileThatCannotBeCreatedWithCancelStops) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "a", "x");
  a.add_file(s, "b", "y");
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes), 1);
  set_destination(scratch.win("out"));
  fault_reset();
  fault_arm(FAULT_CREATE, 1, 5, FAULT_FROM_THEN_ON);  // the fault double's error 5
  fake_ui.box_answers = {ANSWER_CANCEL};
  EXPECT_EQ(extract_all(&window), 0);
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "Cannot create " + out_win("a") + "\nAccess denied");
  EXPECT_FALSE(path_exists(out("b")));
  EXPECT_FALSE(closing_actions_ran());
}

TEST_F(Driver, AMissingFolderOnTheWayIsMadeBeforeTheSecondAttempt) {
  TestArchive a;
  a.add_file(a.add_stream(), "deep\\er\\file.txt", "found its way");
  EXPECT_EQ(extract(a), 0);
  EXPECT_EQ(read_file(out("deep/er/file.txt")), "found its way");
  EXPECT_TRUE(fake_ui.boxes.empty());
}

TEST_F(Driver, AFailedWriteDeletesThePartialFileAndStops) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "big", pattern(70000, 12));
  a.add_file(s, "after", "never");
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes), 1);
  set_destination(scratch.win("out"));
  fault_reset();
  fault_arm(FAULT_SHORT_WRITE, 1);
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_FALSE(path_exists(out("big")));
  EXPECT_FALSE(path_exists(out("after")));
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "Cannot write " + out_win("big") + "\nDisk full");
  EXPECT_EQ(fake_ui.boxes[0].style, 0x30u);
  EXPECT_FALSE(closing_actions_ran());
}

TEST_F(Driver, AFolderEntryThatCannotBeMadeEndsTheExtraction) {
  TestArchive a;
  int s = a.add_stream();
  a.add_folder("blocked\\sub");
  a.add_file(s, "after", "never");
  ASSERT_EQ(mkdir(scratch.host("out").c_str(), 0777), 0);
  write_file(out("blocked"), std::string("a file in the way"));
  EXPECT_EQ(extract(a), 0);
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "Cannot create folder " + out_win("blocked\\sub") + "\nPath not found");
  EXPECT_EQ(fake_ui.boxes[0].style, 0x30u);
  EXPECT_FALSE(path_exists(out("after")));
  EXPECT_FALSE(closing_actions_ran());
}

// Names that leave the destination, name devices (Windows would write to
// the device: a serial port received the bytes) or hold control characters.
TEST_F(Driver, RefusedNamesAreNotExtracted) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "good1.txt", "one");
  for (const char* evil : {"..\\evil1.txt", "sub\\..\\..\\evil2.txt", "sub/../../evil3.txt",
                           "\\evil4.txt", "/evil5.txt", "C:evil6.txt", "good.txt:stream",
                           "...\\evil7.txt", "NUL .txt", "sub\\COM1.log", "con", "lpt\xB9",
                           "CONOUT$.txt", "new\nline"}) {
    a.add_file(s, evil, "evil");
  }
  a.add_folder("aux");
  a.add_folder("..\\evil_folder");
  a.add_folder("C:\\evil_folder");
  a.add_file(s, "good2.txt", "two");
  ASSERT_EQ(mkdir(scratch.host("inner").c_str(), 0777), 0);
  EXPECT_EQ(extract(a, "inner\\out"), ERR_DAMAGED);
  EXPECT_EQ(list_tree(scratch.host()),
            (std::vector<std::string>{"inner/", "inner/out/", "inner/out/good1.txt",
                                      "inner/out/good2.txt", "setup.exe"}));
  EXPECT_TRUE(fake_ui.boxes.empty()) << "told once, by the dialog, after the loop";
  EXPECT_TRUE(closing_actions_ran());
  EXPECT_EQ(fake_ui.registry.size(), 4u);
}

// Links planted in the destination beforehand lead out of it. None is ever
// gone through: a link where a member's file goes is replaced by the member
// (or kept, when the question says No), a link on a member's way or where a
// folder goes is an error, and outside the destination nothing changes, a
// damaged member's bytes included.
TEST_F(Driver, PlantedLinksAreNeverGoneThrough) {
  for (int answer : {PROMPT_YES, PROMPT_NO}) {
    SCOPED_TRACE(answer == PROMPT_YES ? "Yes" : "No");
    Scratch outside;
    write_file(outside.host("victim.txt"), std::string("precious"));
    ASSERT_EQ(chmod(outside.host("victim.txt").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(outside.host("folder").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(scratch.host("out").c_str(), 0777), 0);
    ASSERT_EQ(symlink(outside.host("victim.txt").c_str(), out("file.txt").c_str()), 0);
    ASSERT_EQ(symlink(outside.host("created.txt").c_str(), out("new.txt").c_str()), 0);
    ASSERT_EQ(symlink(outside.host("victim.txt").c_str(), out("bad.bin").c_str()), 0);
    ASSERT_EQ(symlink(outside.host("folder").c_str(), out("docs").c_str()), 0);

    TestArchive a;
    int s = a.add_stream();
    a.add_file(s, "file.txt", "member one", 0x21);
    a.add_file(s, "new.txt", "member two");
    size_t bad = a.add_file(s, "bad.bin", "damaged");
    a.entries[bad].e.crc32 = 1;
    a.entries[bad].keep_crc = true;
    a.add_file(s, "docs\\sub\\readme.txt", "below a link");
    a.add_folder("docs");
    fake_ui.prompt_answers.assign(3, answer);
    bytes = a.build();
    ASSERT_EQ(open_archive(bytes), 1);
    stub_config.overwrite_all = 0;
    set_destination(scratch.win("out"));
    EXPECT_EQ(extract_all(&window), 0);

    EXPECT_EQ(list_tree(outside.host()), (std::vector<std::string>{"folder/", "victim.txt"}));
    EXPECT_EQ(read_file(outside.host("victim.txt")), "precious");
    EXPECT_EQ(mode_of(outside.host("victim.txt")) & 0777, 0644u);
    std::vector<std::string> texts;
    if (answer == PROMPT_YES) {
      EXPECT_EQ(read_file(out("file.txt")), "member one");
      EXPECT_EQ(read_file(out("new.txt")), "member two");
      EXPECT_EQ(mode_of(out("file.txt")) & 0222, 0u);
      texts.push_back("File \"" + out_win("bad.bin") + "\" fails error check");
    }
    texts.push_back("Cannot create " + out_win("docs\\sub\\readme.txt") + "\nAccess denied");
    texts.push_back("Cannot create folder " + out_win("docs") + "\nAccess denied");
    EXPECT_EQ(fake_box_texts(), texts);
    EXPECT_EQ(fake_ui.prompts.size(), 3u) << "every link counts as a file that exists";
    struct stat st;
    for (const char* name : {"bad.bin", "docs"}) {
      EXPECT_EQ(lstat(out(name).c_str(), &st), 0);
      EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
    }
    if (answer == PROMPT_NO) {
      for (const char* name : {"file.txt", "new.txt"}) {
        EXPECT_EQ(lstat(out(name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
      }
    }
    EXPECT_FALSE(closing_actions_ran());

    file_close(archive_file);
    archive_file = INVALID_FILE;
    fake_ui_reset();
    stub_config_reset();
    ASSERT_EQ(system(("rm -rf '" + scratch.host("out") + "'").c_str()), 0);
  }
}

TEST_F(Driver, DestinationForms) {
  TestArchive a;
  a.add_file(a.add_stream(), "readme.txt", "text");
  bytes = a.build();
  write_file(scratch.host("setup.exe"), bytes);
  std::string setup = scratch.win("setup.exe");
  enter_scratch();
  // Drive roots are ordinary folders on this host, and relative paths stay
  // relative (only Windows makes them absolute: e2e relative.sh); the volume
  // is asked about a destination with a drive letter only.
  for (const char* drive : {"C:", "D:", "E:"}) ASSERT_EQ(mkdir(drive, 0777), 0);

  struct Form {
    const char* typed;
    const char* file;     // where readme.txt lands, relative to the scratch folder
    const char* program;  // the program started
    std::vector<std::string> roots;  // the volumes asked
  };
  const Form forms[] = {
      {"out\\", "out/readme.txt", "\"out\\lumetra.exe\"", {}},
      {"", "readme.txt", "\".\\lumetra.exe\"", {}},  // the current folder
      {"C:", "C:/readme.txt", "\"C:\\lumetra.exe\"", {"C:\\"}},  // Windows makes it absolute
      {"D:\\", "D:/readme.txt", "\"D:\\lumetra.exe\"", {"D:\\"}},  // a root keeps its separator
      {"E:\\inst\\", "E:/inst/readme.txt", "\"E:\\inst\\lumetra.exe\"", {"E:\\"}},
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.typed);
    stub_config_reset();
    stub_config.archive_offset = 0;
    fake_ui_reset();
    ASSERT_EQ(startup_open_archive(setup.c_str()), 1);
    set_destination(form.typed);
    EXPECT_EQ(extract_all(&window), 0);
    EXPECT_EQ(read_file(scratch.host(form.file)), "text");
    EXPECT_EQ(fake_ui.program_starts, std::vector<std::string>{form.program});
    EXPECT_EQ(fake_ui.volume_roots, form.roots);
    file_close(archive_file);
    archive_file = INVALID_FILE;
  }
}

TEST_F(Driver, ShortNameVolumes) {
  TestArchive a;
  int s = a.add_stream();
  a.add_folder("long folder name");
  a.add_file(s, "long folder name\\Release Notes.html", "notes");
  bytes = a.build();
  enter_scratch();
  write_file(scratch.host("setup.exe"), bytes);
  std::string setup = scratch.win("setup.exe");

  // 254: 8.3 names everywhere below the drive (a folder here).
  ASSERT_EQ(mkdir("S:", 0777), 0);
  stub_config.archive_offset = 0;
  ASSERT_EQ(startup_open_archive(setup.c_str()), 1);
  fake_ui.max_component = 254;
  set_destination("S:\\short dest");
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_EQ(stub_config.short_names, 1);
  EXPECT_EQ(read_file(scratch.host("S:/shortdes/longfold/ReleaseN.htm")), "notes");
  EXPECT_EQ(fake_ui.statuses, std::vector<std::string>{"Extracting longfold\\ReleaseN.htm"});
  // The closing actions use the destination as typed.
  EXPECT_EQ(fake_ui.program_starts, std::vector<std::string>{"\"S:\\short dest\\lumetra.exe\""});

  // 255: long names. A failed volume query, or a destination without a drive
  // letter (a network path, on Windows): long names too.
  for (int variant = 0; variant < 3; variant++) {
    fake_ui_reset();
    fake_ui.max_component = variant == 0 ? 255 : 254;
    fake_ui.volume_ok = variant != 1;
    stub_config.short_names = 1;
    std::string dest = (variant == 2 ? "" : "S:\\") + std::string("long dest ") + std::to_string(variant);
    set_destination(dest);
    EXPECT_EQ(extract_all(&window), 0);
    EXPECT_EQ(stub_config.short_names, 0);
    std::string host = dest;
    if (variant != 2) host.replace(2, 1, "/");
    EXPECT_EQ(read_file(scratch.host(host + "/long folder name/Release Notes.html")), "notes");
    EXPECT_EQ(fake_ui.volume_roots.size(), variant == 2 ? 0u : 1u);
  }
}

TEST_F(Driver, DestinationLengthLimits) {
  TestArchive a;
  a.add_file(a.add_stream(), std::string(24, 'n'), "fits the name room");
  a.add_file(a.add_stream(), std::string(25, 'm'), "one too long: reported");
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes), 1);

  // 234 characters: the quoted uninstall command takes 259.
  std::string base = scratch.win();
  std::string longest = base + "\\" + std::string(234 - base.size() - 1, 'd');
  ASSERT_EQ(longest.size(), 234u);
  set_destination(longest);
  EXPECT_EQ(extract_all(&window), 0);
  std::string host_dir = scratch.host(std::string(234 - base.size() - 1, 'd'));
  EXPECT_EQ(read_file(host_dir + "/" + std::string(24, 'n')), "fits the name room");
  EXPECT_FALSE(path_exists(host_dir + "/" + std::string(25, 'm')));
  // Reported with as much of its path as fits, 259 characters.
  EXPECT_EQ(fake_box_texts(),
            std::vector<std::string>{"Cannot create " + longest + "\\" + std::string(24, 'm') + "\nInvalid path"});
  EXPECT_EQ(fake_ui.boxes[0].style, 0x31u);
  ASSERT_EQ(fake_ui.registry.size(), 4u);
  EXPECT_EQ(fake_ui.registry[2].size, 260u);

  // 235 characters: refused before anything is made.
  fake_ui_reset();
  std::string too_long = base + "\\" + std::string(235 - base.size() - 1, 'e');
  set_destination(too_long);
  EXPECT_EQ(extract_all(&window), 0);
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "Cannot create folder " + too_long + "\nInvalid path");
  EXPECT_FALSE(path_exists(scratch.host(std::string(235 - base.size() - 1, 'e'))));
  EXPECT_FALSE(closing_actions_ran());

  // An unterminated destination is refused the same way, never read past.
  fake_ui_reset();
  for (uint32_t i = 0; i < DESTINATION_SIZE; i++) stub_config.destination[i] = 'x';
  EXPECT_EQ(extract_all(&window), 0);
  EXPECT_EQ(fake_ui.boxes.at(0).text, "Cannot create folder " + std::string(260, 'x') +
                                          "\nInvalid path");
}

TEST_F(Driver, ArchiveShorterThanItsHeaderAtExtractionTime) {
  TestArchive a;
  a.add_file(a.add_stream(), "x", "y");
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes), 1);
  ASSERT_EQ(truncate(scratch.host("setup.exe").c_str(), 41), 0);
  set_destination(scratch.win("out"));
  EXPECT_EQ(extract_all(&window), ERR_DAMAGED);
  EXPECT_FALSE(path_exists(scratch.host("out")));
  EXPECT_TRUE(fake_ui.boxes.empty());
}

// An installer cut short (an interrupted download) is refused before
// anything is made, as long as its header's sizes agree with each other;
// where they do not (a writer that left them unset), as before: the cut
// directory is found damaged after the destination was made, and the closing
// actions run.
TEST_F(Driver, ACutArchiveIsRefusedBeforeAnythingIsMade) {
  for (bool sizes_agree : {true, false}) {
    SCOPED_TRACE(sizes_agree);
    TestArchive a;
    int s = a.add_stream();
    a.add_file(s, "first", "read before the cut");
    a.add_file(a.add_stream(), "second", pattern(5000, 3));
    bytes = a.build();
    if (!sizes_agree) store_le32(bytes.data() + 24, 0);  // stream_data_size
    bytes.resize(bytes.size() - 1);
    ASSERT_EQ(open_archive(bytes, 300), 1);
    set_destination(scratch.win("out"));
    EXPECT_EQ(extract_all(&window), ERR_DAMAGED);
    EXPECT_EQ(path_exists(scratch.host("out")), !sizes_agree);
    EXPECT_EQ(closing_actions_ran(), !sizes_agree);
    file_close(archive_file);
    archive_file = INVALID_FILE;
    fake_ui_reset();
    ASSERT_EQ(system(("rm -rf '" + out("") + "'").c_str()), 0);
  }
}

TEST_F(Driver, DestinationFolderThatCannotBeMade) {
  TestArchive a;
  a.add_file(a.add_stream(), "x", "y");
  write_file(scratch.host("blocker"), std::string("file"));
  EXPECT_EQ(extract(a, "blocker\\out"), 0);
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  // The reason is the folder's own: a file stands where its parent should be.
  EXPECT_EQ(fake_ui.boxes[0].text, "Cannot create folder " + scratch.win("blocker\\out") + "\nPath not found");
  EXPECT_FALSE(closing_actions_ran());
}

TEST_F(Driver, NoMemoryForTheInputBuffer) {
  TestArchive a;
  a.add_file(a.add_stream(), "x", "y");
  bytes = a.build();
  ASSERT_EQ(open_archive(bytes), 1);
  set_destination(scratch.win("out"));
  fault_reset();
  fault_arm(FAULT_ALLOC, 1);
  EXPECT_EQ(extract_all(&window), ERR_NOMEM);
  EXPECT_TRUE(fake_ui.boxes.empty());
  EXPECT_FALSE(closing_actions_ran());
  EXPECT_FALSE(path_exists(out("x")));
}

TEST_F(Driver, AllocationsDoNotGrowWithTheMemberCount) {
  auto allocations_for = [&](int members) {
    TestArchive a;
    int s = a.add_stream();
    for (int i = 0; i < members; i++) a.add_file(s, "m" + std::to_string(i), pattern(500, i));
    fake_ui_reset();
    bytes = a.build();
    EXPECT_EQ(open_archive(bytes), 1);
    set_destination(scratch.win("out" + std::to_string(members)));
    fault_reset();
    EXPECT_EQ(extract_all(&window), 0);
    file_close(archive_file);
    archive_file = INVALID_FILE;
    return fault_calls(FAULT_ALLOC);
  };
  uint32_t few = allocations_for(3);
  EXPECT_EQ(allocations_for(300), few);
  EXPECT_LE(few, 2u);  // the input buffer and the window
}

}  // namespace
