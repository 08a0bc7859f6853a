#include "encode/version_resource.h"

#include "archive/layout.h"
#include "encode/text_utf16.h"

namespace qev {

namespace {

constexpr uint32_t FIXED_SIGNATURE = 0xFEEF04BD;
constexpr uint32_t FIXED_STRUCTURE_VERSION = 0x00010000;
constexpr uint32_t FILE_FLAGS_MASK = 0x3F;
constexpr uint32_t FILE_OS_NT_WINDOWS32 = 0x00040004;
constexpr uint32_t FILE_TYPE_APP = 1;
constexpr uint32_t TRANSLATION_US_UNICODE = 0x04B00409;  // language 0409, code page 1200

void pad4(std::vector<uint8_t>& b) {
  while (b.size() % 4) b.push_back(0);
}

void put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back((uint8_t)v);
  b.push_back((uint8_t)(v >> 8));
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, (uint16_t)v);
  put16(b, (uint16_t)(v >> 16));
}

// Windows-1252 text as UTF-16 code units with the terminator.
std::u16string utf16(const std::string& windows_text) { return utf16_of(windows_text) + u'\0'; }

// One block: header, key, padding, value (already laid out), padding,
// children. value_length counts bytes, or for text values UTF-16 units.
std::vector<uint8_t> block(const std::string& key, uint16_t type, const std::vector<uint8_t>& value,
                           uint16_t value_length, const std::vector<uint8_t>& children) {
  std::vector<uint8_t> b;
  put16(b, 0);  // the length, set below
  put16(b, value_length);
  put16(b, type);
  for (char16_t unit : utf16(key)) put16(b, unit);
  pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  if (!children.empty()) pad4(b);
  b.insert(b.end(), children.begin(), children.end());
  store_le16(&b[0], (uint16_t)b.size());
  return b;
}

// Children are padded to 4 bytes from the start of the first one, which
// itself begins on a 4-byte boundary of the resource.
void add_child(std::vector<uint8_t>& children, const std::vector<uint8_t>& child) {
  pad4(children);
  children.insert(children.end(), child.begin(), child.end());
}

}  // namespace

void version_numbers(const std::string& version, uint32_t* high, uint32_t* low) {
  uint32_t part[4] = {0, 0, 0, 0};
  size_t p = 0;
  for (int i = 0; i < 4; i++) {
    size_t start = p;
    uint32_t n = 0;
    while (p < version.size() && version[p] >= '0' && version[p] <= '9' && n <= 65535)
      n = n * 10 + (uint32_t)(version[p++] - '0');
    if (p == start || n > 65535) break;
    part[i] = n;
    if (p >= version.size() || version[p] != '.') break;
    p++;
  }
  *high = part[0] << 16 | part[1];
  *low = part[2] << 16 | part[3];
}

std::vector<uint8_t> version_resource(const std::vector<std::pair<std::string, std::string>>& texts,
                                      const std::string& version) {
  uint32_t high = 0, low = 0;
  version_numbers(version, &high, &low);
  std::vector<uint8_t> fixed;
  for (uint32_t v : {FIXED_SIGNATURE, FIXED_STRUCTURE_VERSION, high, low, high, low, FILE_FLAGS_MASK,
                     0u, FILE_OS_NT_WINDOWS32, FILE_TYPE_APP, 0u, 0u, 0u})
    put32(fixed, v);

  std::vector<uint8_t> strings;
  for (const auto& text : texts) {
    std::vector<uint8_t> value;
    const std::u16string units = utf16(text.second);
    for (char16_t unit : units) put16(value, unit);
    add_child(strings, block(text.first, 1, value, (uint16_t)units.size(), {}));
  }
  std::vector<uint8_t> table_list;
  add_child(table_list, block("040904B0", 1, {}, 0, strings));
  std::vector<uint8_t> translation;
  put32(translation, TRANSLATION_US_UNICODE);
  std::vector<uint8_t> var_list;
  add_child(var_list, block("Translation", 0, translation, 4, {}));

  std::vector<uint8_t> children;
  add_child(children, block("StringFileInfo", 1, {}, 0, table_list));
  add_child(children, block("VarFileInfo", 1, {}, 0, var_list));
  return block("VS_VERSION_INFO", 0, fixed, (uint16_t)fixed.size(), children);
}

}  // namespace qev
