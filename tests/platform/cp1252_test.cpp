// Windows-1252 <-> UTF-8: every byte survives the round trip (member names of
// any byte value can be extracted on the host and packed again), UTF-8 that the
// code page cannot hold or that is malformed is refused, and no conversion
// writes past its buffer.
#include <gtest/gtest.h>

#include <string>

#include "platform/cp1252.h"

namespace {

std::string to_utf8(const std::string& in) {
  char out[64];
  return cp1252_to_utf8(in.c_str(), out, sizeof(out)) ? out : "<failed>";
}
std::string to_cp1252(const std::string& in) {
  char out[64];
  return utf8_to_cp1252(in.c_str(), out, sizeof(out)) ? out : "<failed>";
}

TEST(Cp1252, EveryByteRoundTripsAndNoTwoShareAForm) {
  std::string seen[256];
  for (int b = 1; b < 256; b++) {
    std::string one(1, (char)b);
    seen[b] = to_utf8(one);
    ASSERT_NE(seen[b], "<failed>") << b;
    EXPECT_EQ(to_cp1252(seen[b]), one) << b;
    for (int a = 1; a < b; a++) ASSERT_NE(seen[a], seen[b]) << a << " " << b;
  }
}

TEST(Cp1252, KnownForms) {
  EXPECT_EQ(to_utf8("plain\\path.txt"), "plain\\path.txt");
  EXPECT_EQ(to_utf8("\x80"), "\xE2\x82\xAC");      // euro sign
  EXPECT_EQ(to_utf8("\x99"), "\xE2\x84\xA2");      // trade mark
  EXPECT_EQ(to_utf8("\x9F"), "\xC5\xB8");          // Y with diaeresis
  EXPECT_EQ(to_utf8("caf\xE9"), "caf\xC3\xA9");    // Latin-1 range
  EXPECT_EQ(to_utf8("\xFF"), "\xC3\xBF");
  for (const char* undefined : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"}) {
    unsigned b = (unsigned char)undefined[0];
    EXPECT_EQ(to_utf8(undefined), std::string("\xC2") + (char)b) << b;  // U+0081 ...
  }
}

TEST(Cp1252, RefusesWhatTheCodePageCannotHold) {
  EXPECT_EQ(to_cp1252("\xC2\x80"), "<failed>");      // U+0080: 0x80 is the euro sign
  EXPECT_EQ(to_cp1252("\xC4\x80"), "<failed>");      // U+0100
  EXPECT_EQ(to_cp1252("\xE4\xB8\xAD"), "<failed>");  // U+4E2D
  EXPECT_EQ(to_cp1252("\xF0\x9F\x98\x80"), "<failed>");  // U+1F600
}

TEST(Cp1252, RefusesMalformedUtf8) {
  const char* bad[] = {
      "\xC0\xAF",          // overlong '/'
      "\xE0\x80\xAF",      // overlong '/'
      "\xED\xA0\x80",      // surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF5\x80\x80\x80",  // lead byte never used
      "\x80",              // lone continuation
      "a\xE2\x82",         // cut at the end
      "\xC3(",             // continuation missing
  };
  for (const char* s : bad) EXPECT_EQ(to_cp1252(s), "<failed>") << s;
}

TEST(Cp1252, NeverWritesPastTheBuffer) {
  char out[8];
  // "\xE9\xE9\xE9" needs 6 bytes and the terminator.
  memset(out, 'Z', sizeof(out));
  EXPECT_TRUE(cp1252_to_utf8("\xE9\xE9\xE9", out, 7));
  EXPECT_EQ(out[7], 'Z');
  memset(out, 'Z', sizeof(out));
  EXPECT_FALSE(cp1252_to_utf8("\xE9\xE9\xE9", out, 6));
  EXPECT_EQ(out[0], 0);  // empty on failure
  EXPECT_EQ(out[6], 'Z');
  EXPECT_FALSE(cp1252_to_utf8("", out, 0));

  memset(out, 'Z', sizeof(out));
  EXPECT_TRUE(utf8_to_cp1252("abc", out, 4));
  EXPECT_STREQ(out, "abc");
  EXPECT_FALSE(utf8_to_cp1252("abcd", out, 4));
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[4], 'Z');
  EXPECT_FALSE(utf8_to_cp1252("", out, 0));
  EXPECT_TRUE(utf8_to_cp1252("", out, 1));
}

}  // namespace
