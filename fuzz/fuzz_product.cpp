// Fuzz target: what the tool reads of a publisher's product and of an
// installer's product settings, on arbitrary bytes taken as each of them:
//   - an installer's head, as `qev list` reads its settings (read_product),
//   - a program image's resources (read_resources), which are then written
//     anew and must read back the same,
//   - an icon file (parse_icon_file), whose images must lie in the file,
//   - a dialog template (set_dialog_texts), left as it was when refused,
//   - a product file (check_product_options with --product).
// Nothing is read outside the input, and a failure always says why.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "encode/dialog_template.h"
#include "encode/icon_file.h"
#include "encode/pe_image.h"
#include "encode/product_settings.h"
#include "encode/resource_tree.h"
#include "encode/stub_product.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);

  qev::InstallerProduct product;
  if (qev::read_product(bytes, product)) qev::describe_product(product);

  qev::PeImage image;
  if (image.parse(bytes).empty()) {
    std::vector<qev::Resource> resources;
    if (qev::read_resources(image, resources).empty() && !resources.empty()) {
      // Written for a new section and read back: the same list.
      uint32_t directory_size = 0;
      const uint32_t rva = image.next_section_rva();
      std::vector<uint8_t> section = qev::write_resources(resources, rva, &directory_size);
      if (directory_size > section.size()) abort();
      if (image.add_section(".rsrc", section, 0x40000040) == rva) {
        image.set_directory(2, rva, directory_size);
        std::vector<qev::Resource> again;
        if (!qev::read_resources(image, again).empty() || again.size() != resources.size()) abort();
      }
    }
  }

  std::vector<qev::IconImage> icons;
  const std::string why = qev::parse_icon_file(bytes, icons);
  if (why.empty() == icons.empty()) abort();
  for (const qev::IconImage& icon : icons) {
    if (icon.bytes.empty() || icon.bytes.size() > size) abort();
  }
  if (!icons.empty()) qev::icon_group(icons, 1);

  std::vector<uint8_t> dialog = bytes;
  const std::u16string text = u"Acme 2.1";
  if (!qev::set_dialog_texts(dialog, u"Acme Installation", 102, &text).empty() && dialog != bytes) abort();

  static const std::string path = "/tmp/qev-fuzz-product-" + std::to_string(getpid()) + ".txt";
  if (FILE* f = fopen(path.c_str(), "wb")) {
    fwrite(data, 1, size, f);
    fclose(f);
    qev::ProductOptions options;
    options.product_file = path;
    qev::ProductSettings settings;
    qev::check_product_options(options, settings);
  }
  return 0;
}
