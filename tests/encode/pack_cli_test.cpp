// qev pack as a user runs it: exit statuses, messages that name the file,
// nothing left at OUT (or next to it) after a failure, byte-identical output
// for the same input, and installers built from a stub.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "archive/layout.h"
#include "encode/stub_image.h"
#include "reference_reader.h"
#include "shell/stub_config.h"

namespace {

class PackCli : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    dir = "/tmp/qev-pack-cli-" + std::to_string(getpid());
    sh("rm -rf " + dir + " && mkdir -p " + dir + "/src/sub/empty");
    write(dir + "/src/a.txt", "hello, installer\n");
    write(dir + "/src/sub/b.bin", std::string(5000, 'x'));
  }
  void TearDown() override { sh("rm -rf " + dir); }
  static int sh(const std::string& cmd) {
    int r = system(cmd.c_str());
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
  }
  static void write(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
  }
  static std::string read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  // Runs qev with arguments; stderr goes to dir/err.
  int qev(const std::string& args) { return sh(std::string(QEV_BINARY) + " " + args + " >" + dir + "/out 2>" + dir + "/err"); }
  std::string err() { return read(dir + "/err"); }
  bool only_src_left() { return sh("test \"$(ls " + dir + " | grep -v -e '^src$' -e '^err$' -e '^out$' -e '^keep$' -e '^stub')\" = ''") == 0; }
};

// A PE file of 3000 bytes whose one section ends at the file's end, with the
// configuration block's signature `signatures` times.
std::string fake_stub(int signatures) {
  std::string s(3000, '\0');
  uint8_t* p = (uint8_t*)&s[0];
  p[0] = 'M';
  p[1] = 'Z';
  store_le32(p + 60, 64);         // e_lfanew
  memcpy(p + 64, "PE\0\0", 4);
  store_le16(p + 64 + 4, 0x8664);  // machine
  store_le16(p + 64 + 6, 1);       // one section, no optional header
  store_le32(p + 88 + 16, 2488);   // its raw size and position: bytes 512-2999
  store_le32(p + 88 + 20, 512);
  uint8_t sig[CONFIG_SIGNATURE_SIZE];
  config_signature(sig);
  for (int i = 0; i < signatures; i++) {
    size_t at = 1000 + 800 * (size_t)i;
    store_le32((uint8_t*)&s[at + CONFIG_ARCHIVE_OFFSET_FROM_SIGNATURE], DEFAULT_ARCHIVE_OFFSET);
    memcpy(&s[at], sig, CONFIG_SIGNATURE_SIZE);
  }
  return s;
}

TEST_F(PackCli, UsageErrorsExitTwo) {
  EXPECT_EQ(qev("pack"), 2);
  EXPECT_EQ(qev("pack " + dir + "/src"), 2);
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/x.qev --level 12"), 2);
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/x.qev --filter 8"), 2);
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/x.qev --bogus"), 2);
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/x.qev --threads 0"), 2);
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/x.qev --threads 2x"), 2);
  EXPECT_TRUE(only_src_left());
}

// What a tree can hold wrong is in EveryProblemOfATreeInOneRun...
TEST_F(PackCli, BadInputFailsCleanlyAndKeepsAnOldOutput) {
  write(dir + "/keep", "old");
  EXPECT_EQ(qev("pack " + dir + "/missing -o " + dir + "/keep"), 1);
  EXPECT_NE(err().find("missing"), std::string::npos);
  SetUp();
  sh("rm -rf " + dir + "/src/* && mkdir -p " + dir + "/src");
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/x.qev"), 1);  // nothing to pack
}

