#include "encode/stub_product.h"

#include <stdio.h>
#include <string.h>

#include "archive/layout.h"
#include "encode/default_icon.h"
#include "encode/dialog_template.h"
#include "encode/icon_file.h"
#include "encode/resource_tree.h"
#include "encode/stub_image.h"
#include "encode/text_utf16.h"
#include "encode/version_resource.h"
#include "encode/whole_file.h"
#include "platform/cp1252.h"
#include "shell/stub_config.h"

namespace qev {

namespace {

// The pointer fields of the product texts, in the order of their texts in
// product_texts.
const size_t kTextFields[] = {
    offsetof(StubConfig, title),          offsetof(StubConfig, alternative_destination),
    offsetof(StubConfig, preset_destination), offsetof(StubConfig, uninstall_key),
    offsetof(StubConfig, program_name),   offsetof(StubConfig, done_format),
    offsetof(StubConfig, registry_values),
};
constexpr size_t TEXT_COUNT = sizeof(kTextFields) / sizeof(kTextFields[0]);

uint64_t load_u64(const uint8_t* p) { return load_le32(p) | ((uint64_t)load_le32(p + 4) << 32); }

void store_u64(uint8_t* p, uint64_t v) {
  store_le32(p, (uint32_t)v);
  store_le32(p + 4, (uint32_t)(v >> 32));
}

// Texts as the installer stores them, from Windows-1252: UTF-8, the stub's
// ANSI code page (platform.h). Each NUL-separated text is converted alone.
std::string stored(const std::string& windows_texts) {
  std::string out;
  for (size_t start = 0; start <= windows_texts.size();) {
    size_t end = windows_texts.find('\0', start);
    if (end == std::string::npos) end = windows_texts.size();
    const std::string text = windows_texts.substr(start, end - start);
    std::vector<char> utf8(text.size() * 3 + 1);
    out += cp1252_to_utf8(text.c_str(), utf8.data(), utf8.size()) ? utf8.data() : text;
    if (end < windows_texts.size()) out += '\0';
    start = end + 1;
  }
  return out;
}

// A stored text for the terminal, which takes UTF-8 too; control characters
// (which an installer not made by the packer may hold) as \xNN, so that no
// text can forge a line of the listing or move the cursor.
std::string shown(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c != 0x7F) {
      out += (char)c;
      continue;
    }
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
  }
  return out;
}

