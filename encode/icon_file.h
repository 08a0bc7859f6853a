#pragma once
// An icon file (.ico) as the resources of a Windows program hold it: one
// RT_ICON resource per image, with its bytes as they stand in the file (a
// bitmap, or a PNG as 256-pixel images usually are), and one RT_GROUP_ICON
// that lists them by resource id.
//
// The file: a 6-byte header (0, type 1, image count), then 16 bytes per
// image (width, height, colour count, 0, planes, bits per pixel, byte count,
// file offset), the images behind. parse_icon_file refuses, with a reason, a
// header of another type, no images, an image whose bytes do not lie inside
// the file, and an image that is neither a PNG nor a bitmap (a 40-byte or
// larger BITMAPINFOHEADER); a file refused leaves no images.
#include <stdint.h>

#include <string>
#include <vector>

namespace qev {

struct IconImage {
  uint8_t width = 0, height = 0, colours = 0;  // 0 stands for 256 pixels
  uint16_t planes = 0, bits = 0;
  std::vector<uint8_t> bytes;
};

// "" or the reason.
std::string parse_icon_file(const std::vector<uint8_t>& file, std::vector<IconImage>& images);

// The RT_GROUP_ICON resource for `images` whose RT_ICON ids are first_id,
// first_id + 1, ...
std::vector<uint8_t> icon_group(const std::vector<IconImage>& images, uint16_t first_id);

}  // namespace qev
