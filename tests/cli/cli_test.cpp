// qev list, test and extract, run as the user runs them: the built program in
// a scratch folder, with its standard error, standard output and exit status.
// Archives come from the stored-block builder and from the writer.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/layout.h"
#include "scratch.h"
#include "shell/stub_config.h"
#include "test_archive.h"

namespace {

struct Outcome {
  int status;
  std::string out, err;
};

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class Cli : public ::testing::Test {
 protected:
  // Runs qev with `args` in the scratch folder; standard input from `input`
  // (through a pseudo-terminal when `terminal`).
  Outcome qev(const std::vector<std::string>& args, const std::string& input = "",
          bool terminal = false) {
    std::string command = quoted(QEV_BINARY);
    for (const std::string& a : args) command += " " + quoted(a);
    write_file(scratch.host(".input"), input);
    std::string line = "cd " + quoted(scratch.host()) + " && ";
    if (terminal) {
      line += "script -qec " + quoted(command + " 2>.err") + " /dev/null <.input >.out";
    } else {
      line += command + " <.input >.out 2>.err";
    }
    int raw = system(line.c_str());
    Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(scratch.host(".out")),
          read_file(scratch.host(".err"))};
    for (const char* f : {".input", ".out", ".err"}) remove(scratch.host(f).c_str());
    return r;
  }

  void save(const std::string& name, const std::vector<uint8_t>& bytes) {
    write_file(scratch.host(name), bytes);
  }

  Scratch scratch;
};

// Text-like data that compresses, with x86 call opcodes that the filter picks.
std::string code_like(size_t size, uint32_t seed) {
  std::string s;
  std::string words[] = {"push rbp", "mov eax, ", "\xE8\x10\x20\x00\x00", "ret\n", "call "};
  uint32_t x = seed;
  while (s.size() < size) {
    x = x * 1103515245u + 12345u;
    s += words[(x >> 16) % 5];
    s += std::to_string((x >> 8) & 0xFF);
  }
  s.resize(size);
  return s;
}

