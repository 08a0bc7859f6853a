// Product settings: what is refused (and how the message names it), the
// product file, and the settings written into a stub image built by hand and
// read back as `qev list` reads them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "archive/layout.h"
#include "encode/product_settings.h"
#include "encode/stub_product.h"
#include "shell/stub_config.h"
#include "test_data.h"

namespace {

using qev::ProductOptions;

uint64_t load_u64(const uint8_t* p) { return load_le32(p) | ((uint64_t)load_le32(p + 4) << 32); }
using qev::ProductSettings;

std::string check(const ProductOptions& options, ProductSettings* out = nullptr) {
  ProductSettings settings;
  std::string why = qev::check_product_options(options, settings);
  if (out) *out = settings;
  return why;
}

std::vector<qev::PackEntry> entries() {
  std::vector<qev::PackEntry> list(3);
  list[0].name = "bin";
  list[0].folder = true;
  list[1].name = "bin\\Acme.exe";
  list[2].name = "readme.txt";
  return list;
}

TEST(ProductSettings, RefusedWithAMessageNamingTheOption) {
  struct Case {
    const char* option;
    std::string value;
    std::string expect;  // in the message
  };
  const Case cases[] = {
      {"--name", "", "--name: the text is empty"},
      {"--name", "Acme\\Tool", "--name: 'Acme\\Tool' cannot name a folder"},
      {"--name", "Acme|Tool", "--name: 'Acme|Tool' cannot name a folder"},
      {"--name", "Acme.", "--name: 'Acme.' cannot name a folder: a name ending in a dot"},
      {"--name", "con", "the reserved device name con"},
      {"--name", "\xE7\x94\xB0\xE4\xB8\xAD", "--name: '\xE7\x94\xB0\xE4\xB8\xAD' has characters that Windows-1252 does not have"},
      {"--name", "Acme\tTool", "--name: 'Acme\tTool' has a control character"},
      {"--name", std::string(65, 'n'), "is 65 characters long; at most 64 fit"},
      {"--version", std::string(33, '1'), "--version: '" + std::string(33, '1') + "' is 33 characters long"},
      {"--publisher", "Acme \xC2\x81", "--publisher: 'Acme \xC2\x81' has a control character"},
      {"--folder", "Program Files\\Acme", "is not an absolute folder"},
      {"--folder", "C:\\", "is not an absolute folder"},
      {"--folder", "C:\\Acme\\a<b", "--folder: 'C:\\Acme\\a<b': the character '<'"},
      {"--folder", "C:\\" + std::string(199, 'f'), "is 202 characters long; at most 200 fit"},
      {"--program", "..\\evil.exe", "--program: '..\\evil.exe'"},
      {"--program", "bin/a:b.exe", "the character ':'"},
  };
  for (const Case& c : cases) {
    ProductOptions options;
    const std::string option = c.option;
    (option == "--name"        ? options.name
     : option == "--version"   ? options.version
     : option == "--publisher" ? options.publisher
     : option == "--folder"    ? options.folder
                               : options.program) = c.value;
    std::string why = check(options);
    EXPECT_NE(why.find(c.expect), std::string::npos) << c.option << " " << c.value << ": " << why;
  }

  // The folder and the program together must leave the uninstall command
  // within 259 characters.
  ProductOptions options;
  options.folder = "C:\\" + std::string(197, 'f');
  options.program = std::string(49, 'p');
  EXPECT_NE(check(options).find("together pass 245 characters"), std::string::npos);
  options.program = std::string(45, 'p');
  EXPECT_EQ(check(options), "");

  // The program must be a file of the source folder; the archive's spelling
  // of its name is taken.
  ProductSettings settings;
  options = ProductOptions();
  options.program = "bin/acme.EXE";
  ASSERT_EQ(check(options, &settings), "");
  EXPECT_EQ(qev::check_product_program(settings, entries()), "");
  EXPECT_EQ(settings.program, "bin\\Acme.exe");
  options.program = "bin";
  ASSERT_EQ(check(options, &settings), "");
  EXPECT_EQ(qev::check_product_program(settings, entries()), "--program: 'bin' is a folder, not a file");
  options.program = "missing.exe";
  ASSERT_EQ(check(options, &settings), "");
  EXPECT_EQ(qev::check_product_program(settings, entries()),
            "--program: 'missing.exe' is not a file in the source folder");
  // Without --program, Lumetra's program is not looked for; with --name
  // alone there is none.
  options = ProductOptions();
  ASSERT_EQ(check(options, &settings), "");
  EXPECT_FALSE(settings.given);
  EXPECT_EQ(qev::check_product_program(settings, entries()), "");
  options.name = "Caf\xC3\xA9 Tool";
  ASSERT_EQ(check(options, &settings), "");
  EXPECT_TRUE(settings.given);
  EXPECT_EQ(settings.name, "Caf\xE9 Tool");  // Windows-1252
  EXPECT_EQ(settings.program, "");
}

TEST(ProductSettings, ProductFileWithTheCommandLineWinning) {
  const std::string dir = "/tmp/qev-product-" + std::to_string(getpid());
  ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
  auto file = [&](const std::string& text) {
    std::ofstream(dir + "/product.txt") << text;
    ProductOptions options;
    options.product_file = dir + "/product.txt";
    return options;
  };
  ProductOptions options = file(
      "# Acme's installer\n"
      "name = Acme Tool\n"
      "\n"
      "  version=2.1.0  \n"
      "publisher = Acme = Ltd\n"
      "icon = art/acme.ico\n"
      "silent-switches = yes\n");
  options.version = "3.0";
  ProductSettings s;
  ASSERT_EQ(check(options, &s), "");
  EXPECT_EQ(s.name, "Acme Tool");
  EXPECT_EQ(s.version, "3.0");
  EXPECT_EQ(s.publisher, "Acme = Ltd");
  EXPECT_EQ(s.icon_path, dir + "/art/acme.ico");
  EXPECT_TRUE(s.silent_switches);

  const std::string path = dir + "/product.txt";
  EXPECT_EQ(check(file("name = A\nname = B\n")), path + ":2: name is given twice");
  EXPECT_EQ(check(file("colour = blue\n")), path + ":1: unknown key 'colour'");
  EXPECT_EQ(check(file("\nname Acme\n")), path + ":2: not a `key = value` line");
  EXPECT_EQ(check(file("silent-switches = sometimes\n")), path + ":1: silent-switches takes yes or no");
  EXPECT_EQ(check(file("name = A|B\n")).rfind(path + ":1: name: 'A|B' cannot name a folder", 0), 0u);
  options = ProductOptions();
  options.product_file = dir + "/missing.txt";
  EXPECT_EQ(check(options).rfind("--product: cannot read '" + dir + "/missing.txt'", 0), 0u);
  ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
}

TEST(ProductSettings, WrittenIntoAStubAndReadBack) {
  const std::vector<uint8_t> original = testdata::stub_image();
  qev::StubBlock stub;
  ASSERT_TRUE(qev::find_stub_block(original, stub));
  ASSERT_TRUE(stub.product_layout);
  EXPECT_EQ(stub.at, 0x400u);

  // Lumetra's installer as it is: only the total size changes.
  ProductSettings plain;
  ASSERT_EQ(qev::write_product(stub, plain, 123456789), "");
  std::vector<uint8_t> expect = original;
  store_le32(&expect[0x400 + offsetof(StubConfig, total_size)], 123456789);
  EXPECT_EQ(stub.image.bytes(), expect);
  qev::InstallerProduct read;
  ASSERT_TRUE(qev::read_product(stub.image.bytes(), read));
  EXPECT_EQ(read.title, "Lumetra Installation");
  EXPECT_EQ(read.preset_folder, "C:\\Lumetra");
  EXPECT_EQ(read.program, "lumetra.exe");
  ASSERT_EQ(read.values.size(), 2u);
  EXPECT_EQ(read.values[1], std::make_pair(std::string("UninstallString"), std::string("p /uninstall")));

  // A product: its texts go into the block's room, past the file data the
  // stub had, which grow to hold them.
  ASSERT_TRUE(qev::find_stub_block(original, stub));
  ProductSettings acme;
  acme.given = acme.named = true;
  acme.name = "Acme 100% Tool";
  acme.program = "bin\\acme.exe";
  acme.version = "2.1.0";
  acme.publisher = std::string(400, 'P');  // past what the checks allow, so the texts pass the file's end
  acme.silent_switches = true;
  ASSERT_EQ(qev::write_product(stub, acme, 5000), "");
  const std::vector<uint8_t>& image = stub.image.bytes();
  EXPECT_GT(image.size(), original.size());
  EXPECT_EQ(image.size() % 512, 0u);
  ASSERT_TRUE(qev::read_product(image, read));
  EXPECT_EQ(read.title, "Acme 100% Tool Installation");
  EXPECT_EQ(read.preset_folder, "C:\\Acme 100% Tool");
  EXPECT_EQ(read.alternative_folder, "C:\\Program Files\\Acme 100% Tool");
  EXPECT_EQ(read.uninstall_key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme 100% Tool");
  EXPECT_EQ(read.program, "bin\\acme.exe");
  EXPECT_EQ(read.done_format, "");
  const std::vector<std::pair<std::string, std::string>> values = {
      {"DisplayName", "sAcme 100% Tool"}, {"UninstallString", "p /uninstall"},
      {"DisplayVersion", "s2.1.0"},       {"Publisher", "s" + std::string(400, 'P')},
      {"DisplayIcon", "p"},               {"InstallLocation", "f"},
      {"EstimatedSize", "d5"},            {"NoModify", "d1"},
      {"NoRepair", "d1"}};
  EXPECT_EQ(read.values, values);
  EXPECT_EQ(read.total_size, 5000u);
  EXPECT_TRUE(read.silent_switches);
  // The longest folder: the uninstall command adds quotes, a separator, the
  // program (12) and " /uninstall".
  EXPECT_EQ(load_le16(&image[0x400 + offsetof(StubConfig, destination_max)]), 259 - (2 + 1 + 12 + 11));
  // The first text begins the room; the rest follow back to back.
  EXPECT_EQ(load_le32(&image[0x400 + offsetof(StubConfig, title)]),
            (uint32_t)(testdata::STUB_BLOCK_ADDRESS + offsetof(StubConfig, product_texts)));

  // Without a program, a folder of its own and a % in the name: the preset
  // and the alternative are one text, the closing box's format keeps the %,
  // and no uninstall command limits the folder.
  ASSERT_TRUE(qev::find_stub_block(original, stub));
  acme.program = "";
  acme.folder = "D:\\Tools\\Acme";
  ASSERT_EQ(qev::write_product(stub, acme, 5000), "");
  ASSERT_TRUE(qev::read_product(stub.image.bytes(), read));
  EXPECT_EQ(read.preset_folder, "D:\\Tools\\Acme");
  EXPECT_EQ(read.alternative_folder, "D:\\Tools\\Acme");
  EXPECT_EQ(load_u64(&stub.image.bytes()[0x400 + offsetof(StubConfig, preset_destination)]),
            load_u64(&stub.image.bytes()[0x400 + offsetof(StubConfig, alternative_destination)]));
  EXPECT_EQ(read.done_format, "Acme 100%% Tool has been installed in %s.");
  EXPECT_EQ(load_le16(&stub.image.bytes()[0x400 + offsetof(StubConfig, destination_max)]), 258);
}

TEST(ProductSettings, AStubOfTheEarlierLayoutTakesNone) {
  // The texts inline: where the title pointer lies, text bytes.
  std::vector<uint8_t> old = testdata::stub_image();
  memcpy(&old[0x400 + offsetof(StubConfig, title)], "Lumetra ", 8);
  qev::StubBlock stub;
  ASSERT_TRUE(qev::find_stub_block(old, stub));
  EXPECT_FALSE(stub.product_layout);
  ProductSettings settings;
  EXPECT_EQ(qev::write_product(stub, settings, 1), "");
  settings.given = true;
  EXPECT_EQ(qev::write_product(stub, settings, 1),
            "the stub is of an earlier kind that takes no product settings");
  qev::InstallerProduct read;
  EXPECT_FALSE(qev::read_product(old, read));
  // Nor do texts that point outside the block's room.
  std::vector<uint8_t> bad = testdata::stub_image();
  store_le32(&bad[0x400 + offsetof(StubConfig, done_format)], (uint32_t)testdata::STUB_IMAGE_BASE + 0x1000);
  EXPECT_FALSE(qev::read_product(bad, read));
}

}  // namespace
