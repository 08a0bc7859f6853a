#pragma once
// The fault double of the file layer exists in the host (POSIX) layer only.
// Tests that inject failures begin with REQUIRE_FAULTS(), which skips them
// where there is none (the Windows build under Wine); there the calls below
// do nothing.
#include <gtest/gtest.h>

#if QEV_HAS_FAULTS
#include "platform/fault.h"
#define REQUIRE_FAULTS() (void)0
#else
#include <stdint.h>
enum FaultOp { FAULT_READ, FAULT_WRITE, FAULT_SEEK, FAULT_ALLOC };
inline void fault_reset() {}
inline void fault_arm(FaultOp, uint32_t, uint32_t = 5) {}
inline uint32_t fault_calls(FaultOp) { return 0; }
#define REQUIRE_FAULTS() GTEST_SKIP() << "the file layer has no fault double here"
#endif
