#include "encode/product_settings.h"

#include <string.h>

#include "encode/name_rules.h"
#include "encode/whole_file.h"
#include "platform/cp1252.h"

namespace qev {

namespace {

// A value and where it came from, for the messages: "--name" or
// "FILE:LINE: name".
struct Given {
  std::optional<std::string> value;
  std::string origin;
  bool from_file = false;
};

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

// The text in Windows-1252, or a reason.
std::string to_windows_text(const Given& g, size_t limit, std::string& out) {
  const std::string& v = *g.value;
  if (v.empty()) return g.origin + ": the text is empty";
  std::vector<char> converted(v.size() + 1);
  if (!utf8_to_cp1252(v.c_str(), converted.data(), converted.size()))
    return g.origin + ": '" + v + "' has characters that Windows-1252 does not have";
  out = converted.data();
  for (unsigned char c : out) {
    // Below 0x20, DEL, and the five C1 controls that Windows-1252 leaves undefined.
    if (c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D)
      return g.origin + ": '" + v + "' has a control character";
  }
  if (out.size() > limit)
    return g.origin + ": '" + v + "' is " + std::to_string(out.size()) +
           " characters long; at most " + std::to_string(limit) + " fit";
  return "";
}

// A relative path with / or \ separators as Windows names it.
std::string backslashed(std::string s) {
  for (char& c : s) {
    if (c == '/') c = '\\';
  }
  return s;
}

std::string check_folder(const Given& g, std::string& folder) {
  std::string why = to_windows_text(g, PRODUCT_FOLDER_MAX, folder);
  if (!why.empty()) return why;
  folder = backslashed(folder);
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  const bool drive = folder.size() > 3 && ((folder[0] | 0x20) >= 'a' && (folder[0] | 0x20) <= 'z') &&
                     folder[1] == ':' && folder[2] == '\\';
  if (!drive)
    return g.origin + ": '" + *g.value +
           "' is not an absolute folder (a drive letter, a colon, a backslash and a folder)";
  for (size_t start = 3;;) {
    size_t end = folder.find('\\', start);
    why = check_component(folder.substr(start, end == std::string::npos ? end : end - start));
    if (!why.empty()) return g.origin + ": '" + *g.value + "': " + why;
    if (end == std::string::npos) return "";
    start = end + 1;
  }
}

// The product file's lines into the fields the command line left unset.
std::string parse_lines(const std::string& text, const std::string& path, std::vector<Given*>& fields,
                        Given* silent) {
  static const char* const kKeys[] = {"name", "program", "version", "publisher", "folder", "icon"};
  const std::string folder = path.substr(0, path.find_last_of('/') + 1);
  size_t start = 0;
  for (int number = 1; start < text.size(); number++) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    const std::string where = path + ":" + std::to_string(number) + ": ";
    size_t eq = line.find('=');
    if (eq == std::string::npos) return where + "not a `key = value` line";
    std::string key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
    Given* target = nullptr;
    for (size_t i = 0; i < 6; i++) {
      if (key == kKeys[i]) target = fields[i];
    }
    if (key == "silent-switches") {
      if (value != "yes" && value != "no") return where + "silent-switches takes yes or no";
      target = silent;
    }
    if (!target) return where + "unknown key '" + key + "'";
    if (target->value && !target->from_file) continue;  // the command line wins
    if (target->value) return where + key + " is given twice";
    target->from_file = true;
    if (key == "icon" && !value.empty() && value[0] != '/') value = folder + value;
    target->value = value;
    target->origin = where + key;
  }
  return "";
}

std::string read_file_into(const std::string& path, std::vector<Given*>& fields, Given* silent) {
  std::vector<uint8_t> bytes;
  std::string why;
  const ReadResult read = read_whole_file(path, 1u << 20, bytes, why);  // a few lines
  if (read == ReadResult::TOO_LARGE) why = "'" + path + "' is too large for a product file";
  if (read != ReadResult::OK) return "--product: " + why;
  return parse_lines(std::string(bytes.begin(), bytes.end()), path, fields, silent);
}

}  // namespace

std::string check_product_options(const ProductOptions& options, ProductSettings& out) {
  out = ProductSettings();
  Given name{options.name, "--name"}, program{options.program, "--program"},
      version{options.version, "--version"}, publisher{options.publisher, "--publisher"},
      folder{options.folder, "--folder"}, icon{options.icon, "--icon"};
  Given silent{options.silent_switches ? std::optional<std::string>("yes") : std::nullopt,
               "--silent-switches"};
  if (options.product_file) {
    std::vector<Given*> fields = {&name, &program, &version, &publisher, &folder, &icon};
    std::string why = read_file_into(*options.product_file, fields, &silent);
    if (!why.empty()) return why;
  }
  std::string why;
  if (name.value) {
    if (!(why = to_windows_text(name, PRODUCT_NAME_MAX, out.name)).empty()) return why;
    std::string rule = check_component(out.name);
    if (!rule.empty()) return name.origin + ": '" + *name.value + "' cannot name a folder: " + rule;
    out.named = true;
    out.program = "";
  }
  if (program.value) {
    if (!(why = to_windows_text(program, PRODUCT_PROGRAM_MAX, out.program)).empty()) return why;
    out.program = backslashed(out.program);
    out.program_origin = program.origin;
    std::string rule = check_name(out.program);
    if (!rule.empty()) return program.origin + ": '" + *program.value + "': " + rule;
  }
  if (version.value && !(why = to_windows_text(version, PRODUCT_VERSION_MAX, out.version)).empty())
    return why;
  if (publisher.value &&
      !(why = to_windows_text(publisher, PRODUCT_PUBLISHER_MAX, out.publisher)).empty())
    return why;
  if (folder.value && !(why = check_folder(folder, out.folder)).empty()) return why;
  if (icon.value) {
    if (icon.value->empty()) return icon.origin + ": no file named";
    out.icon_path = *icon.value;
  }
  out.silent_switches = silent.value && *silent.value == "yes";
  out.given = name.value || program.value || version.value || publisher.value || folder.value ||
              icon.value;
  // The longest folder the installer offers by itself, and the program.
  if (!out.program.empty()) {
    size_t longest = out.folder.empty() ? strlen("C:\\Program Files\\") + out.name.size()
                                        : out.folder.size();
    if (longest + out.program.size() > PRODUCT_FOLDER_AND_PROGRAM_MAX)
      return (folder.value ? folder.origin : program.origin) + ": the folder (" +
             std::to_string(longest) + " characters) and the program's path (" +
             std::to_string(out.program.size()) + ") together pass " +
             std::to_string(PRODUCT_FOLDER_AND_PROGRAM_MAX) + " characters";
  }
  return "";
}

std::string check_product_program(ProductSettings& settings, const std::vector<PackEntry>& entries) {
  if (settings.program_origin.empty()) return "";
  // Windows compares names without regard to the case of letters.
  auto folded = [](std::string s) {
    for (char& c : s) {
      if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    }
    return s;
  };
  const std::string wanted = folded(settings.program);
  std::vector<char> shown(settings.program.size() * 3 + 1);
  cp1252_to_utf8(settings.program.c_str(), shown.data(), shown.size());
  const std::string start = settings.program_origin + ": '" + shown.data() + "' is ";
  for (const PackEntry& e : entries) {
    if (folded(e.name) != wanted) continue;
    if (e.folder) return start + "a folder, not a file";
    settings.program = e.name;
    return "";
  }
  return start + "not a file in the source folder";
}

}  // namespace qev