time_t mtime_of(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

std::vector<uint8_t> small_archive() {
  TestArchive a;
  int s = a.add_stream();
  a.add_folder("docs");
  a.add_file(s, "docs\\readme.txt", "hello", 0x21);
  size_t i = a.add_file(s, "caf\xE9.txt", "abc", 0x06);
  a.entries[i].e.write_date = 0;
  return a.build();
}

TEST_F(Cli, ListPrintsOneLinePerEntry) {
  save("a.qev", small_archive());
  Outcome r = qev({"list", "a.qev"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "folder          0  ----  -                    docs\n"
            "file            5  R--A  2004-12-24 12:29:52  docs/readme.txt\n"
            "file            3  -HS-  -                    caf\xC3\xA9.txt\n"
            "2 files and 1 folder, 8 bytes\n");
}

TEST_F(Cli, UsageErrorsExitWith2) {
  save("a.qev", small_archive());
  EXPECT_EQ(qev({"list"}).status, 2);
  EXPECT_EQ(qev({"list", "a.qev", "b.qev"}).status, 2);
  EXPECT_EQ(qev({"test"}).status, 2);
  EXPECT_EQ(qev({"extract"}).status, 2);
  EXPECT_EQ(qev({"extract", "a.qev", "--bogus"}).status, 2);
  EXPECT_EQ(qev({"extract", "a.qev", "-C"}).status, 2);
  EXPECT_EQ(qev({"extract", "a.qev", "--overwrite", "--skip-existing"}).status, 2);
  Outcome r = qev({"extract", "a.qev", "--ask"});  // standard input is not a terminal
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--ask needs a terminal"), std::string::npos);
  EXPECT_FALSE(path_exists(scratch.host("docs")));
}

TEST_F(Cli, UnreadableOrForeignFilesExitWith1) {
  Outcome r = qev({"list", "missing.qev"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "qev list: Cannot open missing.qev: File not found\n");
  save("foreign.exe", std::vector<uint8_t>{'M', 'Z', 0, 0, 1, 2, 3});
  save("empty", std::vector<uint8_t>{});
  for (const char* name : {"foreign.exe", "empty"}) {
    r = qev({"test", name});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("qev test: ") + name + ": not a QEV archive or installer\n");
  }
  std::vector<uint8_t> cut = small_archive();
  cut.resize(41);
  save("cut.qev", cut);
  r = qev({"extract", "cut.qev"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "qev extract: Cannot read cut.qev\n");
}

TEST_F(Cli, AnEmptyArchiveIsANoticeNotAFailure) {
  TestArchive a;
  save("empty.qev", a.build());
  Outcome r = qev({"extract", "empty.qev"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "qev extract: Archive contains no files\n");
}

TEST_F(Cli, TestChecksEveryMemberAndWritesNothing) {
  save("a.qev", small_archive());
  Outcome r = qev({"test", "a.qev"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "2 files and 1 folder OK, 8 bytes\n");
  EXPECT_EQ(list_tree(scratch.host()), std::vector<std::string>{"a.qev"});

  TestArchive bad;
  int s = bad.add_stream();
  bad.add_file(s, "a.txt", "first");
  size_t i = bad.add_file(s, "b.txt", "second");
  bad.add_file(s, "c.txt", "third");
  bad.entries[i].keep_crc = true;
  bad.entries[i].e.crc32 = 1;
  save("bad.qev", bad.build());
  r = qev({"test", "bad.qev"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "qev test: File \"b.txt\" fails error check\n");
  EXPECT_EQ(r.out, "1 of 3 entries failed\n");
}

TEST_F(Cli, TestFindsAMemberCutShortWhoseBytesHaveTheEntrysCrc) {
  // A record with no name at the stream's end, an entry of 50 bytes and a
  // crc32 of 0: nothing is decoded, and nothing has the CRC-32 0.
  TestArchive a;
  int s = a.add_stream();
  size_t i = a.add_file(s, "a.txt", "");
  a.entries[i].e.stream_offset = a.stream_size(s);
  a.pad_stream(s, 11, 0);
  a.entries[i].e.size = 50;
  a.entries[i].keep_crc = true;
  a.entries[i].e.crc32 = 0;
  save("short.qev", a.build());
  Outcome r = qev({"test", "short.qev"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "qev test: File \"a.txt\" fails error check\n");
}

TEST_F(Cli, TestAndListReportADamagedDirectory) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "a.txt", "first");
  a.member_count = 2;
  save("short.qev", a.build());
  for (const char* command : {"test", "list"}) {
    Outcome r = qev({command, "short.qev"});
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_EQ(r.err, std::string("qev ") + command +
                         ": Archive data is damaged, probably caused by a corrupt disk or download error\n");
  }
}

// No checksum covers the directory; qev test still reports as damaged what
// the packer never writes. Two entries of one stream's bytes are no damage
// (a packer may store identical files once), nor bytes after the archive (a
// signature).
TEST_F(Cli, TestReportsWhatThePackerNeverWrites) {
  auto archive = [](int variant) {
    TestArchive a;
    int s = a.add_stream();
    a.add_file(s, "Docs\\\xC9t\xE9.txt", "first");
    size_t second = a.add_file(s, "second.txt", "second");
    TestEntry same = a.entries[second];
    same.name = "same bytes.txt";
    a.entries.push_back(same);
    if (variant == 1) a.add_file(s, "docs/\xE9T\xC9.TXT. ", "one file on Windows");
    if (variant == 2) a.member_count = 2;
    std::vector<uint8_t> bytes = a.build();
    if (variant == 3) store_le32(bytes.data() + 24, 1);  // stream_data_size
    if (variant == 4) bytes.insert(bytes.end(), 100, 0x5A);
    return bytes;
  };
  const char* problems[] = {
      "",
      "qev test: docs/\xC3\xA9T\xC3\x89.TXT. : the same name as Docs/\xC3\x89t\xC3\xA9.txt, as Windows compares names\n",
      "qev test: a.qev: the directory goes on past its 2 entries\n",
      "qev test: a.qev: the header's sizes disagree with each other",
      ""};
  for (int variant = 0; variant < 5; variant++) {
    SCOPED_TRACE(variant);
    save("a.qev", archive(variant));
    Outcome r = qev({"test", "a.qev"});
    if (*problems[variant] == 0) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out, "3 files and 0 folders OK, 17 bytes\n");
      continue;
    }
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find(problems[variant]), 0u) << r.err;
    EXPECT_NE(r.err.find("Archive data is damaged"), std::string::npos) << r.err;
  }
}

TEST_F(Cli, ExtractConvertsNamesToUtf8) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "caf\xE9\\na\xEFve \x80.txt", "euro");
  save("a.qev", a.build());
  Outcome r = qev({"extract", "a.qev", "-C", "d\xC3\xA9st"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(scratch.host("d\xC3\xA9st/caf\xC3\xA9/na\xC3\xAFve \xE2\x82\xAC.txt")),
            "euro");

  r = qev({"extract", "a.qev", "-C", "\xE6\x97\xA5\xE6\x9C\xAC"});  // no Windows-1252 form
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot be written in Windows-1252"), std::string::npos);
  EXPECT_FALSE(path_exists(scratch.host("\xE6\x97\xA5\xE6\x9C\xAC")));
}

TEST_F(Cli, FailedMembersAndUnsafeNamesExitWith1AfterTheRest) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "a.txt", "first");
  size_t i = a.add_file(s, "b.txt", "second");
  a.add_file(s, "..\\escape.txt", "outside");
  a.add_file(s, "c.txt", "third");
  a.entries[i].keep_crc = true;
  a.entries[i].e.crc32 = 7;
  save("a.qev", a.build());
  ASSERT_EQ(mkdir(scratch.host("in").c_str(), 0777), 0);
  Outcome r = qev({"extract", "a.qev", "-C", "in/out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "qev extract: File \"in/out/b.txt\" fails error check\n"
                   "qev extract: Archive data is damaged, probably caused by a corrupt disk or download error\n");
  EXPECT_EQ(list_tree(scratch.host()),
            (std::vector<std::string>{"a.qev", "in/", "in/out/", "in/out/a.txt", "in/out/c.txt"}));
}

