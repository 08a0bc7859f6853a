#include "encode/name_rules.h"

#include <string.h>

#include "shell/safe_name.h"

namespace qev {

std::string check_component(const std::string& c) {
  if (c.empty()) return "empty name";
  if (c.size() > 255) return "a name part longer than 255 characters";
  for (unsigned char ch : c) {
    if (ch < 0x20) return "a control character in the name";
    if (strchr("<>:\"/\\|?*", ch)) return std::string("the character '") + (char)ch + "', which Windows does not allow";
  }
  if (c.back() == '.' || c.back() == ' ') return "a name ending in a dot or a space";
  // The installer refuses these names too (safe_name.h), with any extension.
  const uint8_t* bytes = (const uint8_t*)c.data();
  if (names_device(bytes, bytes + c.size())) return "the reserved device name " + c.substr(0, c.find('.'));
  return "";
}

std::string windows_key(const std::string& name) {
  std::string key;
  for (size_t i = 0; i <= name.size(); i++) {
    const unsigned char c = i < name.size() ? (unsigned char)name[i] : '\\';
    if (c == '\\' || c == '/') {
      while (!key.empty() && (key.back() == '.' || key.back() == ' ')) key.pop_back();
      if (i < name.size()) key += '\\';
      continue;
    }
    unsigned char upper = c;
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) upper = (unsigned char)(c - 0x20);
    if (c == 0x9A || c == 0x9C || c == 0x9E) upper = (unsigned char)(c - 0x10);  // š œ ž
    if (c == 0xFF) upper = 0x9F;                                                   // ÿ
    key += (char)upper;
  }
  return key;
}

std::string check_name(const std::string& name) {
  if (name.size() > MAX_NAME_LENGTH)
    return "the path is " + std::to_string(name.size()) + " characters long; at most " +
           std::to_string(MAX_NAME_LENGTH) + " fit under the installer's destination folder";
  size_t start = 0;
  for (;;) {
    size_t end = name.find('\\', start);
    std::string why = check_component(name.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!why.empty()) return why;
    if (end == std::string::npos) return "";
    start = end + 1;
  }
}

}  // namespace qev
