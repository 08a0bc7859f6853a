// Start-up: the base name, the failure messages, the empty-archive notice, the
// header, the default destination and the command line's switches; and the
// layout's worked entry example.
#include <string.h>
#include <sys/stat.h>

#include "archive/layout.h"
#include "base/result_codes.h"
#include "decode/decoder_state.h"
#include "shell/shell_state.h"
#include "shell/switches.h"
#include "shell/ui.h"
#include "shell_fixture.h"
#include "test_archive.h"

namespace {

std::vector<uint8_t> one_file_archive() {
  TestArchive a;
  a.add_file(a.add_stream(), "readme.txt", "hello");
  return a.build();
}

using Startup = ShellFixture;

TEST_F(Startup, OpensTheArchiveAndReadsTheHeader) {
  std::vector<uint8_t> bytes = one_file_archive();
  ASSERT_EQ(open_archive(bytes, 700), 1);
  EXPECT_STREQ(exe_name, "setup.exe");
  EXPECT_EQ(decoder.archive_base, 700u);
  EXPECT_NE(archive_file, INVALID_FILE);
  EXPECT_EQ(header_copy.member_count, 1u);
  EXPECT_EQ(header_copy.directory_pos, load_le32(bytes.data() + 4));
  EXPECT_EQ(decoder.crc_table[1], 0x77073096u) << "the CRC table is built";
  EXPECT_TRUE(fake_ui.boxes.empty());
}

TEST_F(Startup, HeaderMagicIsNotChecked) {
  std::vector<uint8_t> bytes = one_file_archive();
  bytes[0] = 'X';
  EXPECT_EQ(open_archive(bytes), 1);
}

TEST_F(Startup, MissingFile) {
  EXPECT_EQ(startup_open_archive(scratch.win("nothere.exe").c_str()), 0);
  EXPECT_STREQ(exe_name, "nothere.exe");
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "Cannot open nothere.exe\nFile not found");
  EXPECT_EQ(fake_ui.boxes[0].caption, "Lumetra Installation");
  EXPECT_EQ(fake_ui.boxes[0].style, 0x30u);
  EXPECT_EQ(fake_ui.boxes[0].owner, nullptr);
  EXPECT_EQ(last_os_error, 0u);
}

TEST_F(Startup, HeaderCutAt41Bytes) {
  std::vector<uint8_t> bytes = one_file_archive();
  bytes.resize(41);
  EXPECT_EQ(open_archive(bytes), 0);
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "Cannot read setup.exe");  // the read itself succeeded
  EXPECT_EQ(fake_ui.boxes[0].style, 0x30u);
}

TEST_F(Startup, ArchiveOffsetPastTheEnd) {
  write_file(scratch.host("setup.exe"), std::string(100, 'x'));
  stub_config.archive_offset = 5000;
  EXPECT_EQ(startup_open_archive(scratch.win("setup.exe").c_str()), 0);
  EXPECT_EQ(fake_ui.boxes.at(0).text, "Cannot read setup.exe");
}

TEST_F(Startup, FailedSeekAndFailedRead) {
  std::vector<uint8_t> bytes = one_file_archive();
  fault_reset();
  fault_arm(FAULT_SEEK, 1, 25);
  EXPECT_EQ(open_archive(bytes), 0);
  EXPECT_EQ(fake_ui.boxes.at(0).text, "Cannot read setup.exe\nTrack not found");

  file_close(archive_file);
  fake_ui_reset();
  fault_reset();
  fault_arm(FAULT_READ, 1, 30);
  EXPECT_EQ(open_archive(bytes), 0);
  EXPECT_EQ(fake_ui.boxes.at(0).text, "Cannot read setup.exe\nRead fault");
}

TEST_F(Startup, EmptyArchiveIsANoticeWithoutIcon) {
  TestArchive a;
  EXPECT_EQ(open_archive(a.build()), 0);
  ASSERT_EQ(fake_ui.boxes.size(), 1u);
  EXPECT_EQ(fake_ui.boxes[0].text, "Archive contains no files");
  EXPECT_EQ(fake_ui.boxes[0].caption, "Lumetra Installation");
  EXPECT_EQ(fake_ui.boxes[0].style, (uint32_t)BOX_OK);
  EXPECT_EQ(fake_ui.boxes[0].owner, nullptr);
}

TEST_F(Startup, BaseNameAfterLastBackslashElseColonElseWhole) {
  enter_scratch();
  write_file(scratch.host("setup.exe"), one_file_archive());
  stub_config.archive_offset = 0;
  EXPECT_EQ(startup_open_archive("setup.exe"), 1);
  EXPECT_STREQ(exe_name, "setup.exe");
  file_close(archive_file);

  // No such file: only the base name matters here.
  EXPECT_EQ(startup_open_archive("D:inst.exe"), 0);
  EXPECT_STREQ(exe_name, "inst.exe");
  EXPECT_EQ(startup_open_archive("D:\\dir:x\\a:b\\in st.exe"), 0);
  EXPECT_STREQ(exe_name, "in st.exe");
  EXPECT_EQ(fake_ui.boxes.back().text, "Cannot open in st.exe\nPath not found");

  // A base name longer than exe_name holds is cut, never overrun.
  std::string long_name(400, 'L');
  EXPECT_EQ(startup_open_archive(long_name.c_str()), 0);
  EXPECT_EQ(strlen(exe_name), EXE_NAME_SIZE - 1);
}

