#pragma once
// Lumetra's icon (resources/lumetra.ico, 32 x 32 pixels in 16 colours), built
// into the packer: the installer's icon unless the publisher gives one. The
// stub carries none of its own, so that a publisher's installer does not
// carry Lumetra's too.
#include <stddef.h>
#include <stdint.h>

namespace qev {

extern const uint8_t DEFAULT_ICON[];
extern const size_t DEFAULT_ICON_SIZE;

}  // namespace qev
