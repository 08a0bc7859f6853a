// The installer's resources as the packer makes them: icon files read and
// refused, the version record laid out byte for byte as computed by hand, and
// the resource section that a packed stub gets (read back with the same
// directory reader that reads the stub's own).
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "archive/layout.h"
#include "encode/default_icon.h"
#include "encode/dialog_template.h"
#include "encode/icon_file.h"
#include "encode/resource_tree.h"
#include "encode/stub_product.h"
#include "encode/version_resource.h"
#include "shell/stub_config.h"
#include "test_data.h"

namespace {

// An icon file with a 40-byte bitmap image of 32 pixels and a PNG of 256.
std::vector<uint8_t> icon_file() {
  std::vector<uint8_t> bitmap(40 + 8, 0x11), png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3};
  store_le32(bitmap.data(), 40);
  std::vector<uint8_t> f(6 + 32, 0);
  store_le16(&f[2], 1);
  store_le16(&f[4], 2);
  const uint8_t first[16] = {32, 32, 16, 0, 1, 0, 4, 0};
  memcpy(&f[6], first, 8);
  store_le32(&f[6 + 8], (uint32_t)bitmap.size());
  store_le32(&f[6 + 12], 38);
  f[22 + 4] = 1;
  f[22 + 6] = 32;
  store_le32(&f[22 + 8], (uint32_t)png.size());
  store_le32(&f[22 + 12], (uint32_t)(38 + bitmap.size()));
  f.insert(f.end(), bitmap.begin(), bitmap.end());
  f.insert(f.end(), png.begin(), png.end());
  return f;
}

TEST(Resources, IconFilesAndTheirGroup) {
  std::vector<qev::IconImage> images;
  const std::vector<uint8_t> file = icon_file();
  ASSERT_EQ(qev::parse_icon_file(file, images), "");
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0].bytes, std::vector<uint8_t>(file.begin() + 38, file.begin() + 86));
  EXPECT_EQ(images[1].width, 0);  // 256
  EXPECT_EQ(images[1].bits, 32);
  const std::vector<uint8_t> group = qev::icon_group(images, 7);
  const std::vector<uint8_t> expect = {0, 0, 1, 0, 2, 0,                                   //
                                       32, 32, 16, 0, 1, 0, 4, 0, 48, 0, 0, 0, 7, 0,      //
                                       0, 0, 0, 0, 1, 0, 32, 0, 11, 0, 0, 0, 8, 0};
  EXPECT_EQ(group, expect);
  // Lumetra's own, built into the packer: one 32-pixel image in 16 colours.
  ASSERT_EQ(qev::parse_icon_file(std::vector<uint8_t>(qev::DEFAULT_ICON, qev::DEFAULT_ICON + qev::DEFAULT_ICON_SIZE), images), "");
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].width, 32);
  EXPECT_EQ(images[0].bits, 4);

  struct Bad {
    size_t at;
    uint8_t value;
    const char* why;
  };
  const Bad bad[] = {
      {2, 2, "not an icon file (no icon header)"},  // a cursor file
      {4, 0, "the icon file holds no images"},
      {4, 9, "the icon file is cut short"},
      {6 + 15, 1, "image 1 of the icon file lies outside the file"},       // offset past the end
      {22 + 8, 0, "image 2 of the icon file lies outside the file"},       // no bytes
      {86, 'J', "image 2 of the icon file is neither a bitmap nor a PNG"},  // not a PNG
      {38, 39, "image 1 of the icon file is neither a bitmap nor a PNG"},   // a header too short
  };
  for (const Bad& b : bad) {
    std::vector<uint8_t> f = file;
    f[b.at] = b.value;
    EXPECT_EQ(qev::parse_icon_file(f, images), b.why) << b.at;
  }
  EXPECT_EQ(qev::parse_icon_file(std::vector<uint8_t>(file.begin(), file.begin() + 5), images),
            "not an icon file (no icon header)");
}

