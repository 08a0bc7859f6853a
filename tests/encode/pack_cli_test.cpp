// qev pack as a user runs it: exit statuses, messages that name the file,
// nothing left at OUT (or next to it) after a failure, byte-identical output
// for the same input, and installers built from a stub.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(PackCli, BadInputFailsCleanlyAndKeepsAnOldOutput) {
  write(dir + "/keep", "old");
  EXPECT_EQ(qev("pack " + dir + "/missing -o " + dir + "/keep"), 1);
  EXPECT_NE(err().find("missing"), std::string::npos);
  struct Case { const char* what; std::string setup; const char* in_message; };
  const Case cases[] = {
      {"device name", "touch " + dir + "/src/sub/CON.txt", "CON.txt"},
      {"trailing dot", "touch '" + dir + "/src/dot.'", "dot."},
      {"reserved character", "touch '" + dir + "/src/a:b'", "a:b"},
      {"not Windows-1252", "touch '" + dir + "/src/\xE2\x82\xAC\xE4\xB8\xAD'", "1252"},
      {"path too long", "mkdir -p " + dir + "/src/" + std::string(100, 'd') + " && touch " + dir + "/src/" +
                            std::string(100, 'd') + "/" + std::string(120, 'f'),
       "characters long"},
      {"dangling link", "ln -s /nonexistent/file " + dir + "/src/link", "link"},
      {"names differing in case", "touch " + dir + "/src/A.TXT", "differ only in case"},
  };
  for (const Case& c : cases) {
    SetUp();
    write(dir + "/keep", "old");
    ASSERT_EQ(sh(c.setup), 0) << c.what;
    EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/keep"), 1) << c.what;
    EXPECT_NE(err().find(c.in_message), std::string::npos) << c.what << ": " << err();
    EXPECT_EQ(read(dir + "/keep"), "old") << c.what;
    EXPECT_TRUE(only_src_left()) << c.what;
  }
  SetUp();
  sh("rm -rf " + dir + "/src/* && mkdir -p " + dir + "/src");
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/x.qev"), 1);  // nothing to pack
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

// A PE file of 3000 bytes whose one section ends at the file's end, with the
// configuration block's signature `signatures` times.
std::string fake_stub(int signatures) {
  std::string s(3000, '\0');
  uint8_t* p = (uint8_t*)&s[0];
  p[0] = 'M';
  p[1] = 'Z';
  store_u32(p + 60, 64);         // e_lfanew
  memcpy(p + 64, "PE\0\0", 4);
  store_u16(p + 64 + 4, 0x8664);  // machine
  store_u16(p + 64 + 6, 1);       // one section, no optional header
  store_u32(p + 88 + 16, 2488);   // its raw size and position: bytes 512-2999
  store_u32(p + 88 + 20, 512);
  uint8_t sig[CONFIG_SIGNATURE_SIZE];
  config_signature(sig);
  for (int i = 0; i < signatures; i++) {
    size_t at = 1000 + 800 * (size_t)i;
    store_u32((uint8_t*)&s[at + CONFIG_ARCHIVE_OFFSET_FROM_SIGNATURE], DEFAULT_ARCHIVE_OFFSET);
    memcpy(&s[at], sig, CONFIG_SIGNATURE_SIZE);
  }
  return s;
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
  EXPECT_EQ(load_u32((const uint8_t*)&out[field]), stub.size());
  std::string expect = stub;
  store_u32((uint8_t*)&expect[field], (uint32_t)stub.size());
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
  // inside the new installer: neither is taken as a stub.
  write(dir + "/stub.exe", stub + "appended");
  EXPECT_EQ(qev("pack " + dir + "/src -o " + dir + "/bad.exe --stub " + dir + "/stub.exe"), 1);
  EXPECT_NE(err().find("8 bytes follow its program image"), std::string::npos) << err();
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
