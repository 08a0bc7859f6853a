// The file layer's contract as the installer relies on it: which operations
// clear and which only record last_os_error, the close rule, the Windows error
// codes of common failures, reads at the end of a file and file_pos, times,
// attributes and sharing. The same tests run against the POSIX layer on the
// host and the KERNEL32 layer under Wine, so the two cannot drift apart.
#include <gtest/gtest.h>

#include <string>

#include "file_times.h"
#include "platform/platform.h"
#include "scratch_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr uint16_t dos_date(int year, int month, int day) {
  return (uint16_t)(((year - 1980) << 9) | (month << 5) | day);
}
constexpr uint16_t dos_time(int hour, int minute, int second) {
  return (uint16_t)((hour << 11) | (minute << 5) | (second / 2));
}

// Not a handle or descriptor that can ever be open (odd, and far above any
// descriptor limit).
constexpr FileHandle kBogusHandle = 0x12345677;
constexpr uint32_t kStale = 99;  // a value no operation here produces

// Wine keeps no creation time on Linux (it reports the last-write time) and,
// run as root, lets the owner's missing write permission stop nobody. Where a
// test checks those two Windows behaviours, it skips them under Wine.
bool under_wine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}
bool creation_time_kept() {
#ifdef _WIN32
  return !under_wine();
#else
  return false;  // not settable on Linux; file_times reports 0 for it
#endif
}

class FileLayer : public ::testing::Test {
 protected:
  void SetUp() override { last_os_error = 0; }

  // A file with `content`, made through the layer.
  void make_file(const std::string& leaf, const std::string& content) {
    FileHandle h = file_create(scratch.path(leaf).c_str(), ATTR_NORMAL);
    ASSERT_NE(h, INVALID_FILE);
    ASSERT_EQ(file_write(h, content.data(), (uint32_t)content.size()), (int32_t)content.size());
    ASSERT_EQ(file_close(h), 1);
  }
  std::string read_all(const std::string& leaf) {
    FileHandle h = file_open(scratch.path(leaf).c_str(), ACCESS_READ);
    EXPECT_NE(h, INVALID_FILE);
    char buffer[256];
    int32_t got = file_read(h, buffer, sizeof(buffer));
    file_close(h);
    return got < 0 ? "<read failed>" : std::string(buffer, (size_t)got);
  }

  ScratchFolder scratch;
};

// ---- last_os_error: clears, records, the close rule ----

using LastOsError = FileLayer;

TEST_F(LastOsError, FailedCreateThenFailedCloseKeepsTheFirstError) {
  ASSERT_EQ(folder_create(scratch.path("taken").c_str()), 1);
  EXPECT_EQ(file_create(scratch.path("taken").c_str(), ATTR_NORMAL), INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_FILE_EXISTS);  // a folder has the name
  EXPECT_EQ(file_close(kBogusHandle), 0);
  EXPECT_EQ(last_os_error, OS_FILE_EXISTS);
}

TEST_F(LastOsError, FailedCloseRecordsIntoAnEmptySlot) {
  EXPECT_EQ(file_close(kBogusHandle), 0);
  EXPECT_EQ(last_os_error, OS_INVALID_HANDLE);
}

