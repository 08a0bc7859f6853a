#include "platform/fault.h"

namespace {

struct Arming {
  bool armed;
  FaultRepeat repeat;
  uint32_t at_call;  // the counter value of the first call that fails
  uint32_t os_error;
};

Arming armings[FAULT_OP_COUNT];
uint32_t calls[FAULT_OP_COUNT];
uint32_t injected[FAULT_OP_COUNT];

// FAULT_SHORT_WRITE is a way for a write to fail, not an operation of its own.
FaultOp counter_of(FaultOp op) { return op == FAULT_SHORT_WRITE ? FAULT_WRITE : op; }

bool hits(FaultOp op, uint32_t call) {
  const Arming& a = armings[op];
  if (!a.armed) return false;
  return a.repeat == FAULT_ONCE ? call == a.at_call : call >= a.at_call;
}

}  // namespace

bool fault_counting = false;

void fault_reset() {
  for (int i = 0; i < FAULT_OP_COUNT; i++) {
    armings[i] = Arming{};
    calls[i] = 0;
    injected[i] = 0;
  }
  fault_counting = true;
}

void fault_arm(FaultOp op, uint32_t nth_call, uint32_t os_error, FaultRepeat repeat) {
  if (op < 0 || op >= FAULT_OP_COUNT) return;
  fault_counting = true;
  // nth_call 0 is taken as 1: "fail the next call".
  armings[op] = Arming{true, repeat, calls[counter_of(op)] + (nth_call ? nth_call : 1), os_error};
}

uint32_t fault_calls(FaultOp op) {
  return op >= 0 && op < FAULT_OP_COUNT ? calls[counter_of(op)] : 0;
}

uint32_t fault_injected(FaultOp op) {
  return op >= 0 && op < FAULT_OP_COUNT ? injected[op] : 0;
}

FaultAction fault_check(FaultOp op, uint32_t* os_error) {
  uint32_t call = ++calls[op];
  if (hits(op, call)) {
    injected[op]++;
    *os_error = armings[op].os_error;
    return FAULT_FAIL;
  }
  if (op == FAULT_WRITE && hits(FAULT_SHORT_WRITE, call)) {
    injected[FAULT_SHORT_WRITE]++;
    return FAULT_SHORT;
  }
  return FAULT_NONE;
}