TEST(Resources, VersionRecordLaidOutByHand) {
  const std::vector<uint8_t> r = qev::version_resource({{"ProductName", "A\xE9"}}, "1.2.3.4");
  // Offsets from the layout rules: each block's header (6 bytes) and key
  // (UTF-16 with its terminator), padded to 4 bytes, then its value and its
  // children, each child on a 4-byte boundary.
  ASSERT_EQ(r.size(), 260u);
  auto u16 = [&](size_t at) { return load_le16(&r[at]); };
  auto key = [&](size_t at, const char* text) {
    for (size_t i = 0; text[i]; i++)
      if (u16(at + 2 * i) != (uint8_t)text[i]) return false;
    return u16(at + 2 * strlen(text)) == 0;
  };
  EXPECT_EQ(u16(0), 260);  // VS_VERSION_INFO
  EXPECT_EQ(u16(2), 52);
  EXPECT_EQ(u16(4), 0);
  EXPECT_TRUE(key(6, "VS_VERSION_INFO"));
  EXPECT_EQ(load_le32(&r[40]), 0xFEEF04BDu);
  EXPECT_EQ(load_le32(&r[48]), 0x00010002u);  // file version 1.2
  EXPECT_EQ(load_le32(&r[52]), 0x00030004u);  // .3.4
  EXPECT_EQ(load_le32(&r[56]), 0x00010002u);  // product version
  EXPECT_EQ(load_le32(&r[72]), 0x00040004u);  // Windows NT, 32-bit Windows
  EXPECT_EQ(load_le32(&r[76]), 1u);           // an application
  EXPECT_EQ(u16(92), 98);                    // StringFileInfo
  EXPECT_EQ(u16(96), 1);
  EXPECT_TRUE(key(98, "StringFileInfo"));
  EXPECT_EQ(u16(128), 62);                   // the U.S. English Unicode table
  EXPECT_TRUE(key(134, "040904B0"));
  EXPECT_EQ(u16(152), 38);                   // ProductName: "A\xE9" and its terminator
  EXPECT_EQ(u16(154), 3);
  EXPECT_EQ(u16(156), 1);
  EXPECT_TRUE(key(158, "ProductName"));
  EXPECT_EQ(u16(184), 'A');
  EXPECT_EQ(u16(186), 0xE9);
  EXPECT_EQ(u16(188), 0);
  EXPECT_EQ(u16(192), 68);                   // VarFileInfo
  EXPECT_TRUE(key(198, "VarFileInfo"));
  EXPECT_EQ(u16(224), 36);                   // Translation
  EXPECT_EQ(u16(226), 4);
  EXPECT_TRUE(key(230, "Translation"));
  EXPECT_EQ(load_le32(&r[256]), 0x04B00409u);

  uint32_t high, low;
  qev::version_numbers("2.1", &high, &low);
  EXPECT_EQ(high, 0x00020001u);
  EXPECT_EQ(low, 0u);
  qev::version_numbers("10.0.19041.1-beta", &high, &low);
  EXPECT_EQ(high, 0x000A0000u);
  EXPECT_EQ(low, (19041u << 16) | 1);
  qev::version_numbers("v2", &high, &low);
  EXPECT_EQ(high | low, 0u);
  qev::version_numbers("70000.1", &high, &low);
  EXPECT_EQ(high | low, 0u);
}

