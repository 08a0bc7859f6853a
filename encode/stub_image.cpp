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
  return load_u32(head + field);
}
