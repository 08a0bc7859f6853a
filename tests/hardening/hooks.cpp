// The wrappers behind hooks.h. The linker routes every reference to a wrapped
// function that lies outside the function's own object file to
// __wrap_<symbol>, and __real_<symbol> to the function itself; the symbols are
// the C++ names as the compiler mangles them, so each wrapper is declared
// extern "C" under that name. The static assertions below pin the signatures:
// a changed signature stops the build here instead of silently leaving the
// function unwrapped.
#include "hooks.h"

#include <type_traits>
#include <unordered_set>

#include "archive/directory_reader.h"
#include "decode/block_decoder.h"
#include "decode/call_filter.h"
#include "archive/entry_stream.h"
#include "decode/decoder_state.h"
#include "decode/input.h"
#include "decode/reference_decoder.h"
#include "platform/platform.h"
#include "archive/directory_walk.h"
#include "shell/names.h"
#include "shell/report_error.h"
#include "base/result_codes.h"
#include "shell/stub_config.h"

static_assert(std::is_same_v<decltype(&mem_alloc), void* (*)(uint32_t)>);
static_assert(std::is_same_v<decltype(&mem_resize), void* (*)(void*, uint32_t)>);
static_assert(std::is_same_v<decltype(&mem_free), void (*)(void*)>);
static_assert(std::is_same_v<decltype(&file_create), FileHandle (*)(const char*, uint32_t)>);
static_assert(std::is_same_v<decltype(&file_open), FileHandle (*)(const char*, uint32_t)>);
static_assert(std::is_same_v<decltype(&file_close), int (*)(FileHandle)>);
static_assert(std::is_same_v<decltype(&file_read), int32_t (*)(FileHandle, void*, uint32_t)>);
static_assert(std::is_same_v<decltype(&file_write), int32_t (*)(FileHandle, const void*, uint32_t)>);
static_assert(std::is_same_v<decltype(&file_seek), uint32_t (*)(FileHandle, uint32_t, int)>);
static_assert(std::is_same_v<decltype(&read_archive), int32_t (*)(void*, uint32_t)>);
static_assert(std::is_same_v<decltype(&file_set_times),
                             int (*)(FileHandle, uint16_t, uint16_t, uint16_t, uint16_t, uint32_t)>);
static_assert(std::is_same_v<decltype(&file_get_attributes), uint32_t (*)(const char*)>);
static_assert(std::is_same_v<decltype(&file_set_attributes), int (*)(const char*, uint32_t)>);
static_assert(std::is_same_v<decltype(&file_delete), int (*)(const char*)>);
static_assert(std::is_same_v<decltype(&folder_create), int (*)(const char*)>);
static_assert(std::is_same_v<decltype(&file_rename), int (*)(FileHandle, const char*, const char*)>);
static_assert(std::is_same_v<decltype(&decode_member),
                             int (*)(FileHandle, uint32_t, uint32_t, uint32_t, uint8_t)>);
static_assert(std::is_same_v<decltype(&directory_walk_begin), int (*)(uint8_t*, uint32_t)>);
static_assert(std::is_same_v<decltype(&directory_walk_next),
                             int (*)(uint8_t*, DirectoryEntry*, const uint8_t**)>);
static_assert(std::is_same_v<decltype(&create_folder_path), int (*)(char*, char*, int)>);
static_assert(std::is_same_v<decltype(&refill_input), int (*)()>);
static_assert(std::is_same_v<decltype(&copy_stored), int32_t (*)(uint8_t*, uint32_t)>);
static_assert(std::is_same_v<decltype(&decode_block), int32_t (*)(uint8_t*, uint32_t, uint32_t)>);
static_assert(std::is_same_v<decltype(&filter_write),
                             int (*)(FileHandle, const uint8_t*, uint32_t, uint32_t, uint32_t, int)>);
static_assert(std::is_same_v<decltype(&report_error), int (*)(void*, int, const char*, int)>);

