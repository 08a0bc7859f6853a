#include "encode/version_resource.h"

#include "archive/layout.h"
#include "platform/cp1252.h"

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
std::vector<uint16_t> utf16(const std::string& windows_text) {
  std::vector<char> utf8(windows_text.size() * 3 + 1);
  cp1252_to_utf8(windows_text.c_str(), utf8.data(), utf8.size());
  std::vector<uint16_t> out;
  for (const unsigned char* p = (const unsigned char*)utf8.data(); *p;) {
    // Windows-1252 reaches only the Basic Multilingual Plane.
    if (*p < 0x80) {
      out.push_back(*p++);
    } else if (*p < 0xE0) {
      out.push_back((uint16_t)(((p[0] & 0x1F) << 6) | (p[1] & 0x3F)));
      p += 2;
    } else {
      out.push_back((uint16_t)(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)));
      p += 3;
    }
  }
  out.push_back(0);
  return out;
}

// One block: header, key, padding, value (already laid out), padding,
// children. value_length counts bytes, or for text values UTF-16 units.
std::vector<uint8_t> block(const std::string& key, uint16_t type, const std::vector<uint8_t>& value,
                           uint16_t value_length, const std::vector<uint8_t>& children) {
  std::vector<uint8_t> b;
  put16(b, 0);  // the length, set below
  put16(b, value_length);
  put16(b, type);
  for (uint16_t unit : utf16(key)) put16(b, unit);
  pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  if (!children.empty()) pad4(b);
  b.insert(b.end(), children.begin(), children.end());
  store_u16(&b[0], (uint16_t)b.size());
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
    std::vector<uint16_t> units = utf16(text.second);
    for (uint16_t unit : units) put16(value, unit);
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
