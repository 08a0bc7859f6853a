// create_folder_path against the real file layer: the climb, the descent, the
// error left behind, and the refusal of paths too long for its working copy.
#include <sys/stat.h>

#include "shell_fixture.h"

namespace {

using Folders = ShellFixture;

TEST_F(Folders, ClimbsToTheDeepestCreatableLevelThenDescends) {
  ASSERT_EQ(mkdir(scratch.host("a").c_str(), 0777), 0);
  fault_reset();
  EXPECT_EQ(create_folder_path(scratch.win("a\\b\\c").c_str()), 1);
  EXPECT_TRUE(is_folder(scratch.host("a/b/c")));
  // Tried a\b\c (no parent), made a\b, then a\b\c.
  EXPECT_EQ(fault_calls(FAULT_FOLDER_CREATE), 3u);
}

TEST_F(Folders, ExistingPathsCreateNothing) {
  ASSERT_EQ(mkdir(scratch.host("C:").c_str(), 0777), 0);
  enter_scratch();
  fault_reset();
  EXPECT_EQ(create_folder_path(scratch.win().c_str()), 1);
  EXPECT_EQ(create_folder_path((scratch.win() + "\\").c_str()), 1);
  EXPECT_EQ(create_folder_path("C:\\"), 1);  // a drive root
  EXPECT_EQ(create_folder_path(""), 1);
  EXPECT_EQ(create_folder_path("\\"), 1);
  EXPECT_EQ(fault_calls(FAULT_FOLDER_CREATE), 0u);

  // A path whose full name is an existing file counts as created.
  write_file(scratch.host("plain"), std::string("x"));
  EXPECT_EQ(create_folder_path("plain"), 1);
}

TEST_F(Folders, FirstLevelFolderOfAMissingDriveFailsAfterOneAttempt) {
  enter_scratch();
  fault_reset();
  EXPECT_EQ(create_folder_path("Q:\\x"), 0);
  EXPECT_EQ(fault_calls(FAULT_FOLDER_CREATE), 1u);
  EXPECT_EQ(last_os_error, 3u);
  // Relative single names are tried as they stand.
  EXPECT_EQ(create_folder_path("single"), 1);
  EXPECT_TRUE(is_folder(scratch.host("single")));
}

TEST_F(Folders, AFileInTheWayLeavesTheExistingFolderError) {
  ASSERT_EQ(mkdir(scratch.host("a").c_str(), 0777), 0);
  write_file(scratch.host("a/file"), std::string("x"));
  EXPECT_EQ(create_folder_path(scratch.win("a\\file\\sub").c_str()), 0);
  // The climb went on to the parents, which exist: the last error is 183.
  EXPECT_EQ(last_os_error, 183u);
}

TEST_F(Folders, FileExistsErrorEndsTheClimbAsSuccess) {
  fault_reset();
  fault_arm(FAULT_FOLDER_CREATE, 1, 80);
  EXPECT_EQ(create_folder_path(scratch.win("x\\y").c_str()), 1);
  EXPECT_FALSE(path_exists(scratch.host("x")));
}

TEST_F(Folders, AFailedDescentFails) {
  fault_reset();
  // Calls: a\b\c and a\b fail (no parent), a is made, then a\b fails here.
  fault_arm(FAULT_FOLDER_CREATE, 4, 5);
  EXPECT_EQ(create_folder_path(scratch.win("a\\b\\c").c_str()), 0);
  EXPECT_EQ(last_os_error, 5u);
  EXPECT_TRUE(is_folder(scratch.host("a")));
  EXPECT_FALSE(path_exists(scratch.host("a/b")));
}

TEST_F(Folders, PathsOf260CharactersOrMoreAreRefused) {
  std::string base = scratch.win();
  std::string ok = base + "\\" + std::string(259 - base.size() - 1, 'd');
  ASSERT_EQ(ok.size(), 259u);
  EXPECT_EQ(create_folder_path(ok.c_str()), 1);

  std::string too_long = base + "\\" + std::string(260 - base.size() - 1, 'e');
  fault_reset();
  EXPECT_EQ(create_folder_path(too_long.c_str()), 0);
  EXPECT_EQ(last_os_error, 161u);  // "Invalid path"
  EXPECT_EQ(fault_calls(FAULT_FOLDER_CREATE), 0u);
  EXPECT_EQ(fault_calls(FAULT_GET_ATTRIBUTES), 0u);
}

}  // namespace
