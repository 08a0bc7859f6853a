#pragma once
// Host only: how a signal stops a call of the POSIX file layer that it
// interrupts. Reads and writes that a signal interrupts are resumed, as
// ReadFile and WriteFile finish what they were asked; but once a signal
// handler (qev's Ctrl-C, SIGTERM) has set file_interrupted, an interrupted
// call gives up instead, with 995 (ERROR_OPERATION_ABORTED), so that a read
// from a pipe or a device that never delivers cannot hold the tool forever.
#include <signal.h>

extern volatile sig_atomic_t file_interrupted;
