#pragma once
// Result codes. Every operation returns 0 (or a count) on success and one of
// these negative codes on failure; codes travel upward unchanged until the
// driver or the dialog hands them to report_error. A failed archive read inside
// the decoders is passed up as the file layer's -1 (READ_FAILED); it is shown
// as ERR_READ, "Cannot read" with the installer's name and the OS reason.

constexpr int READ_FAILED = -1;
constexpr int ERR_NOMEM = -2;
constexpr int ERR_CREATE = -3;
constexpr int ERR_OPEN = -5;
constexpr int ERR_READ = -6;
constexpr int ERR_WRITE = -8;
constexpr int ERR_MKDIR = -9;
constexpr int ERR_DAMAGED = -11;
constexpr int ERR_CRC = -12;
constexpr int ERR_SEEK = -17;
constexpr int ERR_CANCELLED = -25;
constexpr int ERR_TRUNCATED = -50;
