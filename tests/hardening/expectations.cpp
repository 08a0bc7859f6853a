#include "expectations.h"

#include <sys/stat.h>

#include <set>
#include <sstream>

#include "platform/dos_time.h"
#include "base/result_codes.h"
#include "shell/stub_config.h"

namespace {

std::string shell_form(const std::string& host_path) {
  std::string p = host_path;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return p;
}

// The text of a shown message, or "" for codes that show none.
std::string message_for(int code, const std::string& name, const std::string& line) {
  switch (code) {
    case ERR_CREATE: return "Cannot create " + name + line;
    case ERR_OPEN: return "Cannot open " + name + line;
    case READ_FAILED: return "Cannot read setup.exe" + line;  // the installer's own file
    case ERR_READ:
    case ERR_SEEK: return "Cannot read " + name + line;
    case ERR_WRITE: return "Cannot write " + name + line;
    case ERR_MKDIR: return "Cannot create folder " + name + line;
    case ERR_CRC: return "File \"" + name + "\" fails error check";
    case ERR_NOMEM: return QEV_TEXT_NOMEM;
    case ERR_DAMAGED:
    case ERR_TRUNCATED: return QEV_TEXT_DAMAGED;
    default: return "";
  }
}

std::string describe(const std::vector<Report>& reports) {
  std::ostringstream o;
  o << "[";
  for (const Report& r : reports) {
    o << " (" << r.code << " at entry " << r.entry << (r.ask ? ", asking" : "") << ")";
  }
  o << " ]";
  return o.str();
}

}  // namespace

std::string entry_path(const std::string& destination, const Sample& s, size_t entry) {
  return shell_form(destination) + "\\" + s.entries[entry].name;
}

Expected all_done(const Sample& s) {
  Expected e;
  e.walked = s.entries.size();
  return e;
}

Expected stopped_at(const Sample& s, int entry, int code, bool ask) {
  Expected e;
  e.reports.push_back({code, entry, "", ask, 1});
  e.closing = false;
  e.walked = (size_t)(entry + 1);
  (void)s;
  return e;
}

Expected directory_failed(const Sample& s, int entry, int code) {
  Expected e;
  e.result = code;
  e.walked = (size_t)entry;
  (void)s;
  return e;
}

Expected from_reports(const Sample& s, const std::vector<Report>& reports) {
  Expected e = all_done(s);
  for (const Report& r : reports) {
    e.reports.push_back(r);
    // The driver goes on only after a question answered OK.
    if (!r.ask || r.stop) {
      e.closing = false;
      e.walked = (size_t)(r.entry + 1);
      break;
    }
  }
  return e;
}

std::vector<std::string> mismatches(const Sample& s, const Observation& obs, const Expected& e) {
  std::vector<std::string> out = general_problems(obs);
  auto problem = [&](const std::string& p) { out.push_back(p); };
  if (!obs.opened) {
    problem("start-up did not accept the sample");
    return out;
  }
  const std::string dest = obs.shell_destination;
  const HookRecord& rec = obs.record;

  if (obs.result != e.result) {
    problem("result " + std::to_string(obs.result) + ", expected " + std::to_string(e.result));
  }
  if (obs.closing_actions() != e.closing) {
    problem(e.closing ? "the closing actions did not run" : "the closing actions ran");
  }
  if (rec.walked.size() != e.walked) {
    problem(std::to_string(rec.walked.size()) + " entries walked, expected " +
            std::to_string(e.walked));
  }

  // Reports: code, entry, question and the path named.
  bool same = rec.reports.size() == e.reports.size();
  for (size_t i = 0; same && i < e.reports.size(); i++) {
    const Report& a = rec.reports[i];
    const Report& b = e.reports[i];
    std::string name = b.entry < 0 ? dest : entry_path(obs.shell_destination, s, (size_t)b.entry);
    same = a.code == b.code && a.entry == b.entry && a.ask == b.ask && a.name == name;
  }
  if (!same) problem("reports " + describe(rec.reports) + ", expected " + describe(e.reports));

  // Boxes: each report's message, then the dialog's for a negative result.
  std::vector<std::string> boxes;
  for (const Report& r : e.reports) {
    std::string name = r.entry < 0 ? dest : entry_path(obs.shell_destination, s, (size_t)r.entry);
    auto line = e.line_of.find(r.entry);
    std::string text = message_for(r.code, name, line != e.line_of.end() ? line->second : e.os_line);
    if (!text.empty()) boxes.push_back(text);
  }
  if (e.result < 0) {
    std::string text = message_for(e.result, "setup.exe", e.os_line);
    if (!text.empty()) boxes.push_back(text);
  }
  std::vector<std::string> shown;
  for (const FakeBox& b : obs.boxes) shown.push_back(b.text);
  if (shown != boxes) {
    std::string all;
    for (const std::string& t : shown) all += " \"" + t + "\"";
    problem("boxes shown:" + all);
  }
  if (e.check_prompts) {
    std::vector<std::string> expected;
    for (int k : e.prompts) expected.push_back(entry_path(obs.shell_destination, s, (size_t)k));
    if (obs.prompts != expected) {
      std::string asked;
      for (const std::string& p : obs.prompts) asked += " " + p;
      problem("overwrite questions:" + asked);
    }
  }

  // The tree: every entry walked and not reported present and exact, the
  // rest absent, nothing else.
  if (obs.destination_exists != e.destination) {
    problem(e.destination ? "the destination is missing" : "the destination was made");
  }
  std::set<size_t> reported;
  for (const Report& r : e.reports) {
    if (r.entry >= 0) reported.insert((size_t)r.entry);
  }
  std::set<std::string> expected_paths;
  for (size_t k = 0; k < s.entries.size(); k++) {
    const qev::PackEntry& entry = s.entries[k];
    std::string relative = entry.name;
    for (char& c : relative) {
      if (c == '\\') c = '/';
    }
    auto it = obs.tree.find(relative);
    bool present = e.all_present || (k < e.walked && !reported.count(k) && (int)k != e.abandoned);
    if (!present) {
      if (it != obs.tree.end()) problem("entry " + std::to_string(k) + " (" + entry.name + ") left behind");
      continue;
    }
    expected_paths.insert(relative);
    if (it == obs.tree.end()) {
      problem("entry " + std::to_string(k) + " (" + entry.name + ") missing");
      continue;
    }
    const FileInfo& f = it->second;
    if (entry.folder) {
      if (f.kind != FileInfo::FOLDER) problem(entry.name + " is not a folder");
      continue;
    }
    if (f.kind != FileInfo::FILE ||
        f.content != std::string(entry.data.begin(), entry.data.end())) {
      problem(entry.name + " differs from the member");
    }
    if ((int)k != e.untimed) {
      time_t t;
      if (dos_to_time(entry.write_date, entry.write_time, &t) && f.mtime != t) {
        problem(entry.name + " lacks its modification time");
      }
    }
    if ((int)k != e.unattributed) {
      bool read_only = (f.mode & 0222) == 0;
      if (read_only != ((entry.attributes & 1) != 0)) problem(entry.name + " has the wrong read-only bit");
    }
  }
  for (const auto& [relative, info] : obs.tree) {
    if (!expected_paths.count(relative)) problem("unexpected " + relative);
  }
  return out;
}
