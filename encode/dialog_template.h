#pragma once
// A classic dialog template (DLGTEMPLATE, the form the stub's resource
// script writes) with the product's texts put in: the caption, which the
// dialog shows as its title, and the text of one control. The packer writes
// the title into both dialogs and a publisher's notice into the main
// dialog's status line, so that the stub sets no text it does not compose,
// and Windows shows them from UTF-16 on every code page.
//
// The template: style, extended style, control count, position and size;
// the menu, the class and the caption; the font when DS_SETFONT is set; then
// each control on a 4-byte boundary: style, extended style, position, size,
// id, class, text and the length of its creation data, which follows.
#include <stdint.h>

#include <string>
#include <vector>

namespace qev {

// Replaces the caption by `caption` and, when `text` is not null, the text of
// the control `control_id` by *text. "" or why the template cannot be read
// (the extended form, or one cut short); then `dialog` is left as it was.
std::string set_dialog_texts(std::vector<uint8_t>& dialog, const std::u16string& caption,
                             uint16_t control_id, const std::u16string* text);

}  // namespace qev
