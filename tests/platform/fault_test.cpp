// The fault double: counting a run's calls, failing a chosen one, and every
// failure following the layer's own rules (close rule, disk-full rule,
// file_pos, the old block after a failed resize), so that tests of the decoders
// and the driver see what a real failure would give them.
#include <gtest/gtest.h>
#include <fcntl.h>

#include <filesystem>
#include <string>

#include "platform/fault.h"
#include "platform/platform.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

class Fault : public ::testing::Test {
 protected:
  void SetUp() override {
    fault_reset();
    last_os_error = 0;
  }
  void TearDown() override { fault_reset(); }

  // Writes "aaaa" "bbbb" "cccc" into a new file: -1 if any step failed, else 0.
  int three_writes(const std::string& leaf) {
    fs::remove(scratch.native(leaf));
    FileHandle h = file_create(scratch.path(leaf).c_str(), ATTR_NORMAL);
    if (h == INVALID_FILE) return -1;
    int result = 0;
    for (const char* block : {"aaaa", "bbbb", "cccc"}) {
      if (file_write(h, block, 4) != 4) {
        result = -1;
        break;
      }
    }
    file_close(h);
    return result;
  }
  size_t size_of(const std::string& leaf) { return fs::file_size(scratch.native(leaf)); }

  ScratchFolder scratch;
};

TEST_F(Fault, CountsARunThenFailsEachCallInTurn) {
  ASSERT_EQ(three_writes("f"), 0);
  EXPECT_EQ(fault_calls(FAULT_CREATE), 1u);
  EXPECT_EQ(fault_calls(FAULT_WRITE), 3u);
  EXPECT_EQ(fault_calls(FAULT_SHORT_WRITE), 3u);  // the same counter
  EXPECT_EQ(fault_calls(FAULT_CLOSE), 1u);
  EXPECT_EQ(fault_calls(FAULT_READ), 0u);

  for (uint32_t i = 1; i <= 3; i++) {
    fault_reset();
    fault_arm(FAULT_WRITE, i, OS_HANDLE_DISK_FULL);
    EXPECT_EQ(three_writes("f"), -1) << i;
    EXPECT_EQ(last_os_error, OS_DISK_FULL) << "39 is recorded as 112, write " << i;
    EXPECT_EQ(size_of("f"), 4 * (i - 1)) << "the failed write stores nothing";
    EXPECT_EQ(fault_injected(FAULT_WRITE), 1u);
  }
}

TEST_F(Fault, ShortWriteStoresHalfAndReadsAsDiskFull) {
  fault_arm(FAULT_SHORT_WRITE, 2);
  EXPECT_EQ(three_writes("f"), -1);
  EXPECT_EQ(last_os_error, OS_DISK_FULL);
  EXPECT_EQ(size_of("f"), 4u + 2u);
}

TEST_F(Fault, ArmingCountsFromNowAndCanLast) {
  scratch.write_file("f", "0123456789");
  FileHandle h = file_open(scratch.path("f").c_str(), ACCESS_READ);
  ASSERT_NE(h, INVALID_FILE);
  char c;
  EXPECT_EQ(file_read(h, &c, 1), 1);
  fault_arm(FAULT_READ, 2, 30, FAULT_FROM_THEN_ON);
  EXPECT_EQ(file_read(h, &c, 1), 1);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(file_read(h, &c, 1), -1);
    EXPECT_EQ(last_os_error, 30u);
  }
  fault_reset();
  EXPECT_EQ(file_read(h, &c, 1), 1);
  EXPECT_EQ(c, '2');  // failed reads consumed nothing
  file_close(h);
}

TEST_F(Fault, InjectedCreateAndCloseFollowTheCloseRule) {
  fault_arm(FAULT_CREATE, 1, OS_ACCESS_DENIED);
  fault_arm(FAULT_CLOSE, 1, OS_INVALID_HANDLE);
  EXPECT_EQ(file_create(scratch.path("f").c_str(), ATTR_NORMAL), INVALID_FILE);
  EXPECT_FALSE(fs::exists(scratch.native("f")));
  EXPECT_EQ(file_close(INVALID_FILE), 0);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
}

TEST_F(Fault, InjectedCloseStillReleasesTheDescriptor) {
  scratch.write_file("f", "x");
  FileHandle h = file_open(scratch.path("f").c_str(), ACCESS_READ);
  ASSERT_NE(h, INVALID_FILE);
  fault_arm(FAULT_CLOSE, 1, 31);
  EXPECT_EQ(file_close(h), 0);
  EXPECT_EQ(last_os_error, 31u);
  EXPECT_EQ(fcntl((int)h, F_GETFD), -1);
}

