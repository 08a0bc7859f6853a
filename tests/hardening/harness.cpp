#include "harness.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "decode/decoder_state.h"
#include "platform/cp1252.h"
#include "platform/fault.h"
#include "platform/platform.h"
#include "scratch.h"
#include "shell/driver.h"
#include "shell/names.h"
#include "shell/report_error.h"
#include "base/result_codes.h"
#include "shell/startup.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

namespace fs = std::filesystem;

namespace {

int open_descriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) n++;
    closedir(d);
    n--;  // the listing's own descriptor
  }
  return n;
}

void read_tree(const std::string& root, std::map<std::string, FileInfo>& tree) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::string path = it->path().string();
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    FileInfo info;
    info.mode = st.st_mode;
    info.mtime = st.st_mtime;
    if (S_ISDIR(st.st_mode)) {
      info.kind = FileInfo::FOLDER;
    } else if (S_ISREG(st.st_mode)) {
      info.kind = FileInfo::FILE;
      info.content = read_file(path);
    } else {
      info.kind = FileInfo::OTHER;
    }
    tree[fs::relative(it->path(), root).string()] = info;
  }
}

bool starts_with(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// Whether a box is one that the system may show: a known text and its style.
bool known_box(const FakeBox& box) {
  const uint32_t warn_ok = BOX_WARNING | BOX_OK, warn_ask = BOX_WARNING | BOX_OK_CANCEL;
  if (box.caption != stub_config.title) return false;
  const std::string& t = box.text;
  if (t == stub_config.text_nomem || t == stub_config.text_damaged) return box.style == warn_ok;
  if (t == stub_config.empty_archive_text) return box.style == BOX_OK;
  const std::string crc_head = "File \"", crc_tail = "\" fails error check";
  if (starts_with(t, crc_head) && t.size() >= crc_head.size() + crc_tail.size() &&
      t.compare(t.size() - crc_tail.size(), crc_tail.size(), crc_tail) == 0) {
    return box.style == warn_ask;
  }
  // "Cannot create folder " before "Cannot create ": the longer prefix first.
  if (starts_with(t, "Cannot create folder ")) return box.style == warn_ok;
  if (starts_with(t, "Cannot create ")) return box.style == warn_ask;
  if (starts_with(t, "Cannot write ") || starts_with(t, "Cannot read ") ||
      starts_with(t, "Cannot open ")) {
    return box.style == warn_ok;
  }
  return false;
}

std::string strip_trailing_slashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

uint32_t slow_crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; k++) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

std::string host_form(const std::string& shell_path) {
  std::string slashed = shell_path;
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  std::vector<char> utf8(slashed.size() * 3 + 1);
  if (!cp1252_to_utf8(slashed.c_str(), utf8.data(), utf8.size())) return "";
  return strip_trailing_slashes(fs::path(utf8.data()).lexically_normal().string());
}

Observation run_extraction(const std::vector<uint8_t>& archive, const RunOptions& options) {
  // Thousands of runs each make and remove a small tree: in memory when the
  // machine has a tmpfs and TMPDIR does not say otherwise.
  static const bool tmp_chosen = [] {
    if (!getenv("TMPDIR") && access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 0);
    return true;
  }();
  (void)tmp_chosen;
  Observation obs;
  stub_config_reset();
  fake_ui_reset();
  fault_reset();
  last_os_error = 0;
  fake_ui.box_answers = options.box_answers;
  fake_ui.prompt_answers = options.prompt_answers;
  fake_ui.cancel_at_drain = options.cancel_at_drain;
  fake_ui.max_component = options.max_component;

  char saved_cwd[4096];
  if (!getcwd(saved_cwd, sizeof(saved_cwd))) saved_cwd[0] = 0;
  {
    Scratch scratch;
    std::vector<uint8_t> file(options.prefix, 0xCC);
    file.insert(file.end(), archive.begin(), archive.end());
    write_file(scratch.host("setup.exe"), file);
    obs.root = scratch.host();
    obs.destination = scratch.host("out");
    obs.shell_destination = "out";
    if (options.prepare) {
      options.prepare(obs.destination);
      read_tree(obs.destination, obs.before);
    }
    if (chdir(obs.root.c_str()) != 0) abort();
    obs.fds_before = open_descriptors();

    stub_config.archive_offset = (uint32_t)options.prefix;
    obs.opened = startup_open_archive("setup.exe") != 0;
    if (obs.opened) {
      str_copy(stub_config.destination, DESTINATION_SIZE, obs.shell_destination.c_str());
      stub_config.overwrite_all = options.overwrite_all ? 1 : 0;
      hooks_begin();
      hooks_cancel_after_call(options.cancel_after_call);
      hooks_budget(options.read_budget, options.write_budget);
      fault_reset();
      if (options.arm) options.arm();
      int window = 0;
      auto t0 = std::chrono::steady_clock::now();
      obs.result = extract_all(&window);
      auto t1 = std::chrono::steady_clock::now();
      fault_reset();
      hooks_end();
      obs.seconds = std::chrono::duration<double>(t1 - t0).count();
      obs.record = hooks_record();
      obs.buffers_freed = decoder.window == nullptr && decoder.in.input_buffer == nullptr;
      // The main dialog reports a negative result with the executable's name.
      if (obs.result < 0) report_error(&window, obs.result, 0, 0);
    }
    if (archive_file != INVALID_FILE) file_close(archive_file);
    archive_file = INVALID_FILE;
    obs.fds_after = open_descriptors();
    if (saved_cwd[0] && chdir(saved_cwd) != 0) abort();

    obs.boxes = fake_ui.boxes;
    obs.prompts = fake_ui.prompts;
    obs.program_starts = fake_ui.program_starts;
    obs.registry_calls = fake_ui.registry.size();
    obs.destination_exists = path_exists(obs.destination);
    if (obs.destination_exists) read_tree(obs.destination, obs.tree);
    for (const std::string& name : list_tree(scratch.host())) {
      if (name == "setup.exe" || name == "out/" || starts_with(name, "out/")) {
        continue;
      }
      obs.outside.push_back(name);
    }
  }
  decoder.cancel_requested = 0;
  return obs;
}

