#include "block_test_support.h"

#include <gtest/gtest.h>

#include "decode/block_decoder.h"
#include "decode/decoder_state.h"
#include "decode/reference_decoder.h"
#include "decode_fixture.h"

namespace dectest {

Decoded decode_once(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& history,
                    uint32_t want, bool reference) {
  MemoryInput in(stream);
  std::vector<uint8_t> buffer(history.size() + want, 0xCD);
  std::copy(history.begin(), history.end(), buffer.begin());
  uint8_t* base = buffer.empty() ? nullptr : buffer.data();
  std::vector<uint8_t> one(1);
  if (base == nullptr) base = one.data();
  int32_t r = reference ? decode_block_reference(base, (uint32_t)history.size(), want)
                        : decode_block(base, (uint32_t)history.size(), want);
  Decoded d;
  d.result = r;
  d.out.assign(base, base + history.size() + (r > 0 ? r : 0));
  d.bits = in.bits_consumed();
  return d;
}

Decoded decode_both(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& history,
                    uint32_t want) {
  Decoded ref = decode_once(stream, history, want, true);
  Decoded fast = decode_once(stream, history, want, false);
  EXPECT_TRUE(ref == fast) << "reference " << ref.result << " at bit " << ref.bits
                           << ", fast " << fast.result << " at bit " << fast.bits;
  return fast;
}

}  // namespace dectest