TEST_F(LastOsError, MissingPathStaysRecordedUntilAnOperationThatClears) {
  EXPECT_EQ(file_get_attributes(scratch.path("missing").c_str()), NO_ATTRIBUTES);
  EXPECT_EQ(last_os_error, OS_FILE_NOT_FOUND);
  EXPECT_EQ(file_get_attributes(scratch.path("no folder\\missing").c_str()), NO_ATTRIBUTES);
  EXPECT_EQ(last_os_error, OS_PATH_NOT_FOUND);

  // Successes of the operations that do not clear leave the old error.
  scratch.write_file("doomed", "x");
  EXPECT_NE(file_get_attributes(scratch.path().c_str()), NO_ATTRIBUTES);
  EXPECT_EQ(folder_create(scratch.path("new").c_str()), 1);
  EXPECT_EQ(file_delete(scratch.path("doomed").c_str()), 1);
  EXPECT_EQ(last_os_error, OS_PATH_NOT_FOUND);

  FileHandle h = file_open(scratch.path("new").c_str(), ACCESS_READ);  // a folder: fails
  EXPECT_EQ(h, INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
  make_file("kept", "abc");
  h = file_open(scratch.path("kept").c_str(), ACCESS_READ);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(last_os_error, 0u);  // file_open cleared
  last_os_error = kStale;
  EXPECT_EQ(file_close(h), 1);
  EXPECT_EQ(last_os_error, kStale);  // close never clears
}

TEST_F(LastOsError, EveryClearingOperationClearsOnSuccess) {
  std::string p = scratch.path("f");
  last_os_error = kStale;
  FileHandle h = file_create(p.c_str(), ATTR_NORMAL);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(last_os_error, 0u) << "file_create";

  last_os_error = kStale;
  EXPECT_EQ(file_write(h, "abcd", 4), 4);
  EXPECT_EQ(last_os_error, 0u) << "file_write";

  last_os_error = kStale;
  EXPECT_EQ(file_seek(h, 1, SEEK_FROM_START), 1u);
  EXPECT_EQ(last_os_error, 0u) << "file_seek";

  char c[4];
  last_os_error = kStale;
  EXPECT_EQ(file_read(h, c, 4), 3);
  EXPECT_EQ(last_os_error, 0u) << "file_read";

  last_os_error = kStale;
  EXPECT_EQ(file_set_times(h, 0, 0, dos_date(2001, 2, 3), 0, 0), 1);
  EXPECT_EQ(last_os_error, 0u) << "file_set_times";

  last_os_error = kStale;
  EXPECT_EQ(file_rename(h, p.c_str(), scratch.path("g").c_str()), 1);
  EXPECT_EQ(last_os_error, 0u) << "file_rename";
  file_close(h);
  p = scratch.path("g");

  last_os_error = kStale;
  h = file_open(p.c_str(), ACCESS_READ);
  EXPECT_NE(h, INVALID_FILE);
  EXPECT_EQ(last_os_error, 0u) << "file_open";
  file_close(h);

  last_os_error = kStale;
  EXPECT_EQ(file_set_attributes(p.c_str(), 0), 1);
  EXPECT_EQ(last_os_error, 0u) << "file_set_attributes";
}

TEST_F(LastOsError, MemoryOperationsLeaveItAlone) {
  last_os_error = kStale;
  void* block = mem_alloc(16);
  ASSERT_NE(block, nullptr);
  block = mem_resize(block, 64);
  ASSERT_NE(block, nullptr);
  mem_free(block);
  EXPECT_EQ(last_os_error, kStale);
}

// ---- the Windows codes that the messages are chosen by ----

using ErrorCodes = FileLayer;

TEST_F(ErrorCodes, MissingFilesAndFolders) {
  make_file("file", "x");
  struct Case {
    const char* what;
    FileHandle result;
    uint32_t error;
  };
  auto open = [&](const char* leaf) {
    last_os_error = 0;
    FileHandle h = file_open(scratch.path(leaf).c_str(), ACCESS_READ);
    return Case{leaf, h, last_os_error};
  };
  for (Case c : {open("missing"), open("missing\\x"), open("file\\x")}) {
    EXPECT_EQ(c.result, INVALID_FILE) << c.what;
  }
  EXPECT_EQ(open("missing").error, OS_FILE_NOT_FOUND);
  EXPECT_EQ(open("missing\\x").error, OS_PATH_NOT_FOUND);
  EXPECT_EQ(open("file\\x").error, OS_PATH_NOT_FOUND);  // a file where a folder should be

  EXPECT_EQ(file_create(scratch.path("missing\\x").c_str(), ATTR_NORMAL), INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_PATH_NOT_FOUND);
  last_os_error = 0;
  EXPECT_EQ(file_delete(scratch.path("missing").c_str()), 0);
  EXPECT_EQ(last_os_error, OS_FILE_NOT_FOUND);
  EXPECT_EQ(file_set_attributes(scratch.path("missing").c_str(), 0), 0);
  EXPECT_EQ(last_os_error, OS_FILE_NOT_FOUND);
}

TEST_F(ErrorCodes, FolderCreation) {
  ASSERT_EQ(folder_create(scratch.path("a").c_str()), 1);
  EXPECT_EQ(file_get_attributes(scratch.path("a").c_str()) & ATTR_DIRECTORY, ATTR_DIRECTORY);
  EXPECT_EQ(folder_create(scratch.path("a").c_str()), 0);
  EXPECT_EQ(last_os_error, OS_ALREADY_EXISTS);
  make_file("file", "x");
  last_os_error = 0;
  EXPECT_EQ(folder_create(scratch.path("file").c_str()), 0);
  EXPECT_EQ(last_os_error, OS_ALREADY_EXISTS);
  last_os_error = 0;
  EXPECT_EQ(folder_create(scratch.path("b\\c").c_str()), 0);
  EXPECT_EQ(last_os_error, OS_PATH_NOT_FOUND);
  EXPECT_EQ(folder_create(scratch.path("a\\c\\").c_str()), 1);  // a trailing separator is fine
}

TEST_F(ErrorCodes, FoldersAreNotFiles) {
  ASSERT_EQ(folder_create(scratch.path("d").c_str()), 1);
  EXPECT_EQ(file_open(scratch.path("d").c_str(), ACCESS_READ), INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
  // Nor are they replaced by a file, new or renamed.
  EXPECT_EQ(file_create(scratch.path("d").c_str(), ATTR_NORMAL), INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_FILE_EXISTS);
  FileHandle h = file_create(scratch.path("f").c_str(), ATTR_NORMAL);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(file_rename(h, scratch.path("f").c_str(), scratch.path("d").c_str()), 0);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
  file_close(h);
  last_os_error = 0;
  EXPECT_EQ(file_delete(scratch.path("d").c_str()), 0);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
}

TEST_F(ErrorCodes, BadHandlesAndWrongDirections) {
  char c[4];
  EXPECT_EQ(file_read(kBogusHandle, c, 4), -1);
  EXPECT_EQ(last_os_error, OS_INVALID_HANDLE);
  EXPECT_EQ(file_write(kBogusHandle, c, 4), -1);
  EXPECT_EQ(last_os_error, OS_INVALID_HANDLE);
  EXPECT_EQ(file_seek(kBogusHandle, 0, SEEK_FROM_START), SEEK_FAILED);
  EXPECT_EQ(last_os_error, OS_INVALID_HANDLE);

  make_file("f", "abc");
  FileHandle h = file_open(scratch.path("f").c_str(), ACCESS_READ);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(file_write(h, "x", 1), -1);  // opened for reading only
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
  EXPECT_EQ(file_seek(h, (uint32_t)-4, SEEK_FROM_END), SEEK_FAILED);  // before the start
  EXPECT_EQ(last_os_error, OS_NEGATIVE_SEEK);
  file_close(h);
}

// ---- reading, writing, positions ----

using ReadWrite = FileLayer;

TEST_F(ReadWrite, ReadAtTheEndReturnsZeroAndReadArchiveAddsNothing) {
  make_file("archive", "0123456789");
  FileHandle saved = archive_file;
  archive_file = file_open(scratch.path("archive").c_str(), ACCESS_READ);
  ASSERT_NE(archive_file, INVALID_FILE);
  file_pos = 0;
  char buffer[32];
  EXPECT_EQ(read_archive(buffer, 4), 4);
  EXPECT_EQ(file_pos, 4u);
  EXPECT_EQ(read_archive(buffer, sizeof(buffer)), 6);  // fewer than asked: the rest
  EXPECT_EQ(std::string(buffer, 6), "456789");
  EXPECT_EQ(file_pos, 10u);
  EXPECT_EQ(read_archive(buffer, sizeof(buffer)), 0);
  EXPECT_EQ(last_os_error, 0u);
  EXPECT_EQ(file_pos, 10u);
  EXPECT_EQ(file_read(archive_file, buffer, 1), 0);
  file_close(archive_file);

  archive_file = kBogusHandle;  // a failed read leaves the position alone
  EXPECT_EQ(read_archive(buffer, 4), -1);
  EXPECT_EQ(file_pos, 10u);
  EXPECT_NE(last_os_error, 0u);
  archive_file = saved;
}

TEST_F(ReadWrite, CreateNeverOpensATakenNameAndSeeksReportPositions) {
  make_file("f", "0123456789");
  EXPECT_EQ(file_create(scratch.path("f").c_str(), ATTR_NORMAL), INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_FILE_EXISTS);
  EXPECT_EQ(read_all("f"), "0123456789");
  FileHandle h = file_create(scratch.path("g").c_str(), ATTR_NORMAL);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(file_write(h, "abcdef", 6), 6);
  EXPECT_EQ(file_write(h, "", 0), 0);
  EXPECT_EQ(file_seek(h, 2, SEEK_FROM_START), 2u);
  EXPECT_EQ(file_seek(h, 1, SEEK_FROM_CURRENT), 3u);
  EXPECT_EQ(file_seek(h, -1, SEEK_FROM_END), 5u);
  char c = 0;
  EXPECT_EQ(file_read(h, &c, 1), 1);
  EXPECT_EQ(c, 'f');
  EXPECT_EQ(file_read(h, &c, 0), 0);
  // Renamed over the first file, it replaces it in one step.
  EXPECT_EQ(file_rename(h, scratch.path("g").c_str(), scratch.path("f").c_str()), 1);
  EXPECT_EQ(file_close(h), 1);
  EXPECT_EQ(read_all("f"), "abcdef");
  EXPECT_EQ(file_get_attributes(scratch.path("g").c_str()), NO_ATTRIBUTES);
}

// Every position below 4 GiB is reached, from the start as an unsigned
// value, past 2 GiB too; from the end the distance is signed. The file is
// sparse where the file system allows (Linux, and Wine on it).
TEST_F(ReadWrite, PositionsPast2GiB) {
  FileHandle h = file_create(scratch.path("sparse").c_str(), ATTR_NORMAL);
  ASSERT_NE(h, INVALID_FILE);
  const uint32_t middle = 0x90000000u, length = 0xA0000000u;
  ASSERT_EQ(file_seek(h, length - 1, SEEK_FROM_START), length - 1);
  ASSERT_EQ(file_write(h, "z", 1), 1);
  ASSERT_EQ(file_seek(h, middle, SEEK_FROM_START), middle);
  ASSERT_EQ(file_write(h, "abc", 3), 3);
  EXPECT_EQ(file_seek(h, 0, SEEK_FROM_END), length);
  EXPECT_EQ(file_seek(h, (uint32_t)-1, SEEK_FROM_END), length - 1);
  EXPECT_EQ(file_seek(h, middle, SEEK_FROM_START), middle);
  char got[4] = {};
  EXPECT_EQ(file_read(h, got, 3), 3);
  EXPECT_EQ(std::string(got, 3), "abc");
  // 4 GiB - 1 is where the failure value lies: no position goes there.
  EXPECT_EQ(file_seek(h, SEEK_FAILED, SEEK_FROM_START), SEEK_FAILED);
  EXPECT_EQ(file_close(h), 1);
}

// ---- times ----

class Times : public FileLayer {
 protected:
  // A file whose last-write time is 1999-12-31 23:59:58, then reopened.
  FileHandle prepared() {
    make_file("f", "data");
    FileHandle h = file_open(scratch.path("f").c_str(), ACCESS_READ | ACCESS_WRITE);
    EXPECT_NE(h, INVALID_FILE);
    EXPECT_EQ(file_set_times(h, 0, 0, dos_date(1999, 12, 31), dos_time(23, 59, 58), 0), 1);
    before = file_times(scratch.native("f"));
    EXPECT_TRUE(before.ok);
    return h;
  }
  FileTimes after() { return file_times(scratch.native("f")); }
  FileTimes before{};
};

TEST_F(Times, BothDatesZeroChangeNothing) {
  FileHandle h = prepared();
  EXPECT_EQ(file_set_times(h, 0, dos_time(1, 2, 4), 0, dos_time(5, 6, 8), 0), 1);
  EXPECT_EQ(file_close(h), 1);
  FileTimes now = after();
  EXPECT_EQ(now.written, before.written);
  if (creation_time_kept()) EXPECT_EQ(now.created, before.created);
  EXPECT_EQ(now.accessed, before.accessed);
}

TEST_F(Times, OnlyTheWriteDateChangesOnlyTheLastWriteTime) {
  FileHandle h = prepared();
  EXPECT_EQ(file_set_times(h, 0, 0, dos_date(2001, 2, 3), dos_time(4, 5, 6), 0), 1);
  EXPECT_EQ(file_close(h), 1);
  uint16_t date = 0, time = 0;
  ASSERT_TRUE(written_as_dos(scratch.native("f"), &date, &time));
  EXPECT_EQ(date, dos_date(2001, 2, 3));
  EXPECT_EQ(time, dos_time(4, 5, 6));
  FileTimes now = after();
  if (creation_time_kept()) EXPECT_EQ(now.created, before.created);
  EXPECT_EQ(now.accessed, before.accessed);
}

TEST_F(Times, MidnightIsATimeAndTheCreationPairNeverTouchesTheWriteTime) {
  FileHandle h = prepared();
  EXPECT_EQ(file_set_times(h, dos_date(1990, 6, 15), dos_time(12, 0, 0), 0, 0, 0), 1);
  EXPECT_EQ(after().written, before.written);
  EXPECT_EQ(file_set_times(h, 0, 0, dos_date(2010, 1, 1), 0, 0), 1);
  EXPECT_EQ(file_close(h), 1);
  uint16_t date = 0, time = 1;
  ASSERT_TRUE(written_as_dos(scratch.native("f"), &date, &time));
  EXPECT_EQ(date, dos_date(2010, 1, 1));
  EXPECT_EQ(time, 0);
  if (creation_time_kept()) {
    ASSERT_TRUE(created_as_dos(scratch.native("f"), &date, &time));
    EXPECT_EQ(date, dos_date(1990, 6, 15));
    EXPECT_EQ(time, dos_time(12, 0, 0));
  }
}

TEST_F(Times, PairsThatNameNoMomentLeaveTheirTimeAlone) {
  FileHandle h = prepared();
  const uint16_t month_zero = dos_date(2001, 0, 3);
  const uint16_t february_30 = dos_date(2001, 2, 30);
  EXPECT_EQ(file_set_times(h, 0, 0, month_zero, dos_time(4, 5, 6), 0), 1);
  EXPECT_EQ(file_set_times(h, 0, 0, february_30, 0, 0), 1);
  EXPECT_EQ(file_set_times(h, 0, 0, dos_date(2001, 2, 3), 0xFFFF, 0), 1);  // hour 31
  EXPECT_EQ(file_close(h), 1);
  EXPECT_EQ(after().written, before.written);
}

TEST_F(Times, BadHandleFails) {
  EXPECT_EQ(file_set_times(kBogusHandle, 0, 0, dos_date(2001, 2, 3), 0, 0), 0);
  EXPECT_EQ(last_os_error, OS_INVALID_HANDLE);
  last_os_error = 0;
  EXPECT_EQ(file_set_times(kBogusHandle, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(last_os_error, OS_INVALID_HANDLE);
}

// ---- attributes ----

using Attributes = FileLayer;

TEST_F(Attributes, FilesAndFoldersReportTheirKind) {
  make_file("f", "x");
  ASSERT_EQ(folder_create(scratch.path("d").c_str()), 1);
  uint32_t file = file_get_attributes(scratch.path("f").c_str());
  uint32_t folder = file_get_attributes(scratch.path("d").c_str());
  EXPECT_EQ(file & (ATTR_DIRECTORY | ATTR_READONLY | ATTR_ARCHIVE), ATTR_ARCHIVE);
  EXPECT_EQ(folder & (ATTR_DIRECTORY | ATTR_READONLY), ATTR_DIRECTORY);
}

TEST_F(Attributes, ReadOnlyRoundTrip) {
  make_file("f", "x");
  std::string p = scratch.path("f");
  EXPECT_EQ(file_set_attributes(p.c_str(), ATTR_READONLY | ATTR_HIDDEN | ATTR_SYSTEM), 1);
  EXPECT_EQ(file_get_attributes(p.c_str()) & (ATTR_READONLY | ATTR_DIRECTORY), ATTR_READONLY);
  EXPECT_EQ(file_set_attributes(p.c_str(), 0), 1);
  EXPECT_EQ(file_get_attributes(p.c_str()) & ATTR_READONLY, 0u);
  EXPECT_EQ(file_set_attributes(p.c_str(), ATTR_READONLY), 1);
  EXPECT_EQ(file_get_attributes(p.c_str()) & ATTR_READONLY, ATTR_READONLY);
}

TEST_F(Attributes, ReadOnlyFileIsNeitherReplacedNorWrittenNorDeleted) {
  if (under_wine()) GTEST_SKIP() << "Wine run as root does not enforce read-only files";
  make_file("f", "kept");
  FileHandle h = file_create(scratch.path("new").c_str(), ATTR_NORMAL);
  ASSERT_NE(h, INVALID_FILE);
  std::string p = scratch.path("f");
  ASSERT_EQ(file_set_attributes(p.c_str(), ATTR_READONLY), 1);
  EXPECT_EQ(file_rename(h, scratch.path("new").c_str(), p.c_str()), 0);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
  file_close(h);
  EXPECT_EQ(file_open(p.c_str(), ACCESS_READ | ACCESS_WRITE), INVALID_FILE);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
  last_os_error = 0;
  EXPECT_EQ(file_delete(p.c_str()), 0);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
  EXPECT_EQ(read_all("f"), "kept");
}

TEST_F(Attributes, CreatedReadOnlyTheNewHandleStillWrites) {
  FileHandle h = file_create(scratch.path("f").c_str(), ATTR_READONLY);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(file_write(h, "abc", 3), 3);
  EXPECT_EQ(file_close(h), 1);
  EXPECT_EQ(file_get_attributes(scratch.path("f").c_str()) & ATTR_READONLY, ATTR_READONLY);
  EXPECT_EQ(read_all("f"), "abc");
}

TEST_F(Attributes, ReadOnlyFolderStillTakesNewFiles) {
  ASSERT_EQ(folder_create(scratch.path("d").c_str()), 1);
  EXPECT_EQ(file_set_attributes(scratch.path("d").c_str(), ATTR_READONLY), 1);
  FileHandle h = file_create(scratch.path("d\\f").c_str(), ATTR_NORMAL);
  EXPECT_NE(h, INVALID_FILE);
  file_close(h);
  EXPECT_EQ(folder_create(scratch.path("d\\e").c_str()), 1);
}

// ---- sharing ----

using Sharing = FileLayer;

TEST_F(Sharing, FileOpenedForReadingLetsOthersReadAndWrite) {
  make_file("f", "abc");
  std::string p = scratch.path("f");
  FileHandle reader = file_open(p.c_str(), ACCESS_READ);
  ASSERT_NE(reader, INVALID_FILE);
  FileHandle writer = file_open(p.c_str(), ACCESS_READ | ACCESS_WRITE);
  ASSERT_NE(writer, INVALID_FILE);
  EXPECT_EQ(file_write(writer, "X", 1), 1);
  char c = 0;
  EXPECT_EQ(file_read(reader, &c, 1), 1);
  EXPECT_EQ(c, 'X');
  file_close(writer);
  file_close(reader);
}

#ifdef _WIN32
// The share modes themselves have no POSIX meaning; on Windows they are part of
// the contract.
TEST_F(Sharing, CreatedFileIsNotShared) {
  FileHandle h = file_create(scratch.path("f").c_str(), ATTR_NORMAL);
  ASSERT_NE(h, INVALID_FILE);
  HANDLE other = CreateFileA(scratch.path("f").c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0,
                             nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  file_close(h);
}

TEST_F(Sharing, FileOpenElsewhereIsNotReplaced) {
  make_file("f", "kept");
  HANDLE other = CreateFileA(scratch.path("f").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  FileHandle h = file_create(scratch.path("new").c_str(), ATTR_NORMAL);
  ASSERT_NE(h, INVALID_FILE);
  EXPECT_EQ(file_rename(h, scratch.path("new").c_str(), scratch.path("f").c_str()), 0);
  // Windows names the open file's sharing; Wine answers access denied.
  EXPECT_TRUE(last_os_error == ERROR_SHARING_VIOLATION || last_os_error == ERROR_ACCESS_DENIED)
      << last_os_error;
  file_close(h);
  CloseHandle(other);
  EXPECT_EQ(read_all("f"), "kept");
}

TEST_F(Sharing, FileOpenedForWritingSharesOnlyReading) {
  make_file("f", "abc");
  std::string p = scratch.path("f");
  FileHandle h = file_open(p.c_str(), ACCESS_READ | ACCESS_WRITE);
  ASSERT_NE(h, INVALID_FILE);
  HANDLE reader = CreateFileA(p.c_str(), GENERIC_READ, 3, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  HANDLE writer = CreateFileA(p.c_str(), GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  file_close(h);
}
#endif

// ---- memory ----

TEST(Memory, ResizeKeepsTheContents) {
  uint8_t* block = (uint8_t*)mem_alloc(32);
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 32; i++) block[i] = (uint8_t)i;
  uint8_t* grown = (uint8_t*)mem_resize(block, 1 << 20);
  ASSERT_NE(grown, nullptr);
  for (int i = 0; i < 32; i++) ASSERT_EQ(grown[i], i);
  grown[(1 << 20) - 1] = 1;
  mem_free(grown);
}

}  // namespace
