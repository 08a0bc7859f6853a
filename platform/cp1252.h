#pragma once
// Windows-1252 <-> UTF-8 for names that cross between the archive (whose names
// are Windows-1252 bytes, the stub's ANSI code page) and a UTF-8 file system.
// Host only.
//
// The mapping is a bijection between the 256 byte values and 256 code points:
// 0x00-0x7F and 0xA0-0xFF are the same code points (ASCII and Latin-1),
// 0x80-0x9F are the Windows-1252 punctuation and letters (0x80 the euro sign
// U+20AC, 0x99 the trade mark U+2122, ...), and the five bytes that the code
// page leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) stand for the C1 controls of
// the same value (U+0081 ...), so any byte string survives a round trip.
// Every other code point has no Windows-1252 form.
//
// Both functions write a NUL-terminated string of at most out_size bytes
// (terminator included) and return true. They return false, leaving out
// holding the empty string (when out_size > 0), when the input cannot be
// converted or the result does not fit; nothing is ever written past out_size.
#include <stddef.h>

// Never fails on content: every byte has a UTF-8 form (of 1 to 3 bytes).
bool cp1252_to_utf8(const char* in, char* out, size_t out_size);
// False for input that is not valid UTF-8 (overlong forms, surrogates, code
// points above U+10FFFF, cut sequences) and for a character with no
// Windows-1252 form.
bool utf8_to_cp1252(const char* in, char* out, size_t out_size);
