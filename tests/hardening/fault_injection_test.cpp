// Every file-layer call of an extraction made to fail in turn, and a Cancel
// at every point where the decoders and the driver look for one, over
// writer-made archives that hold every construct (several refills per frame,
// stored frames read past the buffer, filtered members over several filter
// stretches, many table sets, members across blocks, streams shared and
// restarted, many directory blocks). For each run: the result and the
// messages are those of the failure tables, the member being written when
// the failure came is deleted, the members before it stay exactly as packed,
// the closing actions run only after a directory failure or a complete loop,
// and the run releases all its memory and handles.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "expectations.h"
#include "harness.h"
#include "hooks.h"
#include "platform/dos_time.h"
#include "platform/fault.h"
#include "samples.h"
#include "scratch.h"
#include "base/result_codes.h"
#include "shell/ui.h"

namespace {

const char* fault_name(FaultOp op) {
  static const char* const names[] = {"create", "open", "close", "read", "write", "short write",
                                      "seek", "set times", "get attributes", "set attributes",
                                      "delete", "folder creation", "alloc", "rename"};
  return op < FAULT_OP_COUNT ? names[op] : "?";
}

const char* context_name(HookContext c) {
  static const char* const names[] = {"driver", "directory", "decode", "folders"};
  return names[c];
}

// The file-layer calls that the fault double counts as `op`, in order.
bool counted_as(FaultOp op, HookOp h) {
  switch (op) {
    case FAULT_CREATE: return h == HOOK_CREATE;
    case FAULT_CLOSE: return h == HOOK_CLOSE;
    case FAULT_READ: return h == HOOK_READ || h == HOOK_READ_ARCHIVE;
    case FAULT_WRITE:
    case FAULT_SHORT_WRITE: return h == HOOK_WRITE;
    case FAULT_SEEK: return h == HOOK_SEEK;
    case FAULT_SET_TIMES: return h == HOOK_SET_TIMES;
    case FAULT_GET_ATTRIBUTES: return h == HOOK_GET_ATTRIBUTES;
    case FAULT_SET_ATTRIBUTES: return h == HOOK_SET_ATTRIBUTES;
    case FAULT_DELETE: return h == HOOK_DELETE;
    case FAULT_FOLDER_CREATE: return h == HOOK_FOLDER_CREATE;
    case FAULT_ALLOC: return h == HOOK_ALLOC || h == HOOK_RESIZE;
    case FAULT_RENAME: return h == HOOK_RENAME;
    default: return false;
  }
}

std::vector<HookCall> calls_of(const HookRecord& record, FaultOp op) {
  std::vector<HookCall> out;
  for (const HookCall& c : record.calls) {
    if (counted_as(op, c.op)) out.push_back(c);
  }
  return out;
}

std::string where(const Sample& s, FaultOp op, size_t n, const HookCall& c) {
  std::ostringstream o;
  o << s.label << ": " << fault_name(op) << " call " << n << " (" << context_name(c.context)
    << ", entry " << c.entry;
  if (c.entry >= 0 && (size_t)c.entry < s.entries.size()) o << " " << s.entries[(size_t)c.entry].name;
  o << ")";
  return o.str();
}

void expect_clean(const std::vector<std::string>& problems, const std::string& context) {
  for (const std::string& p : problems) ADD_FAILURE() << context << ": " << p;
}

class FaultInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    samples_ = fault_samples();
    for (const Sample& s : samples_) {
      ASSERT_FALSE(s.bytes.empty()) << s.label << ": " << s.result.error;
      Observation clean = run_extraction(s.bytes);
      expect_clean(mismatches(s, clean, all_done(s)), s.label + ", clean run");
      clean_.push_back(clean.record);
    }
  }
  void TearDown() override { fault_reset(); }

  // Fails the n-th call of `op` of each sample's extraction in turn (once,
  // with error 5) and checks the run against `expect`. Returns the contexts
  // in which calls failed.
  std::set<HookContext> each_call(
      FaultOp op,
      const std::function<Expected(const Sample&, const HookCall&, const Observation&)>& expect,
      uint32_t os_error = 5) {
    std::set<HookContext> contexts;
    size_t runs = 0;
    for (size_t k = 0; k < samples_.size(); k++) {
      const Sample& s = samples_[k];
      std::vector<HookCall> calls = calls_of(clean_[k], op);
      for (uint32_t n = 1; n <= calls.size(); n++) {
        RunOptions o;
        o.arm = [&] { fault_arm(op, n, os_error); };
        Observation obs = run_extraction(s.bytes, o);
        expect_clean(mismatches(s, obs, expect(s, calls[n - 1], obs)), where(s, op, n, calls[n - 1]));
        contexts.insert(calls[n - 1].context);
        runs++;
      }
    }
    EXPECT_GT(runs, 0u) << fault_name(op) << ": no such calls in the samples";
    return contexts;
  }

  std::vector<Sample> samples_;
  std::vector<HookRecord> clean_;
};