// SIGTERM while a member that replaces a file is being written: the run
// ends as after Ctrl-C, the file it was to replace stays as it was, and
// neither a partial file nor its temporary one is left. The process is held
// (SIGSTOP) once the temporary file has bytes, so that the signal lands
// inside the member however fast the machine is.
TEST_F(Cli, ASignalDuringAReplacementKeepsTheOldFile) {
  ASSERT_EQ(system(("mkdir -p '" + scratch.host("src") + "' && truncate -s 128M '" + scratch.host("src/big.bin") +
                    "' && " + quoted(QEV_BINARY) + " pack '" + scratch.host("src") + "' -o '" +
                    scratch.host("a.qev") + "' --level 0 >/dev/null")
                       .c_str()),
            0);
  const std::string temp = scratch.host("out/big.bi0");
  bool caught = false;
  for (int attempt = 0; attempt < 5 && !caught; attempt++) {
    ASSERT_EQ(system(("rm -rf '" + scratch.host("out") + "' && mkdir '" + scratch.host("out") + "'").c_str()), 0);
    write_file(scratch.host("out/big.bin"), std::string("old"));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      freopen("/dev/null", "w", stdout);
      freopen(scratch.host("err").c_str(), "w", stderr);
      execl(QEV_BINARY, "qev", "extract", scratch.host("a.qev").c_str(), "-C", scratch.host("out").c_str(),
            (char*)nullptr);
      _exit(127);
    }
    struct stat st = {};
    for (int i = 0; i < 20000 && !(stat(temp.c_str(), &st) == 0 && st.st_size > 0); i++) usleep(100);
    kill(child, SIGSTOP);
    caught = stat(temp.c_str(), &st) == 0 && st.st_size > 0 && st.st_size < (128 << 20);
    kill(child, SIGTERM);
    kill(child, SIGCONT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (!caught) continue;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(read_file(scratch.host("err")).find("interrupted"), std::string::npos);
    EXPECT_EQ(read_file(scratch.host("out/big.bin")), "old");
    EXPECT_EQ(list_tree(scratch.host("out")), std::vector<std::string>{"big.bin"});
  }
  EXPECT_TRUE(caught) << "the member was never caught half written";
}