TEST_F(PackCli, EveryProblemOfATreeInOneRunAndExcludeLeavesThemOut) {
  const std::string src = dir + "/src";
  const std::string long_dir = std::string(100, 'd'), long_file = std::string(120, 'f');
  ASSERT_EQ(sh("cd " + src + " && mkdir -p Sub sub/x " + long_dir + " && touch CON.txt 'conin$.log' dot. a:b " +
               "'\xE2\x82\xAC\xE4\xB8\xAD' \"$(printf 'tab\\tname')\" A.txt Sub/y sub/x/y " + long_dir + "/" +
               long_file + " && ln -s /nonexistent dangling && ln -s loop loop && ln -s .. sub/x/up"),
            0);
  const char* expected[] = {
      "'" "SRC/CON.txt': the reserved device name CON",
      "'" "SRC/conin$.log': the reserved device name conin$",  // the installer refuses it too
      "'" "SRC/a:b': the character ':'",
      "'" "SRC/dot.': a name ending in a dot or a space",
      "'" "SRC/\xE2\x82\xAC\xE4\xB8\xAD': the name has characters that Windows-1252 cannot hold",
      "SRC/tab\\tname': a control character in the name",  // shown, not sent to the terminal
      "'" "SRC/dangling' is a symbolic link to '/nonexistent', which does not exist",
      "'" "SRC/loop' is a symbolic link in a loop",
      "'" "SRC/sub/x/up' leads back to an enclosing folder",
      "'" "SRC/ddd",  // the path is too long (once, not again for what the folder holds)
      "'" "SRC/A.txt' and 'SRC/a.txt' differ only in case",
      "'" "SRC/Sub' and 'SRC/sub' differ only in case",  // not again for Sub/y and sub/y
  };
  write(dir + "/keep", "old");
  EXPECT_EQ(qev("pack " + src + " -o " + dir + "/keep"), 1);
  std::string e = err();
  for (const char* x : expected) {
    std::string line = x;
    line.replace(line.find("SRC"), 3, src);
    if (line.find("SRC") != std::string::npos) line.replace(line.find("SRC"), 3, src);
    EXPECT_NE(e.find(line), std::string::npos) << line << "\nin:\n" << e;
  }
  EXPECT_NE(e.find("qev pack: 12 problems in"), std::string::npos) << e;
  EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 13) << e;
  EXPECT_EQ(read(dir + "/keep"), "old");
  EXPECT_TRUE(only_src_left());

  // Patterns on names and on paths; a folder goes with what it holds.
  ASSERT_EQ(qev("pack " + src + " -o " + dir + "/keep --exclude CON.txt --exclude 'conin$.log' --exclude='a:b' --exclude '*.'" +
                " --exclude '\xE2\x82\xAC*' --exclude 'tab*' --exclude dangling --exclude ./loop" +
                " --exclude sub/x/up --exclude 'ddd*/' --exclude A.txt --exclude /Sub"),
            0)
      << err();
  std::string bytes = read(dir + "/keep");
  refread::Archive a;
  ASSERT_EQ(refread::read_archive(std::vector<uint8_t>(bytes.begin(), bytes.end()), 0, a), "");
  std::vector<std::string> names;
  for (const auto& m : a.members) names.push_back(m.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub", "sub\\b.bin", "sub\\empty", "sub\\x",
                                             "sub\\x\\y"}));
}

// Limits are judged from the sizes before any compression: sparse files of
// 4.4 GiB and 2 x 2 GiB (4 GiB in all, past the limit) are refused at once.
TEST_F(PackCli, SizeLimitsBeforeAnyWork) {
  const std::string src = dir + "/src";
  ASSERT_EQ(sh("truncate -s 4500M " + src + "/huge.bin && truncate -s 2G " + src + "/b1 && truncate -s 2G " + src +
               "/b2 && rm " + src + "/a.txt " + src + "/sub/b.bin"),
            0);
  EXPECT_EQ(qev("pack " + src + " -o " + dir + "/x.qev"), 1);
  EXPECT_NE(err().find("huge.bin' holds 4,718,592,000 bytes; a file in an archive holds at most 4,294,963,199 bytes"),
            std::string::npos)
      << err();
  EXPECT_NE(err().find("the files hold 9,013,559,296 bytes; an archive holds at most 4,294,967,294 bytes (4 GiB)"),
            std::string::npos)
      << err();
  write(dir + "/stub.exe", fake_stub(1));
  EXPECT_EQ(qev("pack " + src + " -o " + dir + "/x.exe --exclude huge.bin --stub " + dir + "/stub.exe"), 1);
  EXPECT_NE(err().find("the files hold 4,294,967,296 bytes; an installer holds at most 4,294,967,294 bytes (4 GiB), "
                       "3,000 of them its stub"),
            std::string::npos)
      << err();
  EXPECT_TRUE(only_src_left());
}