TEST_F(FaultInjection, AllocationFailures) {
  std::set<HookContext> seen = each_call(FAULT_ALLOC, [](const Sample& s, const HookCall& c, const Observation&) {
    Expected e;
    if (c.context == CTX_DRIVER) {
      // The input buffer: nothing extracted, the dialog says "Not enough memory".
      e = directory_failed(s, 0, ERR_NOMEM);
      e.closing = false;
    } else if (c.context == CTX_DIRECTORY) {
      e = directory_failed(s, c.entry, ERR_NOMEM);  // a compressed directory block's lengths
    } else {
      e = stopped_at(s, c.entry, ERR_NOMEM);  // the window, its growth, a block's lengths
    }
    return e;
  });
  EXPECT_EQ(seen, (std::set<HookContext>{CTX_DRIVER, CTX_DIRECTORY, CTX_DECODE}));
}

TEST_F(FaultInjection, ReadFailures) {
  std::map<std::string, size_t> outcomes;
  each_call(FAULT_READ, [&](const Sample& s, const HookCall& c, const Observation& obs) {
    // "Cannot read setup.exe" with the reason, and no closing actions: the
    // installer's own file could not be read.
    if (c.context == CTX_DIRECTORY) {
      outcomes["directory"]++;
      Expected e = directory_failed(s, c.entry, READ_FAILED);
      e.closing = false;
      e.os_line = "\nAccess denied";
      return e;
    }
    // A failed frame start or stored copy passes -1 up: the member stops.
    // A failed refill inside a block's data ends the block short instead:
    // members whose bytes it lacks fail their CRC check (and are deleted), and
    // a later member of that stream finds it broken.
    const std::vector<Report>& r = obs.record.reports;
    if (r.size() == 1 && r[0].code == READ_FAILED) {
      outcomes["member stopped"]++;
      Expected e = stopped_at(s, c.entry, READ_FAILED);
      e.os_line = "\nAccess denied";
      return e;
    }
    bool short_block = !r.empty();
    for (size_t i = 0; i < r.size(); i++) {
      bool last = i + 1 == r.size();
      short_block &= r[i].entry >= c.entry &&
                     (r[i].code == ERR_CRC || (last && r[i].code == ERR_DAMAGED));
    }
    if (!short_block) return stopped_at(s, c.entry, READ_FAILED);  // shows the mismatch
    outcomes["short block"]++;
    return from_reports(s, r);
  });
  EXPECT_GT(outcomes["directory"], 0u);
  EXPECT_GT(outcomes["member stopped"], 0u);
  EXPECT_GT(outcomes["short block"], 0u);
}

TEST_F(FaultInjection, SeekFailures) {
  std::set<HookContext> seen = each_call(FAULT_SEEK, [](const Sample& s, const HookCall& c, const Observation&) {
    Expected e;
    if (c.context == CTX_DRIVER) {
      // Finding the archive's length: nothing is made.
      e = directory_failed(s, 0, ERR_SEEK);
      e.closing = false;
      e.destination = false;
    } else if (c.context == CTX_DIRECTORY) {
      e = directory_failed(s, c.entry, ERR_SEEK);
    } else {
      e = stopped_at(s, c.entry, ERR_SEEK);  // "Cannot read <member>"
    }
    e.os_line = "\nAccess denied";
    return e;
  });
  EXPECT_EQ(seen, (std::set<HookContext>{CTX_DRIVER, CTX_DIRECTORY, CTX_DECODE}));
}

TEST_F(FaultInjection, WriteFailuresAndShortWrites) {
  for (FaultOp op : {FAULT_WRITE, FAULT_SHORT_WRITE}) {
    each_call(op, [op](const Sample& s, const HookCall& c, const Observation&) {
      EXPECT_EQ(c.context, CTX_DECODE);
      Expected e = stopped_at(s, c.entry, ERR_WRITE);
      e.os_line = op == FAULT_WRITE ? "\nAccess denied" : "\nDisk full";
      return e;
    });
  }
}

