#pragma once
// Link-time hooks for the hardening tests and the fuzz targets.
//
// A program that links qev_hardening has the file layer's operations
// and a few entry points of the driver and the decoder routed through thin
// wrappers (the linker's --wrap; see CMakeLists.txt). Each wrapper notes what
// it needs and calls the real function, so the code under test runs
// unchanged; the fault double (platform/fault.h) still sits inside the real
// operations and composes with everything here.
//
// What the hooks record, from hooks_begin() on:
//   - every file-layer call with its context (driver, directory walk, member
//     decoding, folder creation) and the index of the directory entry that the
//     driver is at, so that a test can tell which member a failing call hurt;
//   - the blocks that mem_alloc and mem_resize handed out and mem_free took
//     back: an extraction must end with none left;
//   - each entry the driver walked, each file it created (with the entry it
//     was created for) and each report_error call (code, entry, answer);
//   - which of the decoder's cancel polls answered ERR_CANCELLED.
// What they can do: set cancel_requested after the n-th file-layer call, or
// once a budget of archive reads or written bytes is spent (a bound on the
// work that one fuzz input may cause; cancelling is a defined way to end).
//
// Single-threaded, like the code under test.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "archive/layout.h"

enum HookOp {
  HOOK_ALLOC, HOOK_RESIZE, HOOK_FREE, HOOK_CREATE, HOOK_OPEN, HOOK_CLOSE, HOOK_READ,
  HOOK_WRITE, HOOK_SEEK, HOOK_READ_ARCHIVE, HOOK_SET_TIMES, HOOK_GET_ATTRIBUTES,
  HOOK_SET_ATTRIBUTES, HOOK_DELETE, HOOK_FOLDER_CREATE, HOOK_RENAME, HOOK_OP_COUNT
};

enum HookContext {
  CTX_DRIVER,     // the driver itself: preparation, creating, closing, attributes
  CTX_DIRECTORY,  // positioning at or fetching directory blocks
  CTX_DECODE,     // decode_member
  CTX_FOLDERS     // create_folder_path: the destination's folders and the members'
};

// Where a decoder answered ERR_CANCELLED (the innermost poll that did).
enum CancelSite {
  CANCEL_NONE,
  CANCEL_REFILL,       // refill_input
  CANCEL_STORED_COPY,  // copy_stored
  CANCEL_TABLE_SET,    // decode_block, at the start of a table set
  CANCEL_FILTER,       // filter_write, at the end of a stretch
  CANCEL_BLOCK,        // decode_member, before a block
  CANCEL_SITE_COUNT
};
const char* cancel_site_name(CancelSite site);
const char* hook_op_name(HookOp op);

struct HookCall {
  HookOp op;
  HookContext context;
  int entry;  // entry the call serves (the one being fetched, for the walk); -1 before any
  bool found = false;  // file_get_attributes: the path existed
};

struct WalkedEntry {
  DirectoryEntry entry;
  std::string name;  // name_len bytes as in the directory
};

struct CreatedFile {
  std::string path;  // as handed to file_create (the shell's form), or to file_rename after it
  int entry;
};

struct Report {
  int code;
  int entry;
  std::string name;  // the name handed over ("" for none: exe_name)
  bool ask;
  int stop;          // report_error's result
};

struct HookRecord {
  std::vector<HookCall> calls;
  std::vector<WalkedEntry> walked;
  std::vector<CreatedFile> created;
  std::vector<std::string> folders_made;  // successful folder_create paths
  std::vector<Report> reports;
  size_t live_blocks = 0;                 // allocated and not yet freed
  size_t peak_blocks = 0;
  uint64_t archive_reads = 0;
  uint64_t bytes_written = 0;
  CancelSite cancel_site = CANCEL_NONE;   // the innermost poll that answered ERR_CANCELLED first
  bool cancel_injected = false;           // the hooks set cancel_requested
};

// Starts recording afresh (and disarms the cancel triggers). Blocks that were
// live before are forgotten: only what happens from here on is accounted.
void hooks_begin();
// Stops recording; the record stays readable.
void hooks_end();
const HookRecord& hooks_record();
// Sets cancel_requested right after the n-th file-layer call (1-based,
// mem_free included) since hooks_begin(); 0 never.
void hooks_cancel_after_call(uint64_t n);
// Sets cancel_requested once this many archive reads have been made, or this
// many bytes written to output files; 0 means no budget.
void hooks_budget(uint64_t archive_reads, uint64_t bytes_written);
