// What the POSIX layer adds to the contract: Windows-1252 paths with
// backslashes become UTF-8 paths with slashes, errno becomes the Windows code
// that the messages know, the read-only attribute is the write permission bits,
// and nothing hangs on a special file.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/errno_map.h"
#include "platform/interrupt.h"
#include "platform/platform.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

class PosixLayer : public ::testing::Test {
 protected:
  void SetUp() override { last_os_error = 0; }
  std::string contents(const std::string& leaf) {
    std::ifstream in(scratch.native(leaf), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  mode_t mode_of(const std::string& leaf) {
    struct stat st;
    EXPECT_EQ(stat(scratch.native(leaf).c_str(), &st), 0);
    return st.st_mode & 07777;
  }
  ScratchFolder scratch;
};

TEST_F(PosixLayer, BackslashesSeparateAndNamesArriveAsUtf8) {
  ASSERT_EQ(folder_create(scratch.path("sub").c_str()), 1);
  // "café €.txt" and an undefined code page byte, 0x81.
  FileHandle h = file_create(scratch.path("sub\\caf\xE9 \x80\x81.txt").c_str(), ATTR_NORMAL);
  ASSERT_NE(h, INVALID_FILE);
  file_close(h);
  EXPECT_TRUE(fs::is_regular_file(scratch.native("sub/caf\xC3\xA9 \xE2\x82\xAC\xC2\x81.txt")));
  EXPECT_EQ(file_get_attributes(scratch.path("sub\\caf\xE9 \x80\x81.txt").c_str()), ATTR_ARCHIVE);
}

TEST_F(PosixLayer, PathsBeyondTheHostLimitFailWith206) {
  std::string huge = scratch.path(std::string(3000, '\xE9'));  // 6000 bytes as UTF-8
  EXPECT_EQ(file_create(huge.c_str(), ATTR_NORMAL), INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_FILENAME_EXCED_RANGE);
  last_os_error = 0;
  EXPECT_EQ(folder_create(huge.c_str()), 0);
  EXPECT_EQ(last_os_error, OS_FILENAME_EXCED_RANGE);
  last_os_error = 0;
  EXPECT_EQ(file_get_attributes(std::string(5000, 'a').c_str()), NO_ATTRIBUTES);
  EXPECT_EQ(last_os_error, OS_FILENAME_EXCED_RANGE);
}

TEST_F(PosixLayer, FullDeviceReadsAsDiskFull) {
  FileHandle h = file_open("/dev/full", ACCESS_WRITE);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(file_write(h, "abc", 3), -1);
  EXPECT_EQ(last_os_error, OS_DISK_FULL);
  file_close(h);
}

TEST_F(PosixLayer, ErrnoBecomesTheWindowsCodeOfTheMessages) {
  struct {
    int errno_value;
    uint32_t windows;
  } cases[] = {
      {ENOSPC, 112}, {EDQUOT, 112}, {EROFS, 19}, {EIO, 31},   {EACCES, 5},
      {EPERM, 5},    {ENOTDIR, 3},  {EEXIST, 80}, {ENAMETOOLONG, 206},
      {ESTALE, 59},  {EPROTO, 31},  {0, 31},  // never "no error" for a failure
  };
  for (auto c : cases) EXPECT_EQ(windows_error_of(c.errno_value), c.windows) << c.errno_value;
}

TEST_F(PosixLayer, ReadOnlyIsTheWriteBits) {
  scratch.write_file("f", "x");
  std::string p = scratch.path("f");
  chmod(scratch.native("f").c_str(), 0666);
  ASSERT_EQ(file_set_attributes(p.c_str(), ATTR_READONLY), 1);
  EXPECT_EQ(mode_of("f"), 0444u);
  EXPECT_EQ(file_get_attributes(p.c_str()), ATTR_ARCHIVE | ATTR_READONLY);
  ASSERT_EQ(file_set_attributes(p.c_str(), ATTR_ARCHIVE), 1);
  EXPECT_EQ(mode_of("f"), 0644u);  // the owner's write bit comes back, no more
  EXPECT_EQ(file_get_attributes(p.c_str()), ATTR_ARCHIVE);
  ASSERT_EQ(file_set_attributes(p.c_str(), ATTR_HIDDEN | ATTR_SYSTEM), 1);
  EXPECT_EQ(mode_of("f"), 0644u);  // hidden and system have no POSIX form

  ASSERT_EQ(folder_create(scratch.path("d").c_str()), 1);
  mode_t folder = mode_of("d");
  ASSERT_EQ(file_set_attributes(scratch.path("d").c_str(), ATTR_READONLY), 1);
  EXPECT_EQ(mode_of("d"), folder);
  EXPECT_EQ(file_get_attributes(scratch.path("d").c_str()), ATTR_DIRECTORY);
}

// A link as the last component is reported, replaced or removed itself, and
// what it leads to is never opened, changed or made.
TEST_F(PosixLayer, LinksAreNeverFollowedAsTheLastComponent) {
  ASSERT_EQ(folder_create(scratch.path("outside").c_str()), 1);
  scratch.write_file("outside/file", "outside");
  chmod(scratch.native("outside/file").c_str(), 0644);
  ASSERT_EQ(symlink("outside/file", scratch.native("file link").c_str()), 0);
  ASSERT_EQ(symlink("outside/missing", scratch.native("dangling").c_str()), 0);
  ASSERT_EQ(symlink("outside", scratch.native("folder link").c_str()), 0);
  auto path = [&](const char* leaf) { return scratch.path(leaf); };

  EXPECT_EQ(file_get_attributes(path("file link").c_str()), ATTR_REPARSE_POINT);
  EXPECT_EQ(file_get_attributes(path("dangling").c_str()), ATTR_REPARSE_POINT);
  EXPECT_EQ(file_get_attributes(path("folder link").c_str()), ATTR_REPARSE_POINT | ATTR_DIRECTORY);

  EXPECT_EQ(file_create(path("dangling").c_str(), ATTR_NORMAL), INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_FILE_EXISTS);
  EXPECT_FALSE(fs::exists(scratch.native("outside/missing")));
  EXPECT_EQ(file_set_attributes(path("file link").c_str(), ATTR_READONLY), 1);
  EXPECT_EQ(mode_of("outside/file"), 0644u);

  scratch.write_file("new", "member");
  EXPECT_EQ(file_rename(INVALID_FILE, path("new").c_str(), path("file link").c_str()), 1);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(scratch.native("file link"))));
  EXPECT_EQ(contents("file link"), "member");
  EXPECT_EQ(contents("outside/file"), "outside");
  EXPECT_EQ(file_delete(path("dangling").c_str()), 1);
  EXPECT_FALSE(fs::exists(fs::symlink_status(scratch.native("dangling"))));
}

