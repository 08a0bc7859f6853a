#pragma once
// Member streams for the entry stream and directory tests: member records
// laid out as the format has them, cut into stored and compressed blocks of
// chosen sizes, with the LZ77 window of each compressed block limited to the
// history the decoder keeps before it.
#include <stdint.h>

#include <string>
#include <vector>

namespace dectest {

typedef std::vector<uint8_t> Bytes;

// 11-byte local record, name, data and CRC word of one member.
Bytes member_record(const std::string& name, const Bytes& data, uint8_t flags);

struct BlockPlan {
  uint32_t size;           // bytes the block produces
  bool stored = false;
  uint32_t selector = 30;  // row 2, column 7: 524288 bytes of history
  uint32_t tables = 3;
  size_t per_set = 0;      // items per table set (0: one set)
};

// "QEVLH\0" and the frames of `decoded` cut as planned (the plan's sizes must
// add up to decoded.size()); the last frame carries the last-block flag.
Bytes encode_stream(const Bytes& decoded, const std::vector<BlockPlan>& plan);

// Byte offsets of the frames in a stream made by encode_stream (after the magic).
std::vector<size_t> frame_offsets(const Bytes& stream);

// The whole-member model of the call filter (width 2 or 4): an 0xE8 whose
// operand lies wholly in the member is a call; its operand is translated and
// skipped.
Bytes restore_calls_model(const Bytes& member, uint32_t width);

// Data that compress somewhat: text-like with repeats.
Bytes text_data(uint32_t seed, size_t n);

}  // namespace dectest
