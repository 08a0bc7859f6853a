#pragma once
// Whether a member's name, appended to the destination folder, stays inside it.
// Windows takes both the backslash and the slash as separators, so both count.
// A name leaves (or may leave) the destination when it
//   - starts with a separator (absolute on the current drive, or a network path),
//   - holds a colon anywhere (a drive, a drive-relative path, a data stream),
//   - has a component made only of dots and spaces with two dots or more
//     ("..", and forms such as ".. " or "..." that Windows may trim to ".."),
//   - holds a NUL byte (the path would end there, before the rest was checked).
// Such names are never extracted; everything else is left as the archive says.
#include <stdint.h>

int name_stays_inside(const uint8_t* name, uint32_t len);
