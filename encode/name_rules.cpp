#include "encode/name_rules.h"

#include <string.h>

namespace qev {

std::string check_component(const std::string& c) {
  if (c.empty()) return "empty name";
  if (c.size() > 255) return "a name part longer than 255 characters";
  for (unsigned char ch : c) {
    if (ch < 0x20) return "a control character in the name";
    if (strchr("<>:\"/\\|?*", ch)) return std::string("the character '") + (char)ch + "', which Windows does not allow";
  }
  if (c.back() == '.' || c.back() == ' ') return "a name ending in a dot or a space";
  // Device names, with any extension: compare the part before the first dot.
  std::string base = c.substr(0, c.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& ch : base) if (ch >= 'a' && ch <= 'z') ch = (char)(ch - 'a' + 'A');
  static const char* devices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* d : devices)
    if (base == d) return "the reserved device name " + base;
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
      base[3] >= '1' && base[3] <= '9')
    return "the reserved device name " + base;
  return "";
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