std::vector<std::string> general_problems(const Observation& obs) {
  std::vector<std::string> problems;
  auto problem = [&](const std::string& p) { problems.push_back(p); };

  for (const FakeBox& box : obs.boxes) {
    if (!known_box(box)) problem("a message that is not in the table: \"" + box.text + "\"");
  }
  for (const std::string& o : obs.outside) problem("written outside the destination: " + o);
  if (obs.fds_after != obs.fds_before) {
    problem("open descriptors " + std::to_string(obs.fds_before) + " before, " +
            std::to_string(obs.fds_after) + " after");
  }

  if (!obs.opened) {
    // Start-up refused the archive with one message; nothing was made.
    if (obs.boxes.size() != 1) problem("start-up ended with " + std::to_string(obs.boxes.size()) + " messages");
    if (obs.destination_exists) problem("the destination was made although start-up failed");
    return problems;
  }

  static const std::set<int> results = {0, READ_FAILED, ERR_NOMEM, ERR_DAMAGED, ERR_SEEK,
                                        ERR_CANCELLED, ERR_TRUNCATED};
  if (!results.count(obs.result)) problem("the driver returned " + std::to_string(obs.result));
  if (!obs.buffers_freed) problem("the input buffer or the window was not released");
  if (obs.record.live_blocks != 0) {
    problem(std::to_string(obs.record.live_blocks) + " memory blocks not freed");
  }

  // Everything made must lie inside the destination. The driver's paths are
  // relative to S, the current folder.
  auto absolute = [&](const std::string& shell_path) {
    return strip_trailing_slashes(
        fs::path(obs.root + "/" + host_form(shell_path)).lexically_normal().string());
  };
  const std::string destination = absolute(obs.shell_destination);
  const std::string inside = destination + "/";
  for (const CreatedFile& c : obs.record.created) {
    if (!starts_with(absolute(c.path), inside)) problem("a file created outside: " + c.path);
  }
  for (const std::string& f : obs.record.folders_made) {
    std::string h = absolute(f);
    if (h != destination && !starts_with(h, inside)) problem("a folder made outside: " + f);
  }

  // Each file left is the last one created at its path, and its content is
  // what that entry promised.
  std::map<std::string, int> creator;
  for (const CreatedFile& c : obs.record.created) creator[absolute(c.path)] = c.entry;
  std::set<std::string> folders;
  for (const std::string& f : obs.record.folders_made) folders.insert(absolute(f));
  for (const auto& [relative, info] : obs.tree) {
    std::string path = inside + relative;
    auto earlier = obs.before.find(relative);
    bool untouched = earlier != obs.before.end() && earlier->second.kind == info.kind &&
                     earlier->second.content == info.content;
    if (info.kind == FileInfo::OTHER) {
      problem("neither file nor folder: " + relative);
    } else if (info.kind == FileInfo::FOLDER) {
      if (!folders.count(path) && !untouched) problem("a folder nobody made: " + relative);
    } else {
      auto it = creator.find(path);
      if (it == creator.end() && untouched) continue;
      if (it == creator.end() || it->second < 0 ||
          it->second >= (int)obs.record.walked.size()) {
        problem("a file not created for any entry: " + relative);
        continue;
      }
      const DirectoryEntry& e = obs.record.walked[(size_t)it->second].entry;
      if (e.flags & FLAG_FOLDER) problem("a file made for a folder entry: " + relative);
      if (info.content.size() != e.size || slow_crc32(info.content) != e.crc32) {
        problem("a file left that fails its entry's size or CRC-32: " + relative);
      }
    }
  }
  return problems;
}
