#pragma once
// Fault injection into the POSIX file layer, for tests. Host only.
//
// Every operation of platform_posix.cpp passes a fault point before its system
// call. A test arms an operation kind to fail at its n-th call; that call then
// fails exactly as if the OS had refused it with the given Windows error code:
// it returns its failure value and follows its own last_os_error rule (clears,
// records, the close rule, the disk-full rule: a write armed with 39 leaves 112).
// The other calls run normally.
//
// Typical use: run a scenario once to count the calls, then fail each in turn.
//
//   fault_reset();
//   run_scenario();
//   uint32_t writes = fault_calls(FAULT_WRITE);
//   for (uint32_t i = 1; i <= writes; i++) {
//     fault_reset();
//     fault_arm(FAULT_SHORT_WRITE, i);
//     EXPECT_EQ(run_scenario(), ERR_WRITE);
//     EXPECT_EQ(last_os_error, OS_DISK_FULL);
//   }
//   fault_reset();  // leave the layer clean for the next test
//
// Counting: each kind has a call counter, zeroed by fault_reset(). read_archive
// counts as FAULT_READ (it reads through file_read); mem_alloc and mem_resize
// both count as FAULT_ALLOC (mem_free is not counted); FAULT_SHORT_WRITE shares
// the counter of FAULT_WRITE. Nothing is counted before the first fault_reset()
// or fault_arm(), so a program that never calls them pays one well-predicted
// branch per operation.
#include <stdint.h>

enum FaultOp {
  FAULT_CREATE,          // file_create returns INVALID_FILE
  FAULT_OPEN,            // file_open returns INVALID_FILE
  FAULT_CLOSE,           // file_close closes the descriptor all the same, returns 0
  FAULT_READ,            // file_read / read_archive return -1 (file_pos unchanged)
  FAULT_WRITE,           // file_write returns -1 without writing
  FAULT_SHORT_WRITE,     // file_write really stores only half the bytes (rounded
                         // down), so the layer sees a short write: -1 and 112
  FAULT_SEEK,            // file_seek returns SEEK_FAILED, the position unchanged
  FAULT_SET_TIMES,       // file_set_times returns 0
  FAULT_GET_ATTRIBUTES,  // file_get_attributes returns NO_ATTRIBUTES
  FAULT_SET_ATTRIBUTES,  // file_set_attributes returns 0
  FAULT_DELETE,          // file_delete returns 0, the file stays
  FAULT_FOLDER_CREATE,   // folder_create returns 0, no folder made
  FAULT_ALLOC,           // mem_alloc / mem_resize return null (old block valid);
                         // last_os_error is untouched, as for a real failure
  FAULT_RENAME,          // file_rename returns 0, nothing moved
  FAULT_OP_COUNT
};

// How long an armed fault lasts.
enum FaultRepeat {
  FAULT_ONCE,        // only the n-th call fails
  FAULT_FROM_THEN_ON // the n-th call and every later one fail (a disk that stays full)
};

// Disarms every kind, zeroes every counter and starts counting.
void fault_reset();
// Makes the nth_call-th call of `op` from now on (1 = the next one) fail with
// os_error (a Windows error code; ignored for FAULT_SHORT_WRITE, which always
// ends in 112, and for FAULT_ALLOC). One arming per kind: arming a kind again
// replaces its earlier arming. FAULT_WRITE and FAULT_SHORT_WRITE may be armed
// together; at the same call the failure wins. Starts counting.
void fault_arm(FaultOp op, uint32_t nth_call, uint32_t os_error = 5,
               FaultRepeat repeat = FAULT_ONCE);
// Calls of `op` since the last fault_reset() (FAULT_SHORT_WRITE: writes).
uint32_t fault_calls(FaultOp op);
// Calls of `op` that failed by injection since the last fault_reset().
uint32_t fault_injected(FaultOp op);

// ---- used by platform_posix.cpp only ----
enum FaultAction { FAULT_NONE, FAULT_FAIL, FAULT_SHORT };
extern bool fault_counting;
// Counts one call of `op` and says whether it is to fail (with *os_error set)
// or, for FAULT_WRITE, to be a short write.
FaultAction fault_check(FaultOp op, uint32_t* os_error);
inline FaultAction fault_point(FaultOp op, uint32_t* os_error) {
  return fault_counting ? fault_check(op, os_error) : FAULT_NONE;
}
