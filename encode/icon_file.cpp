#include "encode/icon_file.h"

#include <string.h>

#include "archive/layout.h"

namespace qev {

namespace {

constexpr size_t HEADER_SIZE = 6;
constexpr size_t ENTRY_SIZE = 16;
constexpr size_t GROUP_ENTRY_SIZE = 14;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::string parse_images(const std::vector<uint8_t>& file, std::vector<IconImage>& images) {
  if (file.size() < HEADER_SIZE || load_le16(&file[0]) != 0 || load_le16(&file[2]) != 1)
    return "not an icon file (no icon header)";
  const size_t count = load_le16(&file[4]);
  if (count == 0) return "the icon file holds no images";
  if (file.size() < HEADER_SIZE + ENTRY_SIZE * count) return "the icon file is cut short";
  for (size_t i = 0; i < count; i++) {
    const uint8_t* e = &file[HEADER_SIZE + ENTRY_SIZE * i];
    const uint64_t size = load_le32(e + 8), offset = load_le32(e + 12);
    const std::string which = "image " + std::to_string(i + 1) + " of the icon file";
    if (size == 0 || offset + size > file.size()) return which + " lies outside the file";
    const uint8_t* bytes = &file[offset];
    const bool png = size >= sizeof kPngSignature && memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0;
    const bool bitmap = size >= 40 && load_le32(bytes) >= 40 && load_le32(bytes) <= size;
    if (!png && !bitmap) return which + " is neither a bitmap nor a PNG";
    IconImage image;
    image.width = e[0];
    image.height = e[1];
    image.colours = e[2];
    image.planes = load_le16(e + 4);
    image.bits = load_le16(e + 6);
    image.bytes.assign(bytes, bytes + size);
    images.push_back(std::move(image));
  }
  return "";
}

}  // namespace

std::string parse_icon_file(const std::vector<uint8_t>& file, std::vector<IconImage>& images) {
  images.clear();
  std::string why = parse_images(file, images);
  if (!why.empty()) images.clear();  // none of a file that is refused
  return why;
}

std::vector<uint8_t> icon_group(const std::vector<IconImage>& images, uint16_t first_id) {
  std::vector<uint8_t> group(HEADER_SIZE + GROUP_ENTRY_SIZE * images.size(), 0);
  store_le16(&group[2], 1);
  store_le16(&group[4], (uint16_t)images.size());
  for (size_t i = 0; i < images.size(); i++) {
    uint8_t* e = &group[HEADER_SIZE + GROUP_ENTRY_SIZE * i];
    const IconImage& image = images[i];
    e[0] = image.width;
    e[1] = image.height;
    e[2] = image.colours;
    store_le16(e + 4, image.planes);
    store_le16(e + 6, image.bits);
    store_le32(e + 8, (uint32_t)image.bytes.size());
    store_le16(e + 12, (uint16_t)(first_id + i));
  }
  return group;
}

}  // namespace qev
