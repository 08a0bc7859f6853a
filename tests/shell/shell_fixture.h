#pragma once
// A fixture for tests that run start-up and the driver against a real archive
// file in a scratch folder, with the fake UI and a clean file layer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "decode/decoder_state.h"
#include "fake_ui.h"
#include "platform/fault.h"
#include "platform/platform.h"
#include "scratch.h"
#include "shell/names.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/stub_config.h"

class ShellFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    stub_config_reset();
    fake_ui_reset();
    fault_reset();
    last_os_error = 0;
    archive_file = INVALID_FILE;
    extraction_completed = 0;
    failures_reported = 0;
    char cwd[4096];
    saved_cwd_ = getcwd(cwd, sizeof(cwd)) ? cwd : "/";
  }
  void TearDown() override {
    if (archive_file != INVALID_FILE) file_close(archive_file);
    archive_file = INVALID_FILE;
    fault_reset();
    if (chdir(saved_cwd_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << saved_cwd_;
  }

  // Writes `archive` behind `prefix` bytes of a would-be stub into setup.exe
  // and runs start-up on it; start-up's result.
  int open_archive(const std::vector<uint8_t>& archive, size_t prefix = 0) {
    std::vector<uint8_t> file(prefix, 0xCC);
    file.insert(file.end(), archive.begin(), archive.end());
    write_file(scratch.host("setup.exe"), file);
    stub_config.archive_offset = (uint32_t)prefix;
    return startup_open_archive(scratch.win("setup.exe").c_str());
  }

  // Sets the destination (a path in the scratch folder, or any text).
  void set_destination(const std::string& text) {
    ASSERT_TRUE(str_copy(stub_config.destination, DESTINATION_SIZE, text.c_str()));
  }

  void enter_scratch() { ASSERT_EQ(chdir(scratch.host().c_str()), 0); }

  Scratch scratch;
  int window = 0;  // its address stands for the main dialog

 private:
  std::string saved_cwd_;
};
