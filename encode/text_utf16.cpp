#include "encode/text_utf16.h"

#include <vector>

#include "platform/cp1252.h"

namespace qev {

std::u16string utf16_of(const std::string& windows_text) {
  std::vector<char> utf8(windows_text.size() * 3 + 1);
  cp1252_to_utf8(windows_text.c_str(), utf8.data(), utf8.size());
  std::u16string out;
  for (const unsigned char* p = (const unsigned char*)utf8.data(); *p;) {
    // Windows-1252 reaches only the Basic Multilingual Plane: sequences of
    // one to three bytes.
    if (*p < 0x80) {
      out += (char16_t)*p++;
    } else if (*p < 0xE0) {
      out += (char16_t)(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
    } else {
      out += (char16_t)(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      p += 3;
    }
  }
  return out;
}

}  // namespace qev