TEST_F(Fault, EveryOperationFailsWithItsOwnFailureValue) {
  scratch.write_file("f", "0123456789");
  const std::string f = scratch.path("f");
  FileHandle h = file_open(f.c_str(), ACCESS_READ | ACCESS_WRITE);
  ASSERT_NE(h, INVALID_FILE);
  char buffer[4];

  struct Case {
    FaultOp op;
    bool (*failed)(FileHandle, const std::string&, char*);
  };
  const Case cases[] = {
      {FAULT_OPEN, [](FileHandle, const std::string& p, char*) {
         return file_open(p.c_str(), ACCESS_READ) == INVALID_FILE; }},
      {FAULT_SEEK, [](FileHandle h, const std::string&, char*) {
         return file_seek(h, 3, SEEK_FROM_START) == SEEK_FAILED; }},
      {FAULT_READ, [](FileHandle h, const std::string&, char* b) { return file_read(h, b, 4) == -1; }},
      {FAULT_WRITE, [](FileHandle h, const std::string&, char* b) { return file_write(h, b, 4) == -1; }},
      {FAULT_SET_TIMES, [](FileHandle h, const std::string&, char*) {
         return file_set_times(h, 0, 0, 0x2A43, 0, 0) == 0; }},
      {FAULT_GET_ATTRIBUTES, [](FileHandle, const std::string& p, char*) {
         return file_get_attributes(p.c_str()) == NO_ATTRIBUTES; }},
      {FAULT_SET_ATTRIBUTES, [](FileHandle, const std::string& p, char*) {
         return file_set_attributes(p.c_str(), 0) == 0; }},
      {FAULT_DELETE, [](FileHandle, const std::string& p, char*) {
         return file_delete(p.c_str()) == 0; }},
      {FAULT_FOLDER_CREATE, [](FileHandle, const std::string& p, char*) {
         return folder_create((p + "_dir").c_str()) == 0; }},
  };
  for (const Case& c : cases) {
    fault_reset();
    fault_arm(c.op, 1, 1000 + c.op);
    last_os_error = 0;
    EXPECT_TRUE(c.failed(h, f, buffer)) << "op " << c.op;
    EXPECT_EQ(last_os_error, 1000u + c.op) << "op " << c.op;
    EXPECT_EQ(fault_injected(c.op), 1u) << "op " << c.op;
  }
  // Nothing happened behind the failures.
  EXPECT_TRUE(fs::exists(scratch.native("f")));
  EXPECT_FALSE(fs::exists(scratch.native("f_dir")));
  fault_reset();
  EXPECT_EQ(file_seek(h, 0, SEEK_FROM_CURRENT), 0u);
  EXPECT_EQ(fs::file_size(scratch.native("f")), 10u);
  file_close(h);
}

TEST_F(Fault, FailedReadArchiveKeepsFilePos) {
  scratch.write_file("f", "0123456789");
  FileHandle saved = archive_file;
  archive_file = file_open(scratch.path("f").c_str(), ACCESS_READ);
  file_pos = 0;
  char buffer[4];
  fault_arm(FAULT_READ, 2, 23);
  EXPECT_EQ(read_archive(buffer, 4), 4);
  EXPECT_EQ(read_archive(buffer, 4), -1);
  EXPECT_EQ(file_pos, 4u);
  EXPECT_EQ(last_os_error, 23u);
  file_close(archive_file);
  archive_file = saved;
}

TEST_F(Fault, FailedResizeLeavesTheOldBlockAndTheErrorSlot) {
  uint8_t* block = (uint8_t*)mem_alloc(8);
  ASSERT_NE(block, nullptr);
  block[7] = 7;
  last_os_error = 5;
  fault_arm(FAULT_ALLOC, 1);
  EXPECT_EQ(mem_resize(block, 1 << 16), nullptr);
  EXPECT_EQ(block[7], 7);  // still ours (the sanitizer tree would catch a freed block)
  void* other = mem_alloc(8);
  EXPECT_NE(other, nullptr) << "only the armed call fails";
  mem_free(other);
  mem_free(block);
  EXPECT_EQ(last_os_error, 5u);
}

}  // namespace
