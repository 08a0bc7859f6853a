// Planted for the layer check's own test: the decoder reaching up into the
// shell, which check_layers.sh must refuse.
#include "base/bytes.h"
#include "shell/stub_config.h"
