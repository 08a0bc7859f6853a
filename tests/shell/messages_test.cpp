// Messages: the bounded formatter, the OS error lines, and report_error's text,
// box style, return value and last_os_error rules for every result code.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "fake_ui.h"
#include "platform/platform.h"
#include "shell/format.h"
#include "shell/report_error.h"
#include "base/result_codes.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

namespace {

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    stub_config_reset();
    fake_ui_reset();
    last_os_error = 0;
    strcpy(exe_name, "setup.exe");
  }
};

TEST(FormatMessage, FillsStringsCharactersAndPercent) {
  char out[64];
  EXPECT_EQ(format_message(out, sizeof(out), "Cannot open %s%s", "a.exe", "\nFile not found"),
            strlen("Cannot open a.exe\nFile not found"));
  EXPECT_STREQ(out, "Cannot open a.exe\nFile not found");
  format_message(out, sizeof(out), "%c:\\", "Dwhatever", nullptr);
  EXPECT_STREQ(out, "D:\\");
  format_message(out, sizeof(out), "100%% of %s", "it", nullptr);
  EXPECT_STREQ(out, "100% of it");
  // A null argument prints nothing; a missing one too.
  format_message(out, sizeof(out), "[%s][%s][%s]", nullptr, "b");
  EXPECT_STREQ(out, "[][b][]");
  // A trailing lone percent is kept.
  format_message(out, sizeof(out), "50%", nullptr, nullptr);
  EXPECT_STREQ(out, "50%");
}

TEST(FormatMessage, NeverWritesPastItsCapacity) {
  std::string long_name(1000, 'n');
  for (size_t capacity : {1u, 2u, 5u, 17u, 300u}) {
    char buffer[400];
    memset(buffer, 0x5A, sizeof(buffer));
    size_t n = format_message(buffer, capacity, "Cannot create %s%s", long_name.c_str(),
                              "\nAccess denied");
    EXPECT_EQ(n, capacity - 1);
    EXPECT_EQ(buffer[capacity - 1], 0);
    EXPECT_EQ(strlen(buffer), capacity - 1);
    for (size_t i = capacity; i < sizeof(buffer); i++) ASSERT_EQ(buffer[i], 0x5A) << capacity;
  }
  char untouched = 0x5A;
  EXPECT_EQ(format_message(&untouched, 0, "x", nullptr, nullptr), 0u);
  EXPECT_EQ(untouched, 0x5A);
}

struct SuffixCase {
  uint32_t os_error;
  const char* line;
};

TEST_F(Messages, EveryOsErrorCodeHasItsLine) {
  const SuffixCase cases[] = {
      {0, ""},
      {1, ""},
      {2, "\nFile not found"},
      {3, "\nPath not found"},
      {4, ""},
      {5, "\nAccess denied"},
      {15, "\nInvalid drive"},
      {19, "\nDisk is write protected"},
      {21, "\nDevice not ready"},
      {25, "\nTrack not found"},
      {26, "\nNot a DOS disk"},
      {27, "\nSector not found"},
      {29, "\nWrite fault"},
      {30, "\nRead fault"},
      {31, "\nGeneral failure"},
      {39, "\nDisk full"},
      {49, ""},
      {50, "\nNetwork error"},
      {64, "\nNetwork error"},
      {71, "\nNetwork error"},
      {72, ""},
      {80, "\nFile exists"},
      {112, "\nDisk full"},
      {161, "\nInvalid path"},
      {183, ""},
      {0xFFFFFFFF, ""},
  };
  for (const SuffixCase& c : cases) {
    last_os_error = c.os_error;
    EXPECT_STREQ(os_error_suffix(), c.line) << c.os_error;
    EXPECT_EQ(last_os_error, c.os_error);  // only read
  }
}

struct CodeCase {
  int code;
  const char* without_os_line;
  bool takes_os_line;
};

const CodeCase kCodes[] = {
    {ERR_NOMEM, "Not enough memory", false},
    {ERR_CREATE, "Cannot create setup.exe", true},
    {ERR_OPEN, "Cannot open setup.exe", true},
    {ERR_READ, "Cannot read setup.exe", true},
    {ERR_WRITE, "Cannot write setup.exe", true},
    {ERR_MKDIR, "Cannot create folder setup.exe", true},
    {ERR_DAMAGED, "Archive data is damaged, probably caused by\na corrupt disk or download error",
     false},
    {ERR_CRC, "File \"setup.exe\" fails error check", false},
    {ERR_SEEK, "Cannot read setup.exe", true},
    {ERR_TRUNCATED,
     "Archive data is damaged, probably caused by\na corrupt disk or download error", false},
};

