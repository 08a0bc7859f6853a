#pragma once
// Whether a member's name, appended to the destination folder, may be
// extracted there. Windows takes both the backslash and the slash as
// separators, so both count. A name is refused when it
//   - names no member inside the destination: it is empty (the destination
//     itself), or it leaves (or may leave) it: it starts with a separator
//     (absolute on the current drive, or a network path), holds a colon
//     anywhere (a drive, a drive-relative path, a data stream), or has a
//     component made only of dots and spaces with two dots or more ("..", and
//     forms such as ".. " or "..." that Windows may trim to "..");
//   - has a component that Windows opens as a device, not a file
//     (names_device);
//   - holds a control character (below 0x20), which no Windows name holds; a
//     NUL would also end the path before the rest was checked.
// Such names are never extracted; everything else is left as the archive says.
#include <stdint.h>

enum NameRefusal { NAME_OK, NAME_LEAVES, NAME_DEVICE, NAME_CONTROL };

// NAME_OK, or why the name is refused.
int name_refusal(const uint8_t* name, uint32_t len);

// Whether the component [start, end) names a device: CON, PRN, AUX, NUL,
// COM0-COM9, LPT0-LPT9 (also with the superscript digits 1, 2, 3 of
// Windows-1252), CONIN$ or CONOUT$, in any case. Windows looks at the part
// before the first dot, once trailing dots and spaces are dropped from the
// component and trailing spaces from that part: "nul.txt", "NUL .txt",
// "com1.log", "aux." all name devices.
int names_device(const uint8_t* start, const uint8_t* end);