std::string escape_percent(const std::string& s) {
  std::string out;
  for (char c : s) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

struct Texts {
  std::string title, alternative, preset, key, program, done_format, values;
};

Texts compose(const ProductSettings& s, uint64_t total_bytes) {
  Texts t;
  t.title = s.name + " Installation";
  t.preset = s.folder.empty() ? "C:\\" + s.name : s.folder;
  t.alternative = s.folder.empty() ? "C:\\Program Files\\" + s.name : s.folder;
  t.key = std::string(QEV_UNINSTALL_KEY_BASE) + s.name;
  t.program = s.program;
  if (s.program.empty()) t.done_format = escape_percent(s.name) + " has been installed in %s.";
  auto value = [&](const char* name, char kind, const std::string& data) {
    t.values += std::string(name) + '\0' + kind + data + '\0';
  };
  value(QEV_DISPLAY_NAME_VALUE, VALUE_TEXT, s.name);
  value(QEV_UNINSTALL_STRING_VALUE, VALUE_PROGRAM, QEV_UNINSTALL_SWITCH);
  if (!s.version.empty()) value("DisplayVersion", VALUE_TEXT, s.version);
  if (!s.publisher.empty()) value("Publisher", VALUE_TEXT, s.publisher);
  value("DisplayIcon", VALUE_PROGRAM, "");
  value("InstallLocation", VALUE_FOLDER, "");
  const uint64_t kib = (total_bytes + 1023) / 1024;
  value("EstimatedSize", VALUE_NUMBER, std::to_string(kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : kib));
  value("NoModify", VALUE_NUMBER, "1");
  value("NoRepair", VALUE_NUMBER, "1");
  return t;
}

// The main dialog and its status line (resources/dialog_ids.h).
constexpr uint32_t MAIN_DIALOG_ID = 1;
constexpr uint16_t DIALOG_STATUS_LINE = 102;
// The icon group id and the first icon id of the installer's icon.
constexpr uint16_t ICON_GROUP_ID = 3;
constexpr uint16_t FIRST_ICON_ID = 1;
constexpr uint32_t RESOURCE_SECTION = 0x40000040;  // initialised data, readable

// The installer's resources: the stub's, with the product's icon (the
// publisher's, or Lumetra's where the stub carries none), the title in both
// dialogs' captions and, for a publisher's product, its notice in the main
// dialog's status line and a version record. They go into a section of their
// own behind the stub's; the stub's own directory stays, unused.
std::string write_resources_section(std::vector<uint8_t>& bytes, const ProductSettings& settings) {
  PeImage image;
  if (!image.parse(bytes).empty()) return "";  // not a program image: nothing to add
  std::vector<Resource> resources;
  std::string why = read_resources(image, resources);
  if (!why.empty()) return why;
  bool changed = false;
  bool has_icon = false;
  // The dialogs: the title, and a publisher's notice "NAME VERSION, PUBLISHER"
  // (Lumetra's stays as the template has it).
  const std::u16string title = utf16_of(settings.name + " Installation");
  std::string notice = settings.name;
  if (!settings.version.empty()) notice += " " + settings.version;
  if (!settings.publisher.empty()) notice += ", " + settings.publisher;
  const std::u16string notice_text = utf16_of(notice);
  for (Resource& r : resources) {
    if (r.type != RESOURCE_DIALOG || !r.data.empty()) continue;
    const size_t at = image.offset_of(image.image_base() + r.rva, r.size);
    std::vector<uint8_t> dialog(bytes.begin() + at, bytes.begin() + at + r.size);
    why = set_dialog_texts(dialog, title, DIALOG_STATUS_LINE,
                           r.id == MAIN_DIALOG_ID && settings.named ? &notice_text : nullptr);
    if (!why.empty()) return "dialog " + std::to_string(r.id) + ": " + why;
    r.data = dialog;
    r.size = (uint32_t)dialog.size();
    changed = true;
  }
  for (const Resource& r : resources) has_icon = has_icon || r.type == RESOURCE_GROUP_ICON;
  std::vector<IconImage> icons;
  if (!settings.icon_path.empty()) {
    std::vector<uint8_t> file;
    // Icon files are small; 64 MiB is far beyond any.
    const ReadResult read = read_whole_file(settings.icon_path, 64u << 20, file, why);
    if (read == ReadResult::TOO_LARGE) why = "'" + settings.icon_path + "' is too large for an icon file";
    if (read != ReadResult::OK) return "--icon: " + why;
    if (!(why = parse_icon_file(file, icons)).empty()) return "--icon: '" + settings.icon_path + "': " + why;
  } else if (!has_icon) {
    why = parse_icon_file(std::vector<uint8_t>(DEFAULT_ICON, DEFAULT_ICON + DEFAULT_ICON_SIZE), icons);
    if (!why.empty()) return "the built-in icon: " + why;
  }
  if (!icons.empty()) {
    drop_resources(resources, RESOURCE_ICON);
    drop_resources(resources, RESOURCE_GROUP_ICON);
    for (size_t i = 0; i < icons.size(); i++)
      put_resource(resources, RESOURCE_ICON, FIRST_ICON_ID + (uint32_t)i, icons[i].bytes);
    put_resource(resources, RESOURCE_GROUP_ICON, ICON_GROUP_ID, icon_group(icons, FIRST_ICON_ID));
    changed = true;
  }
  if (settings.given) {
    std::vector<std::pair<std::string, std::string>> texts = {
        {"ProductName", settings.name}, {"FileDescription", settings.name + " Setup"}};
    if (!settings.publisher.empty()) texts.emplace_back("CompanyName", settings.publisher);
    if (!settings.version.empty()) {
      texts.emplace_back("ProductVersion", settings.version);
      texts.emplace_back("FileVersion", settings.version);
    }
    put_resource(resources, RESOURCE_VERSION, 1, version_resource(texts, settings.version));
    changed = true;
  }
  if (!changed) return "";
  const uint32_t rva = image.next_section_rva();
  uint32_t directory_size = 0;
  const std::vector<uint8_t> section = write_resources(resources, rva, &directory_size);
  if (image.add_section(".rsrc", section, RESOURCE_SECTION) != rva)
    return "the stub's headers have no room for another section";
  image.set_directory(2, rva, directory_size);
  bytes = image.bytes();
  return "";
}

}  // namespace

