#include "decode/decoder_state.h"

#include "decode/input.h"

// Zero-initialised at load (plain data, no constructor): no stream held, no
// window, an empty carry. The driver sets current_stream to -1 before use.
DecoderState decoder;

// Not in input.cpp: called from another object, every call of refill_input
// goes through the symbol that the tests' link-time hooks wrap.
int refill_reader(const uint8_t*& pos, uint32_t& bit_offset) {
  InputState& in = decoder.in;
  in.pos = pos;
  in.bit_offset = bit_offset;
  int result = refill_input();
  pos = in.pos;
  bit_offset = in.bit_offset;
  return result;
}

int poll_cancel() {
  if (decoder.drain_hook != nullptr) decoder.drain_hook();
  return decoder.cancel_requested;
}
