#include "decode/decoder_state.h"

#include "shell/stub_config.h"

// Zero-initialised at load (plain data, no constructor): no stream held, no
// window, an empty carry. The driver sets current_stream to -1 before use.
DecoderState decoder;

int poll_cancel() {
  if (decoder.drain_hook != nullptr) decoder.drain_hook();
  return stub_config.cancel_requested;
}
