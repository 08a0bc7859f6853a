// create_folder_path against the real file layer: folders made from the top
// down, the root left alone, links refused below the starting point, and the
// failed folder's own reason left behind.
#include <sys/stat.h>
#include <unistd.h>

#include "shell_fixture.h"

namespace {

using Folders = ShellFixture;

TEST_F(Folders, MakesEachMissingLevelFromTheTopDown) {
  ASSERT_EQ(mkdir(scratch.host("a").c_str(), 0777), 0);
  std::string path = scratch.win("a\\b\\c\\file.txt");
  char* from = &path[scratch.win().size() + 1];
  fault_reset();
  // Without FOLDER_LAST the last component names a file and is left alone.
  EXPECT_EQ(create_folder_path(&path[0], from, 0), 1);
  EXPECT_EQ(fault_calls(FAULT_FOLDER_CREATE), 2u);  // a\b, a\b\c
  EXPECT_TRUE(is_folder(scratch.host("a/b/c")));
  EXPECT_FALSE(path_exists(scratch.host("a/b/c/file.txt")));
  EXPECT_EQ(path, scratch.win("a\\b\\c\\file.txt"));  // restored

  fault_reset();
  EXPECT_EQ(create_folder_path(&path[0], from, FOLDER_LAST), 1);
  EXPECT_TRUE(is_folder(scratch.host("a/b/c/file.txt")));
  EXPECT_EQ(create_folder_path(&path[0], from, FOLDER_LAST), 1);
  EXPECT_EQ(fault_calls(FAULT_FOLDER_CREATE), 1u) << "existing levels are kept";

  // A file where the last folder would be counts as made; one on the way
  // makes the next level fail, with that level's reason.
  write_file(scratch.host("plain"), std::string("x"));
  std::string plain = scratch.win("plain");
  EXPECT_EQ(create_folder_path(&plain[0], nullptr, FOLDER_LAST), 1);
  std::string below = scratch.win("plain\\sub");
  EXPECT_EQ(create_folder_path(&below[0], nullptr, FOLDER_LAST), 0);
  EXPECT_EQ(last_os_error, OS_PATH_NOT_FOUND);
}

TEST_F(Folders, TheRootIsNeverMade) {
  enter_scratch();
  ASSERT_EQ(mkdir("E:", 0777), 0);  // drives are ordinary names on this host
  fault_reset();
  for (std::string path : {"E:\\", "E:", "\\", "", "\\\\server\\share", "\\\\server\\share\\"}) {
    EXPECT_EQ(create_folder_path(&path[0], nullptr, FOLDER_LAST | FOLDER_THROUGH_LINKS), 1) << path;
  }
  EXPECT_EQ(fault_calls(FAULT_FOLDER_CREATE), 0u);
  std::string deep = "E:\\\\x\\y";
  EXPECT_EQ(create_folder_path(&deep[0], nullptr, FOLDER_LAST), 1);
  EXPECT_TRUE(is_folder(scratch.host("E:/x/y")));
}

TEST_F(Folders, TheFirstFailureIsTheReason) {
  fault_reset();
  fault_arm(FAULT_FOLDER_CREATE, 2, OS_ACCESS_DENIED);
  std::string path = scratch.win("a\\b\\c");
  EXPECT_EQ(create_folder_path(&path[0], &path[scratch.win().size() + 1], FOLDER_LAST), 0);
  EXPECT_EQ(last_os_error, OS_ACCESS_DENIED);
  EXPECT_TRUE(is_folder(scratch.host("a")));
  EXPECT_FALSE(path_exists(scratch.host("a/b")));
  EXPECT_EQ(fault_calls(FAULT_FOLDER_CREATE), 2u) << "nothing is tried after the failure";
}

// A link below the starting point is never gone through, whether it leads
// to a folder or nowhere; the destination's own folders may be links.
TEST_F(Folders, LinksBelowTheStartingPointAreRefused) {
  Scratch outside;
  ASSERT_EQ(mkdir(scratch.host("dest").c_str(), 0777), 0);
  ASSERT_EQ(symlink(outside.host().c_str(), scratch.host("dest/linked").c_str()), 0);
  ASSERT_EQ(symlink(outside.host("nowhere").c_str(), scratch.host("dest/dangling").c_str()), 0);
  ASSERT_EQ(symlink(scratch.host("dest").c_str(), scratch.host("chosen").c_str()), 0);
  for (const char* name : {"linked\\sub\\file", "dangling\\file", "linked"}) {
    std::string path = scratch.win("dest\\") + name;
    last_os_error = 0;
    EXPECT_EQ(create_folder_path(&path[0], &path[scratch.win("dest\\").size()], FOLDER_LAST), 0) << name;
    EXPECT_EQ(last_os_error, OS_ACCESS_DENIED) << name;
  }
  EXPECT_EQ(list_tree(outside.host()), std::vector<std::string>{});

  std::string chosen = scratch.win("chosen\\new");
  EXPECT_EQ(create_folder_path(&chosen[0], nullptr, FOLDER_LAST | FOLDER_THROUGH_LINKS), 1);
  EXPECT_TRUE(is_folder(scratch.host("dest/new")));
  std::string inside = scratch.win("chosen\\new\\deeper");
  EXPECT_EQ(create_folder_path(&inside[0], &inside[scratch.win("chosen\\").size()], FOLDER_LAST), 1);
}

}  // namespace