TEST_F(PosixLayer, FifoWithoutWriterDoesNotHang) {
  ASSERT_EQ(mkfifo(scratch.native("fifo").c_str(), 0600), 0);
  FileHandle h = file_open(scratch.path("fifo").c_str(), ACCESS_READ);
  ASSERT_NE(h, INVALID_FILE);
  char c;
  EXPECT_EQ(file_read(h, &c, 1), 0);
  file_close(h);
}

// A read that never gets its bytes (a pipe whose writer keeps it open) is
// resumed after a signal, as ReadFile would go on; once the tool's handler has
// set file_interrupted, the interrupted read gives up with 995 instead.
TEST_F(PosixLayer, AnInterruptedReadGivesUpOnceInterruptedIsSet) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  struct sigaction action = {}, previous = {};
  action.sa_handler = [](int) { file_interrupted = 1; };  // no SA_RESTART: read() sees EINTR
  sigaction(SIGALRM, &action, &previous);
  ualarm(100000, 0);
  char c;
  EXPECT_EQ(file_read(fds[0], &c, 1), -1);
  EXPECT_EQ(last_os_error, 995u);
  sigaction(SIGALRM, &previous, nullptr);
  file_interrupted = 0;
  close(fds[0]);
  close(fds[1]);
}

TEST_F(PosixLayer, HandlesAreCloseOnExecAndCloseReleasesThem) {
  scratch.write_file("f", "x");
  FileHandle h = file_open(scratch.path("f").c_str(), ACCESS_READ);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(fcntl((int)h, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  EXPECT_EQ(file_close(h), 1);
  EXPECT_EQ(fcntl((int)h, F_GETFD), -1);
}

TEST(PosixMemory, ResizeOfNothingOrToZeroKeepsTheContract) {
  EXPECT_EQ(mem_resize(nullptr, 16), nullptr);  // as LocalReAlloc: no block, no result
  void* block = mem_alloc(0);
  ASSERT_NE(block, nullptr);
  void* same = mem_resize(block, 0);  // realloc(p, 0) would free p behind the caller's back
  ASSERT_NE(same, nullptr);
  mem_free(same);
}

}  // namespace