bool find_stub_block(const std::vector<uint8_t>& stub, StubBlock& out) {
  out = StubBlock();
  size_t field = 0;
  if (find_config_block(stub.data(), stub.size(), &field) != 1) return false;
  out.at = field - offsetof(StubConfig, archive_offset);
  if (!out.image.parse(stub).empty()) return true;
  const uint64_t block = out.image.address_of(out.at);
  const size_t title_at = out.at + offsetof(StubConfig, title);
  out.product_layout = block != 0 && title_at + 8 <= stub.size() &&
                       load_u64(&stub[title_at]) == block + offsetof(StubConfig, product_texts) &&
                       out.image.mapped(block, sizeof(StubConfig));
  return true;
}

std::string write_product(StubBlock& stub, const ProductSettings& settings, uint64_t total_bytes) {
  if (!stub.product_layout) {
    if (settings.given || settings.silent_switches)
      return "the stub is of an earlier kind that takes no product settings";
    return "";
  }
  const uint64_t block = stub.image.address_of(stub.at);
  auto put = [&](size_t field, const void* data, size_t size) {
    return stub.image.write(block + field, data, size);
  };
  uint8_t total[8];
  store_u64(total, total_bytes ? total_bytes : 1);  // the stub divides by it
  const uint8_t silent = settings.silent_switches ? 1 : 0;
  if (!put(offsetof(StubConfig, total_size), total, 8) ||
      !put(offsetof(StubConfig, silent_switches), &silent, 1))
    return "the stub's configuration block lies outside its file data";
  if (!settings.given) return "";

  const Texts t = compose(settings, total_bytes);
  const std::string* texts[TEXT_COUNT] = {&t.title,   &t.alternative, &t.preset,      &t.key,
                                          &t.program, &t.done_format, &t.values};
  std::string pool;
  uint64_t at[TEXT_COUNT];
  for (size_t i = 0; i < TEXT_COUNT; i++) {
    // With --folder the preset and the alternative are one text.
    if (i == 2 && t.preset == t.alternative) {
      at[i] = at[1];
      continue;
    }
    at[i] = pool.size();
    pool += stored(*texts[i]);
    pool += '\0';
  }
  pool += '\0';  // the empty name that ends the registry values
  if (pool.size() > PRODUCT_TEXTS_SIZE)
    return "the product's texts take " + std::to_string(pool.size()) + " bytes; the stub has room for " +
           std::to_string(PRODUCT_TEXTS_SIZE);
  const uint64_t pool_address = block + offsetof(StubConfig, product_texts);
  // The texts may reach past the section's file data, into its zero tail.
  const PeSection& last = stub.image.sections().back();
  const uint64_t last_start = stub.image.image_base() + last.rva;
  if (pool_address < last_start || pool_address - last_start > last.virtual_size ||
      !stub.image.extend_last_section((uint32_t)(pool_address - last_start + pool.size())))
    return "the stub's configuration block is not in its last section";
  // Zeros behind the texts: whatever the stub held there goes.
  std::vector<uint8_t> bytes(PRODUCT_TEXTS_SIZE, 0);
  memcpy(bytes.data(), pool.data(), pool.size());
  const size_t in_file = std::min<size_t>(
      bytes.size(), stub.image.bytes().size() - stub.image.offset_of(pool_address, 0));
  if (!put(offsetof(StubConfig, product_texts), bytes.data(), in_file))
    return "the stub's configuration block lies outside its file data";
  for (size_t i = 0; i < TEXT_COUNT; i++) {
    uint8_t pointer[8];
    store_u64(pointer, pool_address + at[i]);
    put(kTextFields[i], pointer, 8);
  }
  uint8_t max[2];
  // The longest folder whose quoted uninstall command stays within 259
  // characters; without a program, one whose path leaves a name room.
  const size_t command_extra =
      t.program.empty() ? 1 : 2 + 1 + t.program.size() + strlen(QEV_UNINSTALL_SWITCH);
  store_le16(max, (uint16_t)(259 - command_extra));
  put(offsetof(StubConfig, destination_max), max, 2);
  return "";
}