// An archive past 2 GiB (stored, from two sparse files that differ, so that
// both are stored: 2.5 GB): its positions above 2^31 are read as the unsigned
// values they are. Some 20 seconds, nearly all of them packing.
TEST_F(Cli, AnArchivePast2GiBPacksListsAndTests) {
  struct statvfs fs = {};
  ASSERT_EQ(statvfs(scratch.host().c_str(), &fs), 0);
  if ((uint64_t)fs.f_bavail * fs.f_frsize < (4ull << 30)) GTEST_SKIP() << "less than 4 GiB free for a 2.5 GB archive";
  ASSERT_EQ(system(("mkdir '" + scratch.host("src") + "' && truncate -s 1250000000 '" + scratch.host("src/one.bin") +
                    "' && truncate -s 1250000000 '" + scratch.host("src/two.bin") +
                    "' && printf x | dd of='" + scratch.host("src/two.bin") + "' conv=notrunc status=none")
                       .c_str()),
            0);
  ASSERT_EQ(qev({"pack", "src", "-o", "big.qev", "--level", "0"}).status, 0);
  struct stat st = {};
  ASSERT_EQ(stat(scratch.host("big.qev").c_str(), &st), 0);
  EXPECT_GT((uint64_t)st.st_size, 2500000000ull);
  Outcome r = qev({"list", "big.qev"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("1250000000  ---A  "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("two.bin"), std::string::npos) << r.out;
  r = qev({"test", "big.qev"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("2 files and 0 folders OK, 2,500,000,000 bytes"), std::string::npos) << r.out;
  remove(scratch.host("big.qev").c_str());
}

// What the tool finds where a member goes and cannot replace: the archive it
// is reading (by another name too), a FIFO (opening it would hang). Each is
// reported, stays as it was, and the rest is extracted.
TEST_F(Cli, TheArchiveItselfAndSpecialFilesAreNeverReplaced) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "pkg.qev", "a member named like the archive");
  a.add_file(s, "copy.qev", "another name for it");
  a.add_file(s, "fifo", "not for a pipe");
  a.add_file(s, "after.txt", "after");
  std::vector<uint8_t> bytes = a.build();
  save("pkg.qev", bytes);
  ASSERT_EQ(link(scratch.host("pkg.qev").c_str(), scratch.host("copy.qev").c_str()), 0);
  ASSERT_EQ(mkfifo(scratch.host("fifo").c_str(), 0600), 0);
  Outcome r = qev({"extract", "pkg.qev"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "qev extract: Cannot create ./pkg.qev: Access denied\n"
                   "qev extract: Cannot create ./copy.qev: Access denied\n"
                   "qev extract: Cannot create ./fifo: Access denied\n");
  EXPECT_EQ(read_file(scratch.host("pkg.qev")), std::string(bytes.begin(), bytes.end()));
  struct stat st;
  ASSERT_EQ(lstat(scratch.host("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(read_file(scratch.host("after.txt")), "after");
  EXPECT_EQ(list_tree(scratch.host()),
            (std::vector<std::string>{"after.txt", "copy.qev", "fifo", "pkg.qev"}));
}

// Names the installer refuses are flagged by list and test, and none is
// extracted: device names (a serial port would receive the bytes), and names
// with control characters, which every printed name shows escaped (an escape
// sequence, a line feed that would forge a listing line, a NUL that would
// hide the rest, C1 controls).
TEST_F(Cli, RefusedNamesAreFlaggedEscapedAndNeverExtracted) {
  TestArchive a;
  int s = a.add_stream();
  a.add_file(s, "a.txt", "first");
  a.add_file(s, "NUL .txt", "to the device");
  a.add_file(s, "sub\\com1.log", "to the port");
  a.add_file(s, "clear\x1B[2J.txt", "x");
  a.add_file(s, "x\nfile            9  ----  -                    forged", "x");
  a.add_file(s, std::string("shown\0hidden", 12), "x");
  a.add_file(s, "osc\x9D" "0;title\x07.txt", "x");
  save("a.qev", a.build());
  const std::string flags[] = {"NUL .txt: the name is a device's, not a file's",
                               "sub/com1.log: the name is a device's, not a file's",
                               "clear\\x1B[2J.txt: the name holds a control character",
                               "x\\nfile            9  ----  -                    forged: the name holds a control character",
                               "shown\\x00hidden: the name holds a control character",
                               "osc\\x9D0;title\\x07.txt: the name holds a control character"};
  for (const char* command : {"list", "test"}) {
    Outcome r = qev({command, "a.qev"});
    EXPECT_EQ(r.status, 1) << command;
    std::string expected;
    for (const std::string& flag : flags) expected += std::string("qev ") + command + ": " + flag + "\n";
    EXPECT_EQ(r.err.substr(0, expected.size()), expected) << command;
    for (const std::string& text : {r.out, r.err}) {
      EXPECT_EQ(text.find_first_of(std::string("\x1B\x07\0", 3)), std::string::npos);
      EXPECT_EQ(text.find("\xC2\x9D"), std::string::npos);
    }
    if (std::string(command) == "list") EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 8) << r.out;
  }
  EXPECT_EQ(qev({"extract", "a.qev", "-C", "out"}).status, 1);
  EXPECT_EQ(list_tree(scratch.host("out")), std::vector<std::string>{"a.txt"});
}

// The declared size must fit where the files go, checked before anything
// is written: here a directory that declares a thousand members of 4 GB.
TEST_F(Cli, ExtractChecksFreeSpaceFirst) {
  TestArchive a;
  int s = a.add_stream();
  for (int i = 0; i < 1000; i++) {
    size_t k = a.add_file(s, "big" + std::to_string(i), "x");
    a.entries[k].e.size = 0xFFFFF000u;
    a.entries[k].keep_crc = true;
  }
  save("a.qev", a.build());
  Outcome r = qev({"extract", "a.qev", "-C", "new/out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.find("qev extract: new/out: "), 0u) << r.err;
  EXPECT_NE(r.err.find(" bytes free, and the files hold 4,294,963,200,000\n"), std::string::npos) << r.err;
  EXPECT_EQ(list_tree(scratch.host()), std::vector<std::string>{"a.qev"});
}

TEST_F(Cli, AReadOnlyFileIsReplacedOnReinstall) {
  save("a.qev", small_archive());
  ASSERT_EQ(mkdir(scratch.host("docs").c_str(), 0777), 0);
  write_file(scratch.host("docs/readme.txt"), std::string("old"));
  ASSERT_EQ(chmod(scratch.host("docs/readme.txt").c_str(), 0444), 0);
  Outcome r = qev({"extract", "a.qev"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "extracted 2 files into ., replacing 1 existing file\n");
  EXPECT_EQ(read_file(scratch.host("docs/readme.txt")), "hello");
  EXPECT_EQ(mode_of(scratch.host("docs/readme.txt")) & 0222, 0u) << "read-only, as the member says";
}

TEST_F(Cli, SkipExistingTouchesNothingAndOverwriteReplaces) {
  save("a.qev", small_archive());
  ASSERT_EQ(qev({"extract", "a.qev", "-C", "out"}).status, 0);
  std::string file = scratch.host("out/caf\xC3\xA9.txt");
  write_file(file, std::string("changed"));
  struct utimbuf old_times = {1000000000, 1000000000};
  ASSERT_EQ(utime(file.c_str(), &old_times), 0);
  std::vector<std::string> tree = list_tree(scratch.host("out"));

  Outcome r = qev({"extract", "a.qev", "-C", "out", "--skip-existing"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "extracted 0 files into out; kept 2 existing files\n");
  EXPECT_EQ(read_file(file), "changed");
  EXPECT_EQ(mtime_of(file), 1000000000);
  EXPECT_EQ(list_tree(scratch.host("out")), tree);

  r = qev({"extract", "a.qev", "-C", "out"});  // --overwrite is the default
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(file), "abc");
  EXPECT_EQ(r.out, "extracted 2 files into out, replacing 2 existing files\n") << "read-only readme.txt too";
}

TEST_F(Cli, AskLetsTheUserAnswerOnATerminal) {
  save("a.qev", small_archive());
  ASSERT_EQ(qev({"extract", "a.qev"}).status, 0);
  chmod(scratch.host("docs/readme.txt").c_str(), 0644);
  write_file(scratch.host("docs/readme.txt"), std::string("keep me"));
  write_file(scratch.host("caf\xC3\xA9.txt"), std::string("replace me"));
  Outcome r = qev({"extract", "a.qev", "--ask"}, "n\ny\n", true);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("File \"./docs/readme.txt\" already exists. Do you want to replace it?"),
            std::string::npos);
  EXPECT_EQ(read_file(scratch.host("docs/readme.txt")), "keep me");
  EXPECT_EQ(read_file(scratch.host("caf\xC3\xA9.txt")), "abc");
}

// An installer as the packer makes it: a stub image holding the configuration
// block with archive_offset patched, then the archive.
std::vector<uint8_t> installer(const std::vector<uint8_t>& archive) {
  std::vector<uint8_t> image(2048, 0);
  image[0] = 'M';
  image[1] = 'Z';
  size_t block_at = 512;
  std::vector<uint8_t> signature(CONFIG_SIGNATURE_SIZE);
  config_signature(signature.data());
  std::copy(signature.begin(), signature.end(), image.begin() + block_at + CONFIG_SIGNATURE_OFFSET);
  store_le32(image.data() + block_at + offsetof(StubConfig, archive_offset), (uint32_t)image.size());
  image.insert(image.end(), archive.begin(), archive.end());
  return image;
}

TEST_F(Cli, AnInstallerIsReadFromItsArchiveOffset) {
  save("setup.exe", installer(small_archive()));
  Outcome r = qev({"list", "setup.exe"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("docs/readme.txt"), std::string::npos);
  EXPECT_EQ(qev({"test", "setup.exe"}).status, 0);
  r = qev({"extract", "setup.exe", "-C", "out"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(scratch.host("out/docs/readme.txt")), "hello");
}

// The whole tool: a folder packed by qev pack comes back from qev test and
// qev extract byte for byte, with its modification times and read-only bits.
TEST_F(Cli, APackedFolderIsReproducedByTestAndExtract) {
  struct File {
    std::string path;
    std::string data;
    bool read_only;
  };
  std::vector<File> files = {
      {"src/app/setup.exe", code_like(150000, 21), false},
      {"src/app/lib/core.dll", code_like(90000, 22), true},
      {"src/app/lib/empty.dat", "", true},
      {"src/docs/read me.txt", std::string(20000, 'r') + pattern(500, 23), false},
      {"src/noise.bin", pattern(120000, 24), false},
  };
  // Enough entries for several directory blocks, with names that differ in
  // their last characters only (part_10 to part_19: every one-digit
  // temporary name of part_19 is a file already extracted).
  for (int i = 0; i < 150; i++) {
    files.push_back({"src/many/part_" + std::to_string(i), code_like(300 + i, i),
                     i % 7 == 0});
  }
  ASSERT_EQ(system(("mkdir -p " + quoted(scratch.host("src/app/lib")) + " " +
                    quoted(scratch.host("src/docs")) + " " + quoted(scratch.host("src/void")) +
                    " " + quoted(scratch.host("src/many")))
                       .c_str()),
            0);
  time_t when = 1262304000;  // 2010-01-01, even seconds
  for (size_t i = 0; i < files.size(); i++) {
    std::string path = scratch.host(files[i].path);
    write_file(path, files[i].data);
    struct utimbuf times = {when + 3600 * (time_t)i, when + 3600 * (time_t)i};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
    if (files[i].read_only) ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  }
  Outcome r = qev({"pack", "src", "-o", "packed.qev"});
  ASSERT_EQ(r.status, 0) << r.err;

  r = qev({"test", "packed.qev"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "155 files and 5 folders OK, 436,675 bytes\n");

  r = qev({"extract", "packed.qev", "-C", "out"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(is_folder(scratch.host("out/void")));
  for (size_t i = 0; i < files.size(); i++) {
    std::string path = scratch.host("out/" + files[i].path.substr(4));
    EXPECT_EQ(read_file(path), files[i].data) << path;
    EXPECT_EQ(mtime_of(path), when + 3600 * (time_t)i) << path;
    EXPECT_EQ((mode_of(path) & 0222) == 0, files[i].read_only) << path;
  }
}

}  // namespace