namespace {

struct State {
  bool recording = false;
  HookRecord record;
  std::unordered_set<void*> live;
  HookContext context = CTX_DRIVER;
  int entry = -1;          // the entry the driver is at
  uint64_t cancel_after = 0;
  uint64_t read_budget = 0;
  uint64_t write_budget = 0;
};

State& state() {
  static State* s = new State;  // never destroyed: wrappers may run during exit
  return *s;
}

void request_cancel() {
  State& s = state();
  if (!decoder.cancel_requested) s.record.cancel_injected = true;
  decoder.cancel_requested = 1;
}

// Counts one file-layer call (after it returned) and fires the call trigger.
void note_call(HookOp op, bool found = false) {
  State& s = state();
  if (!s.recording) return;
  s.record.calls.push_back({op, s.context, s.entry + (s.context == CTX_DIRECTORY ? 1 : 0), found});
  if (s.cancel_after != 0 && s.record.calls.size() == s.cancel_after) request_cancel();
}

void note_cancel(CancelSite site, int result) {
  State& s = state();
  if (!s.recording || result != ERR_CANCELLED) return;
  if (s.record.cancel_site == CANCEL_NONE) s.record.cancel_site = site;
}

// Sets a context for the length of one call of a wrapped entry point.
struct InContext {
  HookContext saved;
  explicit InContext(HookContext c) : saved(state().context) { state().context = c; }
  ~InContext() { state().context = saved; }
};

}  // namespace

const char* cancel_site_name(CancelSite site) {
  static const char* const names[] = {"none", "refill", "stored copy", "table set", "filter stretch",
                                      "before a block"};
  return site < CANCEL_SITE_COUNT ? names[site] : "?";
}

const char* hook_op_name(HookOp op) {
  static const char* const names[] = {"mem_alloc", "mem_resize", "mem_free", "file_create",
                                      "file_open", "file_close", "file_read", "file_write",
                                      "file_seek", "read_archive", "file_set_times",
                                      "file_get_attributes", "file_set_attributes", "file_delete",
                                      "folder_create", "file_rename"};
  return op < HOOK_OP_COUNT ? names[op] : "?";
}

void hooks_begin() {
  State& s = state();
  s.record = HookRecord{};
  s.live.clear();
  s.context = CTX_DRIVER;
  s.entry = -1;
  s.cancel_after = 0;
  s.read_budget = 0;
  s.write_budget = 0;
  s.recording = true;
}

void hooks_end() { state().recording = false; }
const HookRecord& hooks_record() { return state().record; }
void hooks_cancel_after_call(uint64_t n) { state().cancel_after = n; }
void hooks_budget(uint64_t archive_reads, uint64_t bytes_written) {
  state().read_budget = archive_reads;
  state().write_budget = bytes_written;
}

