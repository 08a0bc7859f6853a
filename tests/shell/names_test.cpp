// Destination names: the 8.3 tables, the byte-string primitives and the
// refusal of names that would leave the destination.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "shell/names.h"
#include "shell/safe_name.h"
#include "shell/stub_config.h"

namespace {

std::string shortened_component(const std::string& component) {
  char buffer[300];
  memcpy(buffer, component.data(), component.size());
  // In place, as the path conversion does it.
  char* end = shorten_component(buffer, buffer, buffer + component.size());
  return std::string(buffer, end);
}

std::string shortened_path(const std::string& path, uint8_t short_names = 1) {
  stub_config_reset();
  stub_config.short_names = short_names;
  char buffer[PATH_BUFFER_SIZE];
  strcpy(buffer, path.c_str());
  shorten_path(buffer);
  return buffer;
}

TEST(ShortenComponent, WorkedTable) {
  stub_config_reset();
  const char* table[][2] = {
      {"readme.txt", "readme.txt"},
      {"Program Files", "ProgramF"},
      {"archive.tar.gz", "archivet.gz"},
      {"setup.html", "setup.htm"},
      {"VeryLongFileName.jpeg", "VeryLong.jpe"},
      {"my file?.doc", "myfile.doc"},
      {"a.b.c", "ab.c"},
      {"name.", "name."},
      {".profile", ".pro"},
      {"..", "."},
      // Dropped characters do not count toward the eight; the extension keeps
      // what the name part drops except the dot.
      {"a b:c*d?e\"f<g>h|i/jk", "abcdefgh"},
      {"x.<a>b", "x.ab"},
      {"", ""},
  };
  for (auto& row : table) EXPECT_EQ(shortened_component(row[0]), row[1]) << row[0];
}

TEST(ShortenComponent, WritesElsewhereWithoutTerminator) {
  stub_config_reset();
  const char* in = "VeryLongFileName.jpeg";
  char out[16];
  memset(out, '#', sizeof(out));
  char* end = shorten_component(out, in, in + strlen(in));
  EXPECT_EQ(end - out, 12);
  EXPECT_EQ(std::string(out, 12), "VeryLong.jpe");
  EXPECT_EQ(out[12], '#');
}

TEST(ShortenPath, WorkedTable) {
  EXPECT_EQ(shortened_path("C:\\Program Files\\Lumetra\\docs\\Release Notes.html"),
            "C:\\ProgramF\\Lumetra\\docs\\ReleaseN.htm");
  EXPECT_EQ(shortened_path("C:rel dir\\a.b.c"), "C:reldir\\ab.c");
  EXPECT_EQ(shortened_path("\\\\file server\\public share\\long folder\\Some File.text"),
            "\\\\fileserv\\publicsh\\longfold\\SomeFile.tex");
  EXPECT_EQ(shortened_path("C:\\Lumetra\\dir\\"), "C:\\Lumetra\\dir\\");
  // Doubled separators survive as empty components.
  EXPECT_EQ(shortened_path("C:\\a b\\\\c d"), "C:\\ab\\\\cd");
  // A relative path without drive.
  EXPECT_EQ(shortened_path("long folder name\\x.y.z"), "longfold\\xy.z");
}

TEST(ShortenPath, ChangesNothingWithLongNames) {
  const char* path = "C:\\Program Files\\a:b*c?.long extension";
  EXPECT_EQ(shortened_path(path, 0), path);
}

TEST(ShortenPath, LeavesAnUnterminatedPathAlone) {
  stub_config_reset();
  stub_config.short_names = 1;
  char buffer[PATH_BUFFER_SIZE + 8];
  memset(buffer, 'x', sizeof(buffer));
  buffer[sizeof(buffer) - 1] = 0;  // terminated only after 267 bytes
  shorten_path(buffer);
  for (size_t i = 0; i + 1 < sizeof(buffer); i++) ASSERT_EQ(buffer[i], 'x');
}

TEST(Primitives, Find) {
  const char* s = "C:\\a\\b";
  EXPECT_EQ(str_find(s, '\\'), s + 2);
  EXPECT_EQ(str_find_last(s, '\\'), s + 4);
  EXPECT_EQ(str_find(s, 0), s + 6);
  EXPECT_EQ(str_find_last(s, 0), s + 6);
  EXPECT_EQ(str_find(s, 'z'), nullptr);
  EXPECT_EQ(str_find_last(s, 'z'), nullptr);
  EXPECT_EQ(str_find_last("", 'a'), nullptr);

  const uint8_t block[] = {1, 2, 0, 2, 0};
  EXPECT_EQ(mem_find(block, 2, 5), block + 1);
  EXPECT_EQ(mem_find(block, 0, 5), block + 2);
  EXPECT_EQ(mem_find(block, 0, 2), nullptr);
  EXPECT_EQ(mem_find(block, 1, 0), nullptr);
}

TEST(Primitives, CompareIsUnsigned) {
  const uint8_t a[] = {'Q', 'E', 0x7F};
  const uint8_t b[] = {'Q', 'E', 0x80};
  EXPECT_EQ(mem_compare(a, b, 3), -1);
  EXPECT_EQ(mem_compare(b, a, 3), 1);
  EXPECT_EQ(mem_compare(a, b, 2), 0);
  EXPECT_EQ(mem_compare(a, b, 0), 0);
}

TEST(Primitives, LengthAndBoundedCopy) {
  EXPECT_EQ(str_length(""), 0u);
  EXPECT_EQ(str_length("lumetra.exe"), 11u);
  char dst[8];
  memset(dst, '#', sizeof(dst));
  EXPECT_EQ(str_copy(dst, sizeof(dst), "1234567"), 1);
  EXPECT_STREQ(dst, "1234567");
  memset(dst, '#', sizeof(dst));
  EXPECT_EQ(str_copy(dst, sizeof(dst), "12345678"), 0);  // the terminator would not fit
  for (char c : dst) EXPECT_EQ(c, '#');
  EXPECT_EQ(str_copy(dst, 0, ""), 0);
}

int refusal(const std::string& name) {
  return name_refusal((const uint8_t*)name.data(), (uint32_t)name.size());
}

TEST(SafeName, RefusesNamesThatLeaveTheDestination) {
  for (const char* name :
       {"\\windows\\system32\\evil.dll", "/etc/passwd", "C:\\evil.exe", "C:evil.exe",
        "readme.txt:stream", "..\\evil.exe", "../evil.exe", "a\\..\\..\\evil.exe",
        "a/../../evil.exe", "a\\..", "..", "...", ".. ", ". .", "a\\... \\b", "\\\\server\\share", ""}) {
    EXPECT_EQ(refusal(name), NAME_LEAVES) << name;
  }
}

// Every form that Windows opens as a device, in any component.
TEST(SafeName, RefusesDevices) {
  for (const char* name :
       {"CON", "prn", "Aux", "nul", "NUL.txt", "nul.tar.gz", "NUL .txt", "nul ", "nul...", "nul. .",
        "COM0", "com9.log", "LPT1", "lpt9 .x", "sub\\COM1.log", "a/b/aux.c", "CONIN$", "conout$.txt",
        "COM\xB9", "lpt\xB2.txt", "COM\xB3", "docs\\Con\\readme.txt"}) {
    EXPECT_EQ(refusal(name), NAME_DEVICE) << name;
  }
  for (const char* name : {"CONX", "CO", "COM", "COM10", "LPT", "COMA", "COM\xB4", "NUL_", " NUL",
                           "xnul.txt", "CONIN", "CONOUT", "CONIN$$", "nul_\\x", "auxiliary.txt"}) {
    EXPECT_EQ(refusal(name), NAME_OK) << name;
  }
}

TEST(SafeName, RefusesControlCharacters) {
  for (const std::string& name : {std::string("a\0..\\x", 6), std::string("line\nbreak"),
                                  std::string("esc\x1B[2J"), std::string("dir\x01\\f")}) {
    EXPECT_EQ(refusal(name), NAME_CONTROL) << name;
  }
}

TEST(SafeName, KeepsEverythingElse) {
  for (const char* name : {"readme.txt", "docs\\readme.txt", "a/b.txt", ".profile", "a..b",
                           "..a", "a.\\b", ".\\x", "x\\.", "dir\\", "...a", "\xE9t\xE9.txt",
                           "\x7F\x80\x81"}) {
    EXPECT_EQ(refusal(name), NAME_OK) << name;
  }
}

}  // namespace
