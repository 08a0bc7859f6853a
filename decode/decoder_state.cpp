#include "decode/decoder_state.h"

// Zero-initialised at load (plain data, no constructor): no stream held, no
// window, an empty carry. The driver sets current_stream to -1 before use.
DecoderState decoder;