extern "C" {

// ---- the file layer ----

void* __real__Z9mem_allocj(uint32_t);
void* __wrap__Z9mem_allocj(uint32_t size) {
  void* block = __real__Z9mem_allocj(size);
  State& s = state();
  if (s.recording && block) {
    s.live.insert(block);
    s.record.live_blocks = s.live.size();
    if (s.live.size() > s.record.peak_blocks) s.record.peak_blocks = s.live.size();
  }
  note_call(HOOK_ALLOC);
  return block;
}

void* __real__Z10mem_resizePvj(void*, uint32_t);
void* __wrap__Z10mem_resizePvj(void* block, uint32_t size) {
  void* grown = __real__Z10mem_resizePvj(block, size);
  State& s = state();
  if (s.recording && grown) {
    s.live.erase(block);
    s.live.insert(grown);
    s.record.live_blocks = s.live.size();
  }
  note_call(HOOK_RESIZE);
  return grown;
}

void __real__Z8mem_freePv(void*);
void __wrap__Z8mem_freePv(void* block) {
  State& s = state();
  if (s.recording) {
    s.live.erase(block);
    s.record.live_blocks = s.live.size();
  }
  __real__Z8mem_freePv(block);
  note_call(HOOK_FREE);
}

FileHandle __real__Z11file_createPKcj(const char*, uint32_t);
FileHandle __wrap__Z11file_createPKcj(const char* path, uint32_t attributes) {
  FileHandle file = __real__Z11file_createPKcj(path, attributes);
  State& s = state();
  if (s.recording && file != INVALID_FILE) s.record.created.push_back({path, s.entry});
  note_call(HOOK_CREATE);
  return file;
}

FileHandle __real__Z9file_openPKcj(const char*, uint32_t);
FileHandle __wrap__Z9file_openPKcj(const char* path, uint32_t access) {
  FileHandle file = __real__Z9file_openPKcj(path, access);
  note_call(HOOK_OPEN);
  return file;
}

int __real__Z10file_closel(FileHandle);
int __wrap__Z10file_closel(FileHandle file) {
  int result = __real__Z10file_closel(file);
  note_call(HOOK_CLOSE);
  return result;
}

int32_t __real__Z9file_readlPvj(FileHandle, void*, uint32_t);
int32_t __wrap__Z9file_readlPvj(FileHandle file, void* buffer, uint32_t count) {
  int32_t got = __real__Z9file_readlPvj(file, buffer, count);
  note_call(HOOK_READ);
  return got;
}

int32_t __real__Z10file_writelPKvj(FileHandle, const void*, uint32_t);
int32_t __wrap__Z10file_writelPKvj(FileHandle file, const void* buffer, uint32_t count) {
  int32_t put = __real__Z10file_writelPKvj(file, buffer, count);
  State& s = state();
  if (s.recording) {
    s.record.bytes_written += count;
    if (s.write_budget != 0 && s.record.bytes_written >= s.write_budget) request_cancel();
  }
  note_call(HOOK_WRITE);
  return put;
}

uint32_t __real__Z9file_seeklji(FileHandle, uint32_t, int);
uint32_t __wrap__Z9file_seeklji(FileHandle file, uint32_t distance, int origin) {
  uint32_t position = __real__Z9file_seeklji(file, distance, origin);
  note_call(HOOK_SEEK);
  return position;
}

int32_t __real__Z12read_archivePvj(void*, uint32_t);
int32_t __wrap__Z12read_archivePvj(void* buffer, uint32_t count) {
  int32_t got = __real__Z12read_archivePvj(buffer, count);
  State& s = state();
  if (s.recording) {
    s.record.archive_reads++;
    if (s.read_budget != 0 && s.record.archive_reads >= s.read_budget) request_cancel();
  }
  note_call(HOOK_READ_ARCHIVE);
  return got;
}

int __real__Z14file_set_timeslttttj(FileHandle, uint16_t, uint16_t, uint16_t, uint16_t, uint32_t);
int __wrap__Z14file_set_timeslttttj(FileHandle file, uint16_t create_date, uint16_t create_time,
                                    uint16_t write_date, uint16_t write_time, uint32_t attributes) {
  int result = __real__Z14file_set_timeslttttj(file, create_date, create_time, write_date, write_time,
                                               attributes);
  note_call(HOOK_SET_TIMES);
  return result;
}

uint32_t __real__Z19file_get_attributesPKc(const char*);
uint32_t __wrap__Z19file_get_attributesPKc(const char* path) {
  uint32_t attributes = __real__Z19file_get_attributesPKc(path);
  note_call(HOOK_GET_ATTRIBUTES, attributes != NO_ATTRIBUTES);
  return attributes;
}

int __real__Z19file_set_attributesPKcj(const char*, uint32_t);
int __wrap__Z19file_set_attributesPKcj(const char* path, uint32_t attributes) {
  int result = __real__Z19file_set_attributesPKcj(path, attributes);
  note_call(HOOK_SET_ATTRIBUTES);
  return result;
}

int __real__Z11file_deletePKc(const char*);
int __wrap__Z11file_deletePKc(const char* path) {
  int result = __real__Z11file_deletePKc(path);
  note_call(HOOK_DELETE);
  return result;
}

int __real__Z13folder_createPKc(const char*);
int __wrap__Z13folder_createPKc(const char* path) {
  int result = __real__Z13folder_createPKc(path);
  State& s = state();
  if (s.recording && result) s.record.folders_made.push_back(path);
  note_call(HOOK_FOLDER_CREATE);
  return result;
}

int __real__Z11file_renamelPKcS0_(FileHandle, const char*, const char*);
int __wrap__Z11file_renamelPKcS0_(FileHandle file, const char* from, const char* to) {
  int result = __real__Z11file_renamelPKcS0_(file, from, to);
  State& s = state();
  // The file made under `from` now stands under `to`.
  if (s.recording && result) {
    for (CreatedFile& c : s.record.created) {
      if (c.path == from) c.path = to;
    }
  }
  note_call(HOOK_RENAME);
  return result;
}

// ---- the driver's and the decoder's entry points ----

int __real__Z13decode_memberljjjh(FileHandle, uint32_t, uint32_t, uint32_t, uint8_t);
int __wrap__Z13decode_memberljjjh(FileHandle file, uint32_t stream_pos, uint32_t stream_offset,
                                  uint32_t size, uint8_t flags) {
  InContext in(CTX_DECODE);
  int result = __real__Z13decode_memberljjjh(file, stream_pos, stream_offset, size, flags);
  // Cancelled with no inner poll answering: the poll before a block.
  note_cancel(CANCEL_BLOCK, result);
  return result;
}

int __real__Z20directory_walk_beginPhj(uint8_t*, uint32_t);
int __wrap__Z20directory_walk_beginPhj(uint8_t* dir_buffer, uint32_t directory_pos) {
  InContext in(CTX_DIRECTORY);
  return __real__Z20directory_walk_beginPhj(dir_buffer, directory_pos);
}

int __real__Z19directory_walk_nextPhP14DirectoryEntryPPKh(uint8_t*, DirectoryEntry*,
                                                           const uint8_t**);
int __wrap__Z19directory_walk_nextPhP14DirectoryEntryPPKh(uint8_t* dir_buffer,
                                                           DirectoryEntry* entry,
                                                           const uint8_t** name) {
  int result;
  {
    InContext in(CTX_DIRECTORY);
    result = __real__Z19directory_walk_nextPhP14DirectoryEntryPPKh(dir_buffer, entry, name);
  }
  State& s = state();
  if (s.recording && result == 0) {
    s.entry++;
    s.record.walked.push_back({*entry, std::string((const char*)*name, entry->name_len)});
  }
  return result;
}

int __real__Z18create_folder_pathPcS_i(char*, char*, int);
int __wrap__Z18create_folder_pathPcS_i(char* path, char* from, int mode) {
  InContext in(CTX_FOLDERS);
  return __real__Z18create_folder_pathPcS_i(path, from, mode);
}

int __real__Z12refill_inputv();
int __wrap__Z12refill_inputv() {
  int result = __real__Z12refill_inputv();
  note_cancel(CANCEL_REFILL, result);
  return result;
}

int32_t __real__Z11copy_storedPhj(uint8_t*, uint32_t);
int32_t __wrap__Z11copy_storedPhj(uint8_t* dest, uint32_t n) {
  int32_t result = __real__Z11copy_storedPhj(dest, n);
  note_cancel(CANCEL_STORED_COPY, result);
  return result;
}

int32_t __wrap__Z12decode_blockPhjj(uint8_t* out_base, uint32_t history, uint32_t want) {
  int32_t result = decode_block_switched(out_base, history, want);
  // A refill inside that answered first has been noted already, and stays.
  note_cancel(CANCEL_TABLE_SET, result);
  return result;
}

int __real__Z12filter_writelPKhjjji(FileHandle, const uint8_t*, uint32_t, uint32_t, uint32_t, int);
int __wrap__Z12filter_writelPKhjjji(FileHandle file, const uint8_t* piece, uint32_t n,
                                    uint32_t offset, uint32_t member_size, int last) {
  int result = __real__Z12filter_writelPKhjjji(file, piece, n, offset, member_size, last);
  note_cancel(CANCEL_FILTER, result);
  return result;
}

int __real__Z12report_errorPviPKci(void*, int, const char*, int);
int __wrap__Z12report_errorPviPKci(void* owner, int code, const char* name, int ask) {
  int stop = __real__Z12report_errorPviPKci(owner, code, name, ask);
  State& s = state();
  if (s.recording) s.record.reports.push_back({code, s.entry, name ? name : "", ask != 0, stop});
  return stop;
}

}  // extern "C"