TEST_F(Startup, DefaultDestination) {
  // "C:\..." paths are relative names on this host: work in the scratch folder.
  enter_scratch();
  ASSERT_EQ(mkdir("C:", 0777), 0);
  choose_default_destination();  // neither exists
  EXPECT_STREQ(stub_config.destination, "C:\\Lumetra");

  ASSERT_EQ(mkdir("C:/Program Files", 0777), 0);
  choose_default_destination();  // C:\Lumetra absent, Program Files present
  EXPECT_STREQ(stub_config.destination, "C:\\Program Files\\Lumetra");

  stub_config_reset();
  write_file(scratch.host("C:/Lumetra"), std::string("a file counts as existing"));
  choose_default_destination();
  EXPECT_STREQ(stub_config.destination, "C:\\Lumetra");
}

TEST_F(Startup, SwitchesOfTheCommandLine) {
  struct Case {
    const char* line;
    int result;         // 1 well formed, 0 wrong
    uint8_t unattended;
    const char* destination;  // after /D=
  };
  const std::string too_long = "setup.exe /D=C:\\" + std::string(DESTINATION_SIZE, 'x');
  const Case cases[] = {
      {"setup.exe", 1, 0, nullptr},
      {"\"C:\\My Files\\setup.exe\"", 1, 0, nullptr},
      {"\"C:\\My Files\\setup.exe\"/S", 1, 1, nullptr},
      {"setup.exe  /S ", 1, 1, nullptr},
      {"setup.exe /S\t", 0, 0, nullptr},
      {"setup.exe /S /D=C:\\Other Place", 1, 1, "C:\\Other Place"},
      {"\"C:\\a b\\setup.exe\" /D=C:\\Other Place\\ with /S inside ", 1, 0,
       "C:\\Other Place\\ with /S inside "},
      {"setup.exe /D=", 0, 0, nullptr},
      {"setup.exe /s", 0, 0, nullptr},
      {"setup.exe /SILENT", 0, 0, nullptr},
      {"setup.exe -S", 0, 0, nullptr},
      {"setup.exe \"/D=C:\\x\"", 0, 0, nullptr},
      {too_long.c_str(), 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    uint8_t unattended = 0;
    set_destination("C:\\Preset");
    EXPECT_EQ(read_switches(c.line, &unattended), c.result) << c.line;
    EXPECT_EQ(unattended, c.unattended) << c.line;
    EXPECT_STREQ(stub_config.destination, c.destination ? c.destination : "C:\\Preset") << c.line;
  }
}

TEST(Layout, WorkedDirectoryEntryExample) {
  const uint8_t bytes[48] = {0x00, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x21, 0x00,
                             0x00, 0x00, 0x47, 0x01, 0x00, 0x00, 0x2D, 0x01, 0x00, 0x00,
                             0xEF, 0xCD, 0xAB, 0x89, 0x00, 0x00, 0x0A, 0x00, 0x37, 0x63,
                             0x98, 0x31, 0xBA, 0x63, 0x98, 0x31, 0x00, 0x00, 'r', 'e',
                             'a', 'd', 'm', 'e', '.', 't', 'x', 't'};
  DirectoryEntry e;
  parse_entry(bytes, &e);
  EXPECT_EQ(e.stream_pos, 42u);
  EXPECT_EQ(e.attributes, 0x21);
  EXPECT_EQ(e.extra_len, 0);
  EXPECT_EQ(e.flags, 0);
  EXPECT_EQ(e.stream_offset, 327u);
  EXPECT_EQ(e.size, 301u);
  EXPECT_EQ(e.crc32, 0x89ABCDEFu);
  EXPECT_EQ(e.extra2_len, 0);
  EXPECT_EQ(e.name_len, 10);
  EXPECT_EQ(e.create_date, dos_date(2004, 12, 24));
  EXPECT_EQ(e.create_time, dos_time(12, 25, 46));
  EXPECT_EQ(e.write_date, dos_date(2004, 12, 24));
  EXPECT_EQ(e.write_time, dos_time(12, 29, 52));
  EXPECT_EQ(std::string((const char*)bytes + DIR_ENTRY_FIXED_SIZE, e.name_len), "readme.txt");
  EXPECT_EQ(DIR_ENTRY_FIXED_SIZE + e.name_len + e.extra_len + e.extra2_len, 48u);
}

}  // namespace
