#include "encode/stub_image.h"

#include <string.h>

#include "archive/layout.h"
#include "shell/stub_config.h"

int find_config_block(const uint8_t* image, size_t size, size_t* archive_offset_field) {
  uint8_t signature[CONFIG_SIGNATURE_SIZE];
  config_signature(signature);
  int found = 0;
  if (size < CONFIG_SIGNATURE_SIZE) return 0;
  for (size_t i = 0; i + CONFIG_SIGNATURE_SIZE <= size; i++) {
    if (image[i] != signature[0] || memcmp(image + i, signature, CONFIG_SIGNATURE_SIZE) != 0)
      continue;
    // The block must hold archive_offset in front of the signature.
    if ((ptrdiff_t)i + CONFIG_ARCHIVE_OFFSET_FROM_SIGNATURE < 0) continue;
    found++;
    if (archive_offset_field)
      *archive_offset_field = (size_t)((ptrdiff_t)i + CONFIG_ARCHIVE_OFFSET_FROM_SIGNATURE);
  }
  return found;
}

int64_t locate_archive(const uint8_t* head, size_t size) {
  if (size >= 4 && memcmp(head, ARCHIVE_MAGIC, 4) == 0) return 0;
  if (size < 2 || head[0] != 'M' || head[1] != 'Z') return -1;
  size_t field = 0;
  if (find_config_block(head, size, &field) != 1) return -1;
  return load_le32(head + field);
}

uint64_t pe_image_end(const uint8_t* image, size_t size) {
  if (size < 64 || image[0] != 'M' || image[1] != 'Z') return 0;
  const uint64_t pe = load_le32(image + 60);  // e_lfanew
  constexpr uint64_t COFF_HEADER_SIZE = 24;    // "PE\0\0" and the file header
  constexpr uint64_t SECTION_HEADER_SIZE = 40;
  if (pe + COFF_HEADER_SIZE > size || memcmp(image + pe, "PE\0\0", 4) != 0) return 0;
  const uint64_t sections = load_le16(image + pe + 6);
  const uint64_t table = pe + COFF_HEADER_SIZE + load_le16(image + pe + 20);  // after the optional header
  if (table + sections * SECTION_HEADER_SIZE > size) return 0;
  uint64_t end = table + sections * SECTION_HEADER_SIZE;
  for (uint64_t i = 0; i < sections; i++) {
    const uint8_t* section = image + table + i * SECTION_HEADER_SIZE;
    const uint64_t raw_size = load_le32(section + 16), raw_pointer = load_le32(section + 20);
    if (raw_size > 0 && raw_pointer + raw_size > end) end = raw_pointer + raw_size;
  }
  return end;
}
