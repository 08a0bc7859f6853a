#pragma once
// The product settings inside a stub's configuration block (StubConfig,
// shell/stub_config.h): written by the packer, read back by `qev list`.
//
// Only a stub of the current layout holds them: its first product-text
// pointer (title) points at the block's own product_texts. Stubs of the
// earlier layout, whose texts were all inline, still pack as before (only
// archive_offset is set); they take no product settings.
//
// Writing: the product's texts go back to back into product_texts, the
// pointers are set to them, and the section that holds the block (the last
// one, whose tail is the unused room) lets its file data reach as far as
// the texts now do. The texts the installer shows and registers:
//   title                 "NAME Installation"
//   preset folder         --folder, else C:\NAME
//   alternative           --folder, else C:\Program Files\NAME
//   uninstall key         SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NAME
//   program               --program, else none (with --name) or lumetra.exe
//   closing box           without a program: "NAME has been installed in %s."
//   uninstall values      DisplayName, and with a program UninstallString;
//                         with any product setting also DisplayVersion and
//                         Publisher (when given), DisplayIcon, InstallLocation,
//                         EstimatedSize (KiB of all files), NoModify, NoRepair
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "encode/pe_image.h"
#include "encode/product_settings.h"

namespace qev {

// The configuration block of a stub image: its file offset, and whether the
// image is a PE of the current layout (then `image` is parsed).
struct StubBlock {
  size_t at = 0;          // file offset of the block's first byte
  bool product_layout = false;
  PeImage image;
};
// Finds the block (exactly once) and its layout. False when it is missing
// or occurs more than once.
bool find_stub_block(const std::vector<uint8_t>& stub, StubBlock& out);

// Sets total_size and the silent switches and, when settings.given, the
// product texts, in a stub of the current layout (stub.image, whose bytes
// change). "" or the message.
std::string write_product(StubBlock& stub, const ProductSettings& settings, uint64_t total_bytes);

// The pack command's one step for a stub (prepared, encode/installer.h): the
// program checked against the packed entries, then write_product, then the
// installer's resources in a section of their own behind the stub's image
// (the stub's dialogs and manifest, where they are; the icon: --icon's
// images, or Lumetra's where the stub has none; for a product, a version
// record with ProductName, FileDescription "NAME Setup", CompanyName,
// ProductVersion and FileVersion), and archive_offset set again to the
// image's size. Returns "" or the message; *usage is set when the message is
// about a setting (the command line's fault) rather than the stub.
std::string apply_product(std::vector<uint8_t>& image, ProductSettings& settings,
                          const std::vector<PackEntry>& entries, uint64_t total_bytes, bool* usage);

// What an installer carries, as `qev list` shows it. False when the head is
// not an installer of the current layout or its texts cannot be read.
struct InstallerProduct {
  std::string title, preset_folder, alternative_folder, uninstall_key, program, done_format;
  std::vector<std::pair<std::string, std::string>> values;  // name, data as stored
  uint64_t total_size = 0;
  bool silent_switches = false;
};
bool read_product(const std::vector<uint8_t>& head, InstallerProduct& out);
// The settings as lines for `qev list` (UTF-8, Windows paths as they are).
std::string describe_product(const InstallerProduct& product);

}  // namespace qev