// Writes the sample's members into `destination` as an extraction leaves them.
void earlier_extraction(const Sample& s, const std::string& destination) {
  mkdir(destination.c_str(), 0777);
  for (const qev::PackEntry& entry : s.entries) {
    std::string path = destination + "/" + entry.name;
    for (char& ch : path) {
      if (ch == '\\') ch = '/';
    }
    if (entry.folder) {
      mkdir(path.c_str(), 0777);
      continue;
    }
    write_file(path, entry.data);
    time_t t;
    if (dos_to_time(entry.write_date, entry.write_time, &t)) {
      struct timespec times[2] = {{0, UTIME_OMIT}, {t, 0}};
      utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
    if (entry.attributes & 1) chmod(path.c_str(), 0444);
  }
}

// A run over an earlier extraction of the sample, with or without Yes To All.
RunOptions over_earlier(const Sample& s, bool yes_to_all) {
  RunOptions o;
  o.overwrite_all = yes_to_all;
  o.prepare = [&s](const std::string& destination) { earlier_extraction(s, destination); };
  return o;
}

TEST_F(FaultInjection, AFileThatCannotBeCreatedOrPutInPlaceIsReportedAndSkipped) {
  // A new file that cannot be created; then, over an earlier extraction (Yes
  // To All), a replacement that cannot be put in place. Its temporary file is
  // gone too: nothing but the members' files may stay. A read-only file
  // refuses its replacement until its attributes are cleared, so a failure
  // of the first of its two renames goes unnoticed.
  each_call(FAULT_CREATE, [](const Sample& s, const HookCall& c, const Observation&) {
    EXPECT_EQ(c.context, CTX_DRIVER);
    Expected e = from_reports(s, {{ERR_CREATE, c.entry, "", true, 0}});
    e.os_line = "\nAccess denied";
    return e;
  });
  for (const Sample& s : samples_) {
    const RunOptions o = over_earlier(s, true);
    std::vector<HookCall> renames = calls_of(run_extraction(s.bytes, o).record, FAULT_RENAME);
    EXPECT_FALSE(renames.empty()) << s.label;
    for (uint32_t n = 1; n <= renames.size(); n++) {
      const HookCall& c = renames[n - 1];
      RunOptions r = o;
      r.arm = [n] { fault_arm(FAULT_RENAME, n, 5); };
      Observation obs = run_extraction(s.bytes, r);
      const bool retried = n < renames.size() && renames[n].entry == c.entry;
      Expected e = retried ? all_done(s) : from_reports(s, {{ERR_CREATE, c.entry, "", true, 0}});
      e.os_line = "\nAccess denied";
      e.all_present = true;  // the earlier file holds the member's bytes
      expect_clean(mismatches(s, obs, e), where(s, FAULT_RENAME, n, c));
    }
  }
}

TEST_F(FaultInjection, FilesThatCannotBeCreatedAreReportedOkGoesOnCancelStops) {
  for (size_t k = 0; k < samples_.size(); k++) {
    const Sample& s = samples_[k];
    std::vector<HookCall> calls = calls_of(clean_[k], FAULT_CREATE);
    for (uint32_t n = 1; n <= calls.size(); n++) {
      const int first = calls[n - 1].entry;
      for (int answer : {ANSWER_OK, ANSWER_CANCEL}) {
        RunOptions o;
        o.box_answers.assign(calls.size(), answer);
        o.arm = [&] { fault_arm(FAULT_CREATE, n, 5, FAULT_FROM_THEN_ON); };
        Observation obs = run_extraction(s.bytes, o);
        Expected e;
        if (answer == ANSWER_CANCEL) {
          e = stopped_at(s, first, ERR_CREATE, true);
        } else {
          std::vector<Report> r;
          for (size_t i = (size_t)first; i < s.entries.size(); i++) {
            if (!s.entries[i].folder) r.push_back({ERR_CREATE, (int)i, "", true, 0});
          }
          e = from_reports(s, r);
        }
        e.os_line = "\nAccess denied";
        expect_clean(mismatches(s, obs, e), where(s, FAULT_CREATE, n, calls[n - 1]) +
                                                (answer == ANSWER_OK ? ", OK" : ", Cancel"));
      }
    }
  }
}

TEST_F(FaultInjection, FolderCreationFailures) {
  each_call(FAULT_FOLDER_CREATE, [](const Sample& s, const HookCall& c, const Observation&) {
    Expected e;
    EXPECT_EQ(c.context, CTX_FOLDERS);
    if (c.entry < 0) {
      // The destination itself: nothing happens at all.
      e = stopped_at(s, c.entry, ERR_MKDIR);
      e.walked = 0;
      e.destination = false;
    } else if (s.entries[(size_t)c.entry].folder) {
      e = stopped_at(s, c.entry, ERR_MKDIR);
    } else {
      // A folder on a file's way: the file is reported and skipped.
      e = from_reports(s, {{ERR_CREATE, c.entry, "", true, 0}});
    }
    e.os_line = "\nAccess denied";  // the folder's own reason
    return e;
  });
}

TEST_F(FaultInjection, FailuresThatAreIgnored) {
  // Times, attributes and closing a finished file: the extraction goes on as
  // if nothing happened, save the one time or attribute.
  // A file's times and attributes are set in one call.
  each_call(FAULT_SET_TIMES, [](const Sample& s, const HookCall& c, const Observation&) {
    Expected e = all_done(s);
    e.untimed = c.entry;
    e.unattributed = c.entry;
    return e;
  });
  each_call(FAULT_SET_ATTRIBUTES, [](const Sample& s, const HookCall& c, const Observation&) {
    Expected e = all_done(s);
    e.unattributed = c.entry;
    return e;
  });
  each_call(FAULT_CLOSE, [](const Sample& s, const HookCall&, const Observation&) {
    return all_done(s);
  });
}

TEST_F(FaultInjection, AFailedWriteWhoseFileCannotBeDeleted) {
  // The system refuses the delete: the partial file stays. A new file stays
  // under its own name; a replacement (over an earlier extraction, Yes To
  // All) under its temporary name (the last character replaced by a digit),
  // the earlier file beside it as it was. The partial file holds a proper
  // prefix of the member, and nothing else changes.
  for (bool earlier : {false, true}) {
    for (size_t k = 0; k < samples_.size(); k++) {
      const Sample& s = samples_[k];
      const RunOptions o = earlier ? over_earlier(s, true) : RunOptions();
      std::vector<HookCall> writes =
          calls_of(earlier ? run_extraction(s.bytes, o).record : clean_[k], FAULT_WRITE);
      for (uint32_t n = 1; n <= writes.size(); n++) {
        const HookCall& c = writes[n - 1];
        const std::string label = where(s, FAULT_WRITE, n, c) + (earlier ? ", replacing" : "");
        RunOptions r = o;
        r.arm = [n] {
          fault_arm(FAULT_WRITE, n, 5);
          fault_arm(FAULT_DELETE, 1, 5);
        };
        Observation obs = run_extraction(s.bytes, r);
        const qev::PackEntry& entry = s.entries[(size_t)c.entry];
        const std::string data(entry.data.begin(), entry.data.end());
        std::string relative = entry.name;
        for (char& ch : relative) {
          if (ch == '\\') ch = '/';
        }
        if (earlier) {
          EXPECT_EQ(obs.tree[relative].content, data) << label;
          relative.back() = relative.back() == '0' ? '1' : '0';
        }
        auto it = obs.tree.find(relative);
        ASSERT_NE(it, obs.tree.end()) << label;
        EXPECT_LT(it->second.content.size(), data.size()) << label;
        EXPECT_EQ(data.compare(0, it->second.content.size(), it->second.content), 0) << label;
        obs.tree.erase(it);
        Expected e = stopped_at(s, c.entry, ERR_WRITE);
        e.os_line = "\nAccess denied";
        e.all_present = earlier;
        for (const std::string& p : mismatches(s, obs, e)) {
          // The general rule that every file left passes its check objects to
          // this one file, rightly; nothing else may.
          if (p.find(relative) == std::string::npos) ADD_FAILURE() << label << ": " << p;
        }
      }
    }
  }
}

TEST_F(FaultInjection, AFailedCloseAfterAFailedDecodeStillDeletesTheFile) {
  for (size_t k = 0; k < samples_.size(); k++) {
    const Sample& s = samples_[k];
    std::vector<HookCall> writes = calls_of(clean_[k], FAULT_WRITE);
    std::vector<HookCall> closes = calls_of(clean_[k], FAULT_CLOSE);
    for (uint32_t n = 1; n <= writes.size(); n++) {
      const HookCall& c = writes[n - 1];
      // The close that follows the failed write comes after the closes of
      // the files before that member.
      uint32_t before = 0;
      for (const HookCall& x : closes) before += x.entry < c.entry;
      RunOptions o;
      o.arm = [n, before] {
        fault_arm(FAULT_WRITE, n, 5);
        fault_arm(FAULT_CLOSE, before + 1, 6);
      };
      Observation obs = run_extraction(s.bytes, o);
      Expected e = stopped_at(s, c.entry, ERR_WRITE);
      e.os_line = "\nAccess denied";
      expect_clean(mismatches(s, obs, e), where(s, FAULT_WRITE, n, c) + ", close failing too");
    }
  }
}

// A failed attribute query, in a fresh extraction and over an earlier one
// (without Yes To All: each existing file raises the question, answered Yes;
// the read-only ones are refused at first and replaced once their attributes
// are cleared). What it leads to depends on what the query found in the run
// without faults:
//  - nothing: nothing changes (a folder then made, a question not asked);
//  - the file that a member replaces, asked about: that file is replaced
//    without a question;
//  - a read-only file whose replacement was refused: its attributes are
//    cleared all the same (what cannot be read is taken as set), and it is
//    replaced;
//  - a folder on a member's way: it cannot be told from a link, so it is not
//    gone through: a file member is reported and skipped ("Cannot create"), a
//    folder entry ends the extraction ("Cannot create folder"), with no
//    second line (the folder's creation answers 183, "exists");
//  - the destination: it is not made again (183 as well), and nothing happens.
TEST_F(FaultInjection, AFailedAttributeQuery) {
  for (bool earlier : {false, true}) {
    for (size_t k = 0; k < samples_.size(); k++) {
      const Sample& s = samples_[k];
      const RunOptions o = earlier ? over_earlier(s, false) : RunOptions();
      Observation clean = run_extraction(s.bytes, o);
      const std::string label = s.label + (earlier ? ", over an earlier extraction" : "");
      Expected base = all_done(s);
      if (earlier) {
        for (size_t i = 0; i < s.entries.size(); i++) {
          if (!s.entries[i].folder) base.prompts.push_back((int)i);
        }
        base.all_present = true;  // replaced by the same bytes, or left as they were
        base.os_line = "\nAccess denied";
        base.check_prompts = true;
      }
      expect_clean(mismatches(s, clean, base), label);

      std::vector<HookCall> queries = calls_of(clean.record, FAULT_GET_ATTRIBUTES);
      for (uint32_t n = 1; n <= queries.size(); n++) {
        const HookCall& c = queries[n - 1];
        RunOptions r = o;
        r.arm = [n] { fault_arm(FAULT_GET_ATTRIBUTES, n, 5); };
        Observation obs = run_extraction(s.bytes, r);
        Expected e = base;
        const bool folder_entry = c.entry >= 0 && s.entries[(size_t)c.entry].folder;
        // The driver's first query for a file is the question's, a second
        // one follows a refused replacement; the others are of folders, the
        // destination's (before any entry) or a member's.
        const bool driver = c.context == CTX_DRIVER;
        bool question = driver;
        for (uint32_t m = 1; m < n; m++) {
          if (queries[m - 1].context == CTX_DRIVER && queries[m - 1].entry == c.entry) question = false;
        }
        if (!c.found) {
          // as in the clean run
        } else if (c.entry < 0) {
          e = Expected{};
          e.reports.push_back({ERR_MKDIR, -1, "", false, 1});
          e.closing = false;
          e.all_present = true;
        } else if (question) {
          e.prompts.erase(std::find(e.prompts.begin(), e.prompts.end(), c.entry));
        } else if (driver) {
          // as in the clean run
        } else {
          std::vector<Report> reports;
          for (const Report& b : base.reports) {
            if (b.entry < c.entry) reports.push_back(b);
          }
          reports.push_back({folder_entry ? ERR_MKDIR : ERR_CREATE, c.entry, "", !folder_entry,
                             folder_entry ? 1 : 0});
          for (const Report& b : base.reports) {
            if (b.entry > c.entry && !folder_entry) reports.push_back(b);
          }
          e.reports = reports;
          e.line_of[c.entry] = "";
          if (folder_entry) {
            e.closing = false;
            e.walked = (size_t)(c.entry + 1);
            std::vector<int> asked;
            for (int p : e.prompts) {
              if (p < c.entry) asked.push_back(p);
            }
            e.prompts = asked;
          }
        }
        expect_clean(mismatches(s, obs, e), where(s, FAULT_GET_ATTRIBUTES, n, c) + (earlier ? ", over an earlier extraction" : ""));
      }
    }
  }
}

// Cancel after each file-layer call of the extraction in turn, and at each
// drain of the message queue: nothing is shown, the closing actions do not
// run, and the members extracted are a prefix of the directory, the one
// being decoded included only when it was finished.
TEST_F(FaultInjection, CancelAtEveryPoint) {
  std::map<CancelSite, size_t> sites;
  for (size_t k = 0; k < samples_.size(); k++) {
    const Sample& s = samples_[k];
    const std::vector<HookCall>& calls = clean_[k].calls;
    // The clean-up after the loop frees the buffers: a Cancel that comes
    // then finds the closing actions done.
    size_t cleanup = calls.size();
    while (cleanup > 0 && calls[cleanup - 1].op == HOOK_FREE && calls[cleanup - 1].context == CTX_DRIVER) {
      cleanup--;
    }
    for (size_t n = 1; n <= calls.size(); n++) {
      RunOptions o;
      o.cancel_after_call = n;
      Observation obs = run_extraction(s.bytes, o);
      sites[obs.record.cancel_site]++;
      const HookCall& c = calls[n - 1];
      std::string context = s.label + ": cancel after call " + std::to_string(n) + " (" +
                            hook_op_name(c.op) + ", " + context_name(c.context) + ", entry " +
                            std::to_string(c.entry) + ")";
      for (const Report& r : obs.record.reports) EXPECT_EQ(r.code, ERR_CANCELLED) << context;
      Expected e = from_reports(s, obs.record.reports);
      for (Report& r : e.reports) r.name = "";
      e.closing = n > cleanup;
      // The loop looks at the flag before each entry: the entry being handled
      // is finished or abandoned, and no later one begun. While the directory
      // is read, the flag is seen before the entry, or by the decoder of a
      // compressed directory block, which ends the walk with ERR_CANCELLED.
      size_t walked = obs.record.walked.size();
      e.walked = (size_t)(c.entry + 1);
      if (c.context == CTX_DIRECTORY && walked + 1 == e.walked) {
        e.walked = walked;
        e.result = obs.result == ERR_CANCELLED ? ERR_CANCELLED : 0;
      }
      // A file's status line comes after its overwrite question's probe, the
      // first call of its own: a Cancel there abandons the file before
      // anything of it is made.
      bool first = c.context == CTX_DRIVER && c.entry >= 0;
      for (size_t j = 0; first && j + 1 < n; j++) {
        first = !(calls[j].context == CTX_DRIVER && calls[j].entry == c.entry);
      }
      if (first && c.op == HOOK_GET_ATTRIBUTES && !s.entries[(size_t)c.entry].folder) {
        e.abandoned = c.entry;
      }
      expect_clean(mismatches(s, obs, e), context);
    }
    // Drains: one per file, at its status line, before anything of it is
    // made: a Cancel there abandons that file.
    std::vector<size_t> files;
    for (size_t j = 0; j < s.entries.size(); j++) {
      if (!s.entries[j].folder) files.push_back(j);
    }
    for (uint32_t n = 1; n <= files.size(); n++) {
      RunOptions o;
      o.cancel_at_drain = n;
      Observation obs = run_extraction(s.bytes, o);
      sites[obs.record.cancel_site]++;
      std::string context = s.label + ": cancel at drain " + std::to_string(n);
      Expected e = from_reports(s, obs.record.reports);
      for (Report& r : e.reports) r.name = "";
      e.walked = files[n - 1] + 1;
      e.abandoned = (int)files[n - 1];
      e.closing = false;
      for (const Report& r : obs.record.reports) EXPECT_EQ(r.code, ERR_CANCELLED) << context;
      expect_clean(mismatches(s, obs, e), context);
    }
  }
  // Every poll of the decoders answered at least once.
  for (CancelSite site : {CANCEL_REFILL, CANCEL_STORED_COPY, CANCEL_TABLE_SET, CANCEL_FILTER,
                          CANCEL_BLOCK, CANCEL_NONE}) {
    EXPECT_GT(sites[site], 0u) << "no cancel seen at: " << cancel_site_name(site);
  }
}

}  // namespace