// The output is never packed into itself, never replaces what is not a
// regular file, and standard output gets the same bytes as a file.
TEST_F(PackCli, OutputInsideTheTreeStreamsAndDevices) {
  const std::string src = dir + "/src";
  ASSERT_EQ(qev("pack " + src + " -o " + dir + "/outside.qev"), 0) << err();
  ASSERT_EQ(qev("pack " + src + " -o " + src + "/setup.qev"), 0) << err();
  ASSERT_EQ(qev("pack " + src + " -o " + src + "/setup.qev"), 0) << err();  // now inside the tree
  EXPECT_EQ(read(src + "/setup.qev"), read(dir + "/outside.qev"));

  ASSERT_EQ(sh(std::string(QEV_BINARY) + " pack " + src + " -o - --exclude setup.qev >" + dir + "/piped.qev 2>" +
               dir + "/err"),
            0)
      << err();
  EXPECT_EQ(read(dir + "/piped.qev"), read(dir + "/outside.qev"));
  EXPECT_NE(err().find("packed 2 files"), std::string::npos) << "the summary goes to standard error";

  ASSERT_EQ(sh("mkfifo " + dir + "/fifo"), 0);
  ASSERT_EQ(sh("(cat " + dir + "/fifo >" + dir + "/from-fifo &) && " + QEV_BINARY + " pack " + src +
               " --exclude setup.qev -o " + dir + "/fifo >/dev/null"),
            0);
  sh("sleep 0.2");
  EXPECT_EQ(sh("test -p " + dir + "/fifo"), 0) << "the FIFO is still a FIFO";
  EXPECT_EQ(read(dir + "/from-fifo"), read(dir + "/outside.qev"));

  EXPECT_EQ(qev("pack " + src + " -o /dev/full"), 1);
  EXPECT_NE(err().find("cannot write '/dev/full'"), std::string::npos) << err();
  EXPECT_EQ(sh("test -c /dev/full"), 0) << "the device node is still there";
  EXPECT_EQ(qev("pack " + src + " -o " + dir), 1);
  EXPECT_NE(err().find("is a folder"), std::string::npos) << err();
}

// A name that leaves fewer than 100 characters for the destination folder is
// packed with a warning naming the room it leaves; a shorter one is not.
TEST_F(PackCli, ANameThatLeavesLittleRoomForTheDestinationIsWarnedAbout) {
  const std::string src = dir + "/src";
  ASSERT_EQ(sh("mkdir -p " + src + "/" + std::string(100, 'd') + " && touch " + src + "/" +
               std::string(100, 'd') + "/" + std::string(57, 'f')),
            0);
  ASSERT_EQ(qev("pack " + src + " -o " + dir + "/x.qev"), 0) << err();
  EXPECT_EQ(err(), "");
  ASSERT_EQ(sh("touch " + src + "/" + std::string(100, 'd') + "/" + std::string(70, 'g')), 0);
  ASSERT_EQ(qev("pack " + src + " -o " + dir + "/x.qev"), 0) << err();
  EXPECT_NE(err().find(std::string(70, 'g') + "' leaves 87 characters for the destination folder"), std::string::npos)
      << err();
}

// Names that Windows takes for one, as qev test compares them: accented
// letters of Windows-1252 in either case too.
TEST_F(PackCli, NamesThatAreOneOnWindowsAreRefused) {
  const std::string src = dir + "/src";
  ASSERT_EQ(sh("touch '" + src + "/\xC3\xA9t\xC3\xA9.txt' '" + src + "/\xC3\x89T\xC3\x89.txt'"), 0);
  write(dir + "/keep", "old");
  EXPECT_EQ(qev("pack " + src + " -o " + dir + "/keep"), 1);
  EXPECT_NE(err().find("differ only in case"), std::string::npos) << err();
  EXPECT_EQ(read(dir + "/keep"), "old");
}