TEST_F(Messages, EveryCodeShowsItsTextWithAndWithoutTheOsLine) {
  for (const CodeCase& c : kCodes) {
    for (uint32_t os_error : {0u, 5u}) {
      fake_ui_reset();
      last_os_error = os_error;
      EXPECT_EQ(report_error(nullptr, c.code, nullptr, 0), 1) << c.code;
      ASSERT_EQ(fake_ui.boxes.size(), 1u);
      std::string expected = c.without_os_line;
      if (c.takes_os_line && os_error == 5) expected += "\nAccess denied";
      EXPECT_EQ(fake_ui.boxes[0].text, expected) << c.code;
      EXPECT_EQ(fake_ui.boxes[0].caption, "Lumetra Installation");
      EXPECT_EQ(fake_ui.boxes[0].style, 0x30u);
      EXPECT_EQ(fake_ui.boxes[0].owner, nullptr);
      EXPECT_EQ(last_os_error, 0u) << "a shown message clears the slot";
    }
  }
}

TEST_F(Messages, CodesWithoutTextShowNothingAndKeepTheOsError) {
  for (int code : {ERR_CANCELLED, 0, 1, 42, -4, -7, -10, -13, -14, -15, -16, -18, -49, -51, -100, INT32_MIN}) {
    last_os_error = 31;
    EXPECT_EQ(report_error(nullptr, code, "x", 1), 0) << code;
    EXPECT_EQ(last_os_error, 31u);
  }
  EXPECT_TRUE(fake_ui.boxes.empty());
}

// The file layer's failed read (-1) is a read of the installer's own file:
// "Cannot read" with its name, whatever name the caller was at.
TEST_F(Messages, AFailedReadNamesTheInstaller) {
  last_os_error = 5;
  EXPECT_EQ(report_error(nullptr, READ_FAILED, "C:\\Lumetra\\member.dll", 0), 1);
  EXPECT_EQ(fake_box_texts(), std::vector<std::string>{"Cannot read setup.exe\nAccess denied"});
  EXPECT_EQ(last_os_error, 0u);
}

TEST_F(Messages, NameOwnerAndAskingAnswers) {
  int window = 0;
  last_os_error = 2;
  EXPECT_EQ(report_error(&window, ERR_OPEN, nullptr, 0), 1);
  EXPECT_EQ(fake_ui.boxes.back().text, "Cannot open setup.exe\nFile not found");
  EXPECT_EQ(fake_ui.boxes.back().owner, &window);

  // With ask: OK goes on (0); Cancel, a closed box or a failed box stop (1).
  fake_ui.box_answers = {ANSWER_OK, ANSWER_CANCEL, 0, 7};
  EXPECT_EQ(report_error(&window, ERR_CREATE, "C:\\out\\a.txt", 1), 0);
  EXPECT_EQ(fake_ui.boxes.back().style, 0x31u);
  EXPECT_EQ(fake_ui.boxes.back().text, "Cannot create C:\\out\\a.txt");
  EXPECT_EQ(report_error(&window, ERR_CRC, "a.txt", 1), 1);
  EXPECT_EQ(report_error(&window, ERR_CRC, "a.txt", 1), 1);
  EXPECT_EQ(report_error(&window, ERR_CRC, "a.txt", 1), 1);
  // Without ask a shown box always stops, whatever it answered.
  fake_ui.box_answers = {ANSWER_OK};
  EXPECT_EQ(report_error(&window, ERR_DAMAGED, nullptr, 0), 1);
}

TEST_F(Messages, CrcNeverHasAnOsLineButStillClearsIt) {
  last_os_error = 112;
  report_error(nullptr, ERR_CRC, "big.bin", 1);
  EXPECT_EQ(fake_ui.boxes.back().text, "File \"big.bin\" fails error check");
  EXPECT_EQ(last_os_error, 0u);
}

TEST_F(Messages, TheMessageBufferIsNeverOverrun) {
  // The longest real case: a 259-character path with the longest line.
  std::string path = "C:\\" + std::string(256, 'p');
  last_os_error = 19;  // "\nDisk is write protected"
  report_error(nullptr, ERR_MKDIR, path.c_str(), 0);
  EXPECT_EQ(fake_ui.boxes.back().text,
            "Cannot create folder " + path + "\nDisk is write protected");

  // Far longer names are cut, and the buffer stays terminated within its size.
  for (int code : {ERR_CREATE, ERR_OPEN, ERR_READ, ERR_WRITE, ERR_MKDIR, ERR_SEEK, ERR_CRC}) {
    std::string huge(5000, 'h');
    last_os_error = 19;
    report_error(nullptr, code, huge.c_str(), 0);
    const std::string& text = fake_ui.boxes.back().text;
    EXPECT_EQ(text.size(), MESSAGE_BUFFER_SIZE - 1) << code;
    EXPECT_EQ(text.rfind("Cannot ", 0) == 0 || text.rfind("File \"", 0) == 0, true);
    EXPECT_LT(strlen(message_buffer), (size_t)MESSAGE_BUFFER_SIZE);
  }
}

}  // namespace
