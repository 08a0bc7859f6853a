// The host tool's UI: how messages are shown and counted, how OK/Cancel and
// the overwrite prompt are answered in each mode, and the display form of
// archive names.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "cli/host_ui.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

namespace {

class HostUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stub_config_reset();
    host_ui = HostUi{};
    err_ = tmpfile();
    host_ui.err = err_;
  }
  void TearDown() override {
    fclose(err_);
    if (in_) fclose(in_);
    host_ui = HostUi{};
  }
  void answers(const std::string& text) {
    in_ = tmpfile();
    fputs(text.c_str(), in_);
    rewind(in_);
    host_ui.in = in_;
  }
  std::string shown() {
    fflush(err_);
    rewind(err_);
    std::string s;
    for (int c; (c = fgetc(err_)) != EOF;) s += (char)c;
    return s;
  }

  FILE* err_ = nullptr;
  FILE* in_ = nullptr;
};

TEST_F(HostUiTest, MessagesGoToStandardErrorAndWarningsAreCounted) {
  EXPECT_EQ(ui_message_box(nullptr, "Archive contains no files", "t", BOX_OK), ANSWER_OK);
  EXPECT_EQ(host_ui.warnings, 0u);
  EXPECT_EQ(ui_message_box(nullptr, "Cannot create C:\\x\\caf\xE9\nAccess denied", "t",
                           BOX_WARNING | BOX_OK),
            ANSWER_OK);
  EXPECT_EQ(host_ui.warnings, 1u);
  EXPECT_EQ(ui_message_box(nullptr, "Archive data is damaged, probably caused by\na corrupt disk", "t",
                           BOX_WARNING | BOX_OK),
            ANSWER_OK);
  EXPECT_EQ(shown(),
            "qev: Archive contains no files\n"
            "qev: Cannot create C:/x/caf\xC3\xA9: Access denied\n"
            "qev: Archive data is damaged, probably caused by a corrupt disk\n");
}

TEST_F(HostUiTest, OkCancelGoesOnUnlessTheUserAnswers) {
  EXPECT_EQ(ui_message_box(nullptr, "q", "t", BOX_WARNING | BOX_OK_CANCEL), ANSWER_OK);
  host_ui.interactive = true;
  answers("x\nC\no\n");
  EXPECT_EQ(ui_message_box(nullptr, "q", "t", BOX_WARNING | BOX_OK_CANCEL), ANSWER_CANCEL);
  EXPECT_EQ(ui_message_box(nullptr, "q", "t", BOX_WARNING | BOX_OK_CANCEL), ANSWER_OK);
  // The end of input stops.
  EXPECT_EQ(ui_message_box(nullptr, "q", "t", BOX_WARNING | BOX_OK_CANCEL), ANSWER_CANCEL);
}

TEST_F(HostUiTest, OverwritePromptFollowsTheMode) {
  strcpy(stub_config.destination, "out\\a.txt");
  host_ui.overwrite = OVERWRITE_ALL;
  EXPECT_EQ(ui_overwrite_prompt(), PROMPT_YES);
  host_ui.overwrite = SKIP_EXISTING;
  EXPECT_EQ(ui_overwrite_prompt(), PROMPT_NO);
  EXPECT_EQ(shown(), "");

  EXPECT_EQ(host_ui.replaced, 1u);
  EXPECT_EQ(host_ui.kept, 1u);

  host_ui = HostUi{};
  host_ui.err = err_;
  host_ui.overwrite = ASK_EACH;
  answers("maybe\nYes\nn\n\nn\n  a\n");
  EXPECT_EQ(ui_overwrite_prompt(), PROMPT_YES);
  EXPECT_EQ(ui_overwrite_prompt(), PROMPT_NO);
  EXPECT_EQ(ui_overwrite_prompt(), PROMPT_NO) << "an empty answer asks again, then keeps";
  EXPECT_NE(shown().find("File \"out/a.txt\" already exists. Do you want to replace it? "),
            std::string::npos);
  // "All" answers Yes from then on without asking, and each is counted.
  EXPECT_EQ(ui_overwrite_prompt(), PROMPT_YES);
  EXPECT_EQ(ui_overwrite_prompt(), PROMPT_YES);
  EXPECT_EQ(host_ui.replaced, 3u);
  EXPECT_EQ(host_ui.kept, 2u);
  EXPECT_EQ(ui_overwrite_prompt(), PROMPT_YES) << "the input is at its end, which would answer No";

  // A replacement whose member then fails is not counted; a failure of a
  // later member does not undo an earlier replacement.
  host_ui.replaced = 0;
  ui_overwrite_prompt();
  ui_set_status(nullptr, "Extracting a.txt");
  ui_message_box(nullptr, "Cannot create out\\a.txt", "t", BOX_WARNING | BOX_OK);
  ui_overwrite_prompt();
  ui_set_status(nullptr, "Extracting b.txt");
  ui_set_status(nullptr, "Extracting c.txt");
  ui_message_box(nullptr, "Cannot create out\\c.txt", "t", BOX_WARNING | BOX_OK);
  EXPECT_EQ(host_ui.replaced, 1u);
}

TEST_F(HostUiTest, StatusOnlyWithProgressAndClearedBeforeMessages) {
  ui_set_status(nullptr, "Extracting a");
  EXPECT_EQ(shown(), "");
  host_ui.progress = true;
  ui_set_status(nullptr, "Extracting b\\c");
  ui_message_box(nullptr, "m", "t", BOX_OK);
  EXPECT_EQ(shown(), "\r\033[KExtracting b/c\r\033[Kqev: m\n");
}

TEST_F(HostUiTest, NoProgramNoRegistryLongNames) {
  void* key = nullptr;
  EXPECT_EQ(ui_registry_create("SOFTWARE\\x", &key), 0);
  uint32_t length = 0;
  EXPECT_EQ(ui_volume_max_component("/:\\", &length), 1);
  EXPECT_EQ(length, 255u);
  ui_start_program("\"lumetra.exe\"");  // does nothing, and shows nothing
  EXPECT_EQ(shown(), "");
}

}  // namespace
