#pragma once
// The compressed format's numbers, written once: the decoder bounds its tables
// by them, the writer codes to them, and the installer's configuration block
// takes its initial values from them.
//
// A table set holds the code lengths of 288 literal/length symbols, then of
// the distance tables at distance_starts: 42 and 14 symbols, and 28 more in a
// block with three distance tables. A block sends up to 63 sets, coded with
// the 21-symbol pre-code; every length is 0 (no code) to 16.
#include <stdint.h>

constexpr uint32_t LITLEN_SYMBOLS = 288;
constexpr uint32_t END_OF_SET = 256;
constexpr uint32_t PRECODE_SYMBOLS = 21;
constexpr uint32_t MAX_CODE_LENGTH = 16;
constexpr uint32_t MAX_SET_COUNT = 63;
constexpr uint32_t distance_sizes[3] = {42, 14, 28};
constexpr uint32_t distance_starts[3] = {LITLEN_SYMBOLS, LITLEN_SYMBOLS + 42,
                                         LITLEN_SYMBOLS + 42 + 14};
constexpr uint32_t SET_SIZE_TWO_TABLES = distance_starts[2];                       // 344
constexpr uint32_t SET_SIZE_THREE_TABLES = distance_starts[2] + distance_sizes[2];  // 372
// Up to this window (history + block) the default set's distance table 0
// codes distances up to 8192 only (symbols 0-27).
constexpr uint32_t SMALL_WINDOW = 8192;

// The history a compressed block keeps in front of it, by its 5-bit window
// selector: row = bits 0-1 (3 counts as 2), column = bits 2-4. Rows 0 and 1
// are alike. The last entry is the most history any block keeps.
constexpr uint32_t WINDOW_SIZES[3][8] = {
    {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},
    {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},
    {32768, 131072, 196608, 262144, 327680, 393216, 458752, 524288}};
constexpr uint32_t MAX_HISTORY = WINDOW_SIZES[2][7];  // 512 KiB
// The reader's window holds a stream's first block and 512 bytes more, and
// grows only when a block needs more, to that need and 512 bytes more. Before
// a stored block that is not the stream's last the reader keeps no more
// history than the window has room for beside the block, so this number
// decides what earlier output a later block may refer to: the writer models
// it (encode/reader_window.h), and it cannot change without changing which
// archives decode.
constexpr uint32_t WINDOW_SLACK = 512;