TEST_F(PackCli, SameInputSameBytesAndTheArchiveTests) {
  for (const char* level : {"0", "1", "6", "9"}) {
    ASSERT_EQ(qev("pack " + dir + "/src -o " + dir + "/one.qev --level " + level), 0) << err();
    ASSERT_EQ(qev("pack " + dir + "/src -o " + dir + "/two.qev --level " + level), 0) << err();
    EXPECT_EQ(read(dir + "/one.qev"), read(dir + "/two.qev"));
    EXPECT_NE(read(dir + "/out").find("2 files, 2 folders"), std::string::npos) << read(dir + "/out");
    std::string bytes = read(dir + "/one.qev");
    refread::Archive a;
    EXPECT_EQ(refread::read_archive(std::vector<uint8_t>(bytes.begin(), bytes.end()), 0, a), "");
    EXPECT_EQ(a.members.size(), 4u);
  }
}

// DOS times are local times. Under SOURCE_DATE_EPOCH the same tree gives the
// same bytes in any zone (UTC unless --timezone names one), and no time is
// later than the epoch; without it the zone shows in the bytes.
TEST_F(PackCli, ReproducibleUnderAnyTimeZone) {
  const std::string src = dir + "/src";
  ASSERT_EQ(sh("touch -d '2001-06-15 12:00:00 UTC' " + src + "/a.txt && touch -d '2030-01-01 00:00:00 UTC' " + src +
               "/sub/b.bin"),
            0);
  auto pack = [&](const std::string& env, const std::string& name, const std::string& options = "") {
    EXPECT_EQ(sh(env + " " + QEV_BINARY + " pack " + src + " -o " + dir + "/" + name + " " + options + " 2>" + dir +
                 "/err"),
              0)
        << err();
    return read(dir + "/" + name);
  };
  const std::string epoch = "SOURCE_DATE_EPOCH=1700000000";  // 2023-11-14 22:13:20 UTC
  std::string utc = pack("TZ=UTC " + epoch, "utc.qev");
  EXPECT_EQ(pack("TZ=America/New_York " + epoch, "ny.qev"), utc);
  EXPECT_NE(pack("TZ=UTC", "utc-now.qev"), pack("TZ=America/New_York", "ny-now.qev"));
  EXPECT_EQ(pack("TZ=UTC", "ny-named.qev", "--timezone America/New_York"), read(dir + "/ny-now.qev"));

  refread::Archive a;
  ASSERT_EQ(refread::read_archive(std::vector<uint8_t>(utc.begin(), utc.end()), 0, a), "");
  for (const auto& m : a.members) {
    if (m.name == "a.txt") {  // older than the epoch: its own time, 2001-06-15 12:00:00
      EXPECT_EQ(m.write_date, (21 << 9) | (6 << 5) | 15);
      EXPECT_EQ(m.write_time, 12 << 11);
    } else {  // the epoch, 2023-11-14 22:13:20
      EXPECT_EQ(m.write_date, (43 << 9) | (11 << 5) | 14) << m.name;
      EXPECT_EQ(m.write_time, (22 << 11) | (13 << 5) | 10) << m.name;
    }
  }
}