std::string apply_product(std::vector<uint8_t>& image, ProductSettings& settings,
                          const std::vector<PackEntry>& entries, uint64_t total_bytes, bool* usage) {
  *usage = true;
  std::string why = check_product_program(settings, entries);
  if (!why.empty()) return why;
  *usage = false;
  StubBlock stub;
  if (!find_stub_block(image, stub)) return "the stub's configuration block is missing";
  why = write_product(stub, settings, total_bytes);
  if (!why.empty()) return why;
  if (stub.product_layout) {
    image = stub.image.bytes();
    if (!(why = write_resources_section(image, settings)).empty()) return why;
  }
  store_le32(&image[stub.at + offsetof(StubConfig, archive_offset)], (uint32_t)image.size());
  return "";
}

bool read_product(const std::vector<uint8_t>& head, InstallerProduct& out) {
  out = InstallerProduct();
  StubBlock stub;
  if (!find_stub_block(head, stub) || !stub.product_layout) return false;
  const uint64_t block = stub.image.address_of(stub.at);
  const uint64_t pool = block + offsetof(StubConfig, product_texts);
  // Texts end at the pool's end or at the file data's end, whichever is first.
  const size_t pool_at = stub.image.offset_of(pool, 0);
  if (pool_at == SIZE_MAX) return false;
  const size_t pool_end = std::min(head.size(), pool_at + PRODUCT_TEXTS_SIZE);
  auto text_at = [&](size_t field, std::string* text) {
    const uint64_t address = load_u64(&head[stub.at + field]);
    if (address < pool || address - pool >= pool_end - pool_at) return false;
    const char* start = (const char*)&head[pool_at + (address - pool)];
    size_t n = strnlen(start, pool_end - (pool_at + (address - pool)));
    if (pool_at + (address - pool) + n >= pool_end) return false;  // no terminator
    text->assign(start, n);
    return true;
  };
  std::string values_start;
  std::string* texts[TEXT_COUNT] = {&out.title,   &out.alternative_folder, &out.preset_folder,
                                    &out.uninstall_key, &out.program,
                                    &out.done_format, &values_start};
  for (size_t i = 0; i < TEXT_COUNT; i++) {
    if (!text_at(kTextFields[i], texts[i])) return false;
  }
  // The registry values: pairs of texts up to an empty name.
  size_t p = pool_at + (load_u64(&head[stub.at + offsetof(StubConfig, registry_values)]) - pool);
  for (;;) {
    std::string pair[2];
    for (std::string& s : pair) {
      size_t n = strnlen((const char*)&head[p], pool_end - p);
      if (p + n >= pool_end) return false;
      s.assign((const char*)&head[p], n);
      p += n + 1;
      if (pair[0].empty()) break;
    }
    if (pair[0].empty()) break;
    out.values.emplace_back(pair[0], pair[1]);
  }
  out.total_size = load_u64(&head[stub.at + offsetof(StubConfig, total_size)]);
  out.silent_switches = head[stub.at + offsetof(StubConfig, silent_switches)] != 0;
  return true;
}

std::string describe_product(const InstallerProduct& p) {
  std::string s = "installer: " + shown(p.title) + "\n";
  s += "  folder offered: " + shown(p.alternative_folder);
  if (p.preset_folder != p.alternative_folder)
    s += ", or " + shown(p.preset_folder) + " where that exists or Program Files does not";
  s += "\n";
  s += "  program started: " + (p.program.empty() ? "none" : shown(p.program)) + "\n";
  if (!p.program.empty()) {
    s += "  uninstall key: HKLM\\" + shown(p.uninstall_key) + "\n";
    for (const auto& v : p.values) {
      std::string data = v.second.empty() ? "" : v.second.substr(1);
      switch (v.second.empty() ? 0 : v.second[0]) {
        case VALUE_TEXT: data = "\"" + shown(data) + "\""; break;
        case VALUE_NUMBER: break;
        case VALUE_PROGRAM: data = "the program's quoted path" + (data.empty() ? "" : " + \"" + shown(data) + "\""); break;
        case VALUE_FOLDER: data = "the folder installed to"; break;
        default: data = "?" + shown(v.second);
      }
      s += "    " + shown(v.first) + " = " + data + "\n";
    }
  }
  if (!p.done_format.empty()) s += "  closing message: " + shown(p.done_format) + "\n";
  s += std::string("  silent switches (/S, /D=): ") + (p.silent_switches ? "obeyed" : "ignored") + "\n";
  return s;
}

}  // namespace qev
