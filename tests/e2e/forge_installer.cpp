// forge_installer: an installer that the packer would never make, for the
// end-to-end tests of hostile archives. Host only.
//
//   forge_installer STUB.exe OUT.exe ENTRY...
//
// ENTRY is NAME=FILE (a file member with FILE's bytes; NAME=FILE=21 gives it
// the attribute byte 0x21 instead of 0x20) or NAME/ (a folder);
// NAME is taken byte for byte (Windows-1252, backslash separators), so it may
// be anything the archive can hold: a device name, a name that climbs out, a
// name too long for any destination. The archive is built from stored blocks
// (tests/support/test_archive.h) and appended to the stub as the packer
// appends it, after the packer's step for a stub (encode/stub_product.h:
// Lumetra's settings, the dialogs' title, the icon, the archive offset).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/layout.h"
#include "encode/stub_image.h"
#include "encode/stub_product.h"
#include "test_archive.h"

namespace {

bool read_all(const char* path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fputs("usage: forge_installer STUB.exe OUT.exe NAME=FILE|NAME/ ...\n", stderr);
    return 2;
  }
  std::string stub;
  if (!read_all(argv[1], &stub) ||
      find_config_block((const uint8_t*)stub.data(), stub.size(), nullptr) != 1) {
    fprintf(stderr, "forge_installer: %s is not a stub\n", argv[1]);
    return 1;
  }
  TestArchive archive;
  int stream = archive.add_stream();
  uint64_t total = 0;
  for (int i = 3; i < argc; i++) {
    std::string entry = argv[i];
    size_t equals = entry.find('=');
    if (equals == std::string::npos && !entry.empty() && entry.back() == '/') {
      archive.add_folder(entry.substr(0, entry.size() - 1));
      continue;
    }
    std::string data, file = equals == std::string::npos ? "" : entry.substr(equals + 1);
    size_t second = file.find('=');
    uint8_t attributes = second == std::string::npos ? 0x20 : (uint8_t)strtoul(file.c_str() + second + 1, nullptr, 16);
    if (equals == std::string::npos || !read_all(file.substr(0, second).c_str(), &data)) {
      fprintf(stderr, "forge_installer: %s: NAME=FILE[=ATTRIBUTES] or NAME/\n", argv[i]);
      return 2;
    }
    archive.add_file(stream, entry.substr(0, equals), data, attributes);
    total += data.size();
  }
  std::vector<uint8_t> image(stub.begin(), stub.end());
  qev::ProductSettings lumetra;
  bool usage = false;
  std::string why = qev::apply_product(image, lumetra, {}, total, &usage);
  if (!why.empty()) {
    fprintf(stderr, "forge_installer: %s: %s\n", argv[1], why.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes = archive.build();
  image.insert(image.end(), bytes.begin(), bytes.end());
  std::ofstream out(argv[2], std::ios::binary);
  out.write((const char*)image.data(), (std::streamsize)image.size());
  return out ? 0 : 1;
}