TEST_F(PackCli, InstallerFromAStub) {
  std::string stub = fake_stub(1);
  write(dir + "/stub.exe", stub);
  ASSERT_EQ(qev("pack " + dir + "/src -o " + dir + "/setup.exe --stub " + dir + "/stub.exe"), 0) << err();
  std::string out = read(dir + "/setup.exe");
  ASSERT_GT(out.size(), stub.size());
  // The summary weighs the archive alone against the input, and names the stub apart.
  std::string archive_size = std::to_string(out.size() - stub.size());
  EXPECT_NE(read(dir + "/out").find("5,017 bytes -> " + archive_size + " bytes ("), std::string::npos)
      << read(dir + "/out");
  EXPECT_NE(read(dir + "/out").find("with the 3,000-byte stub"), std::string::npos);
  // Only archive_offset changed, to the stub's size.
  size_t field = 0;
  ASSERT_EQ(find_config_block((const uint8_t*)stub.data(), stub.size(), &field), 1);
  EXPECT_EQ(load_le32((const uint8_t*)&out[field]), stub.size());
  std::string expect = stub;
  store_le32((uint8_t*)&expect[field], (uint32_t)stub.size());
  EXPECT_EQ(out.substr(0, stub.size()), expect);
  EXPECT_EQ(locate_archive((const uint8_t*)out.data(), out.size()), (int64_t)stub.size());
  refread::Archive a;
  EXPECT_EQ(refread::read_archive(std::vector<uint8_t>(out.begin(), out.end()), stub.size(), a), "");
  // The host tool finds the archive inside the installer by itself.
  EXPECT_EQ(qev("test " + dir + "/setup.exe"), 0) << err();
  for (int count : {0, 2}) {
    write(dir + "/stub.exe", fake_stub(count));
    EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/bad.exe --stub " + dir + "/stub.exe"), 1);
    EXPECT_NE(err().find("stub"), std::string::npos);
    EXPECT_NE(access((dir + "/bad.exe").c_str(), F_OK), 0);
    EXPECT_NE(sh("ls " + dir + " | grep -q tmp"), 0);  // no temporary file left
  }
  // An installer, or a stub with bytes behind its image, would end up buried
  // inside the new installer, and a stub cut short would not run: none is
  // taken as a stub.
  write(dir + "/stub.exe", stub + "appended");
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/bad.exe --stub " + dir + "/stub.exe"), 1);
  EXPECT_NE(err().find("8 bytes follow its program image"), std::string::npos) << err();
  write(dir + "/stub.exe", stub.substr(0, 2900));
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/bad.exe --stub " + dir + "/stub.exe"), 1);
  EXPECT_NE(err().find("it is cut short: its program image ends at byte 3000 of 2900"), std::string::npos)
      << err();
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/bad.exe --stub " + dir + "/setup.exe"), 1);
  EXPECT_NE(err().find("it is an installer (its archive begins at byte 3000)"), std::string::npos) << err();
  EXPECT_NE(access((dir + "/bad.exe").c_str(), F_OK), 0);
}

TEST_F(PackCli, RepeatsAndFilesThatChangeWhileRead) {
  // Two copies of a.txt; a file whose size reads as 0 but which has content
  // (it "grows" while read), and, where the system has one, a file whose size
  // reads as a page but which holds less (it "shrinks").
  sh("cp " + dir + "/src/a.txt " + dir + "/src/sub/copy.txt && ln -s /proc/version " + dir + "/src/grows");
  const bool shrinks = access("/sys/kernel/mm/transparent_hugepage/enabled", R_OK) == 0;
  if (shrinks) sh("ln -s /sys/kernel/mm/transparent_hugepage/enabled " + dir + "/src/shrinks");
  ASSERT_EQ(qev("pack " + dir + "/src -o " + dir + "/x.qev --threads 2"), 0) << err();
  EXPECT_NE(read(dir + "/out").find("1 repeating others"), std::string::npos) << read(dir + "/out");
  EXPECT_NE(err().find("grows' grew while it was read"), std::string::npos) << err();
  if (shrinks) EXPECT_NE(err().find("shrinks' shrank by"), std::string::npos) << err();
  EXPECT_EQ(qev("test " + dir + "/x.qev"), 0) << err();
  ASSERT_EQ(qev("extract " + dir + "/x.qev -C " + dir + "/x"), 0) << err();
  EXPECT_EQ(read(dir + "/x/sub/copy.txt"), "hello, installer\n");
  EXPECT_EQ(read(dir + "/x/grows"), "");  // what was read: its size when opened
  if (shrinks) EXPECT_EQ(read(dir + "/x/shrinks").size(), 4096u);
}

}  // namespace
