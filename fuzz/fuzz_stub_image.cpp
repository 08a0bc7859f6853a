// Fuzz target: what the tool reads of a file that may be a stub or an
// installer: pack's checks of a stub (prepare_stub_image: the configuration
// block, an archive or bytes behind the program image) and the archive search
// of list, test and extract (locate_archive), on arbitrary bytes. Whatever
// they are, nothing is read outside them, and what holds is checked: a stub
// accepted has nothing behind its program image and its archive_offset set to
// its size, and the archive is then found right behind it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "encode/installer.h"
#include "encode/stub_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the input's bytes on the heap, so that AddressSanitizer sees a
  // read past them.
  std::vector<uint8_t> image(data, data + size);
  const uint64_t image_end = pe_image_end(image.data(), image.size());
  locate_archive(image.data(), image.size());

  std::string error;
  if (!qev::prepare_stub_image(image, error)) {
    if (error.empty()) abort();
    return 0;
  }
  if (image_end != 0 && image_end != image.size()) abort();
  std::vector<uint8_t> installer = image;
  installer.insert(installer.end(), {'Q', 'E', 'V', '\n'});
  if (locate_archive(installer.data(), installer.size()) != (int64_t)image.size() &&
      !(installer.size() >= 4 && memcmp(installer.data(), "QEV\n", 4) == 0))
    abort();
  return 0;
}
