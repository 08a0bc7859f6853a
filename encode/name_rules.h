#pragma once
// Which member names the installer can create on Windows.
//
// A name is the member's path relative to the destination folder, in
// Windows-1252 with backslashes. Refused: an empty component; a component of
// more than 255 bytes; the names of devices (names_device in safe_name.h: CON,
// NUL, COM1, ... in any case, with or without an extension, "nul.txt" too);
// control characters (below 0x20) and < > : " / \ | ? * inside a component;
// a component ending in a dot or a space; and a name longer than
// MAX_NAME_LENGTH, so that the installer's paths (at most 259 characters)
// still fit under a destination folder of up to DESTINATION_ALLOWANCE
// characters.
#include <string>

namespace qev {

constexpr size_t DESTINATION_ALLOWANCE = 64;
constexpr size_t MAX_NAME_LENGTH = 259 - DESTINATION_ALLOWANCE - 1;  // 194, after "\"
// A longer name is packed with a warning: it leaves the user fewer than 100
// characters for the destination folder (the installer reports a member it
// cannot create there).
constexpr size_t DESTINATION_WARNING = 100;
constexpr size_t QUIET_NAME_LENGTH = 259 - DESTINATION_WARNING - 1;  // 158

// "" when Windows accepts the component (Windows-1252 bytes), else the reason.
std::string check_component(const std::string& component);
// "" when the whole relative name is acceptable, else the reason.
std::string check_name(const std::string& name);
// The name as Windows compares names: letters in one case (those of
// Windows-1252: a-z, the accented ones, š, œ, ž, ÿ), both separators as
// backslashes, and trailing dots and spaces dropped from every component, as
// Windows drops them. Names with the same key are one file on Windows.
std::string windows_key(const std::string& name);

}  // namespace qev
