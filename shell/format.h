#pragma once
#include <stddef.h>

// Bounded message composition: the part of wsprintfA's formats that the
// messages use (%s, %c, %%), never writing more than `capacity` bytes with the
// terminator; a text that does not fit is cut. Each %s takes the next argument
// (null prints nothing); %c takes the first character of the next argument.
// Returns the length written, without the terminator.
size_t format_message(char* out, size_t capacity, const char* format, const char* arg1,
                      const char* arg2);
