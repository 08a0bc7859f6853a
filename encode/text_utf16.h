#pragma once
// Windows-1252 text as UTF-16, the form in which Windows' resources (dialog
// templates, version records) hold their texts.
#include <string>

namespace qev {

// Every Windows-1252 character has one UTF-16 code unit; no terminator.
std::u16string utf16_of(const std::string& windows_text);

}  // namespace qev