// A classic template written out by hand: the header, no menu, the default
// class, an empty caption, then two controls, each on a 4-byte boundary.
TEST(Resources, DialogTemplateTextsPutIn) {
  auto words = [](std::initializer_list<uint16_t> list) {
    std::vector<uint8_t> b;
    for (uint16_t w : list) {
      b.push_back((uint8_t)w);
      b.push_back((uint8_t)(w >> 8));
    }
    return b;
  };
  auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> b;
    for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
  };
  // style 0x90C80084, no extended style, 2 controls at (57, 37) 244 x 81
  const std::vector<uint8_t> header = words({0x0084, 0x90C8, 0, 0, 2, 57, 37, 244, 81});
  // control 105: a STATIC (0xFFFF 0x0082) with the text "ab", no creation data
  const std::vector<uint8_t> first = words({0, 0x5000, 0, 0, 5, 5, 196, 16, 105, 0xFFFF, 0x82, 'a', 'b', 0, 0});
  // control 102: a STATIC with an empty text, then 2 bytes of creation data
  const std::vector<uint8_t> second = words({1, 0x5000, 0, 0, 5, 70, 234, 8, 102, 0xFFFF, 0x82, 0, 2, 0xBEEF});
  std::vector<uint8_t> dialog = join({header, words({0, 0, 0}), first, words({0}), second});
  ASSERT_EQ((header.size() + 6) % 4, 0u);  // the first control is aligned
  const std::u16string caption = u"Acme Installation", notice = u"Acme 1";
  ASSERT_EQ(qev::set_dialog_texts(dialog, caption, 102, &notice), "");

  std::vector<uint8_t> title = words({0, 0});  // no menu, the default class
  for (char16_t c : caption) title.push_back((uint8_t)c), title.push_back(0);
  title.push_back(0), title.push_back(0);
  std::vector<uint8_t> expect = join({header, title});
  while (expect.size() % 4) expect.push_back(0);
  expect = join({expect, first});
  while (expect.size() % 4) expect.push_back(0);
  expect = join({expect, words({1, 0x5000, 0, 0, 5, 70, 234, 8, 102, 0xFFFF, 0x82, 'A', 'c', 'm', 'e', ' ', '1', 0, 2, 0xBEEF})});
  EXPECT_EQ(dialog, expect);

  // The extended form and a template cut short are refused, left as they were.
  std::vector<uint8_t> extended = words({1, 0xFFFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(qev::set_dialog_texts(extended, caption, 102, nullptr), "the dialog template is of the extended form");
  std::vector<uint8_t> cut(dialog.begin(), dialog.end() - 3);
  const std::vector<uint8_t> before = cut;
  EXPECT_EQ(qev::set_dialog_texts(cut, caption, 102, nullptr), "the dialog template is cut short");
  EXPECT_EQ(cut, before);
}

TEST(Resources, APackedStubGetsASectionOfItsOwn) {
  const std::string ico = "/tmp/qev-resources-" + std::to_string(getpid()) + ".ico";
  const std::vector<uint8_t> file = icon_file();
  std::ofstream(ico, std::ios::binary).write((const char*)file.data(), (std::streamsize)file.size());
  std::vector<qev::PackEntry> entries(1);
  entries[0].name = "acme.exe";

  struct Run {
    bool product;
    size_t icons;
    bool version;
  };
  for (Run run : {Run{false, 1, false}, Run{true, 2, true}}) {
    std::vector<uint8_t> image = testdata::stub_image();
    const size_t stub_size = image.size();
    qev::ProductSettings settings;
    if (run.product) {
      settings.given = settings.named = true;
      settings.name = "Acme";
      settings.program = "acme.exe";
      settings.program_origin = "--program";
      settings.version = "3.2";
      settings.icon_path = ico;
    }
    bool usage = true;
    ASSERT_EQ(qev::apply_product(image, settings, entries, 1, &usage), "");
    qev::PeImage pe;
    ASSERT_EQ(pe.parse(image), "");
    ASSERT_EQ(pe.sections().size(), 3u);
    const qev::PeSection& rsrc = pe.sections()[2];
    EXPECT_EQ(rsrc.name, ".rsrc");
    EXPECT_GE(rsrc.raw_pointer, stub_size);
    EXPECT_EQ(image.size(), (size_t)rsrc.raw_pointer + rsrc.raw_size);
    // The archive begins right behind it.
    EXPECT_EQ(load_le32(&image[0x400 + offsetof(StubConfig, archive_offset)]), image.size());
    std::vector<qev::Resource> resources;
    ASSERT_EQ(qev::read_resources(pe, resources), "");
    size_t icons = 0, groups = 0, versions = 0;
    for (const qev::Resource& r : resources) {
      const size_t at = pe.offset_of(pe.image_base() + r.rva, r.size);
      ASSERT_NE(at, SIZE_MAX);
      const std::vector<uint8_t> bytes(image.begin() + at, image.begin() + at + r.size);
      EXPECT_EQ(r.language, 0u);
      if (r.type == qev::RESOURCE_ICON) icons++;
      if (r.type == qev::RESOURCE_GROUP_ICON) {
        groups++;
        EXPECT_EQ(r.id, 3u);
        EXPECT_EQ(load_le16(&bytes[4]), run.icons);
      }
      if (r.type == qev::RESOURCE_VERSION) {
        versions++;
        EXPECT_EQ(load_le32(&bytes[48]), 0x00030002u);
      }
      if (r.type == qev::RESOURCE_ICON && run.product && r.id == 2)
        EXPECT_EQ(bytes, std::vector<uint8_t>(file.begin() + 86, file.end()));
    }
    EXPECT_EQ(icons, run.icons);
    EXPECT_EQ(groups, 1u);
    EXPECT_EQ(versions, run.version ? 1u : 0u);
  }
  unlink(ico.c_str());

  // A file that is not an icon is refused, naming the option.
  std::vector<uint8_t> image = testdata::stub_image();
  qev::ProductSettings settings;
  settings.icon_path = "/nonexistent.ico";
  bool usage = false;
  EXPECT_EQ(qev::apply_product(image, settings, entries, 1, &usage).rfind("--icon: cannot read", 0), 0u);
}

}  // namespace
