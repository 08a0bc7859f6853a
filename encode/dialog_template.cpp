#include "encode/dialog_template.h"

#include "archive/layout.h"

namespace qev {

namespace {

constexpr uint32_t DS_SETFONT = 0x40;
constexpr size_t HEADER_SIZE = 18;
constexpr size_t ITEM_SIZE = 18;

struct Reader {
  const std::vector<uint8_t>& in;
  size_t at;
  bool bad = false;
  uint16_t word() {
    if (at + 2 > in.size()) {
      bad = true;
      return 0;
    }
    uint16_t v = load_le16(&in[at]);
    at += 2;
    return v;
  }
  // A name or ordinal: 0 (none), 0xFFFF and an ordinal, or a terminated
  // UTF-16 text; its bytes as they stand.
  std::vector<uint8_t> name() {
    const size_t start = at;
    const uint16_t first = word();
    if (first == 0xFFFF) {
      word();
    } else if (first != 0) {
      while (!bad && word() != 0) {
      }
    }
    return bad ? std::vector<uint8_t>() : std::vector<uint8_t>(in.begin() + start, in.begin() + at);
  }
  void align() { at = (at + 3) & ~(size_t)3; }
};

void put_text(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t unit : text) {
    out.push_back((uint8_t)unit);
    out.push_back((uint8_t)(unit >> 8));
  }
  out.push_back(0);
  out.push_back(0);
}

void align(std::vector<uint8_t>& out) {
  while (out.size() % 4) out.push_back(0);
}

}  // namespace

std::string set_dialog_texts(std::vector<uint8_t>& dialog, const std::u16string& caption,
                             uint16_t control_id, const std::u16string* text) {
  if (dialog.size() < HEADER_SIZE) return "the dialog template is cut short";
  if (load_le16(&dialog[0]) == 1 && load_le16(&dialog[2]) == 0xFFFF)
    return "the dialog template is of the extended form";
  const uint32_t style = load_le32(&dialog[0]);
  const uint16_t count = load_le16(&dialog[8]);
  Reader in{dialog, HEADER_SIZE};
  std::vector<uint8_t> out(dialog.begin(), dialog.begin() + HEADER_SIZE);
  std::vector<uint8_t> menu = in.name(), window_class = in.name();
  in.name();  // the old caption
  out.insert(out.end(), menu.begin(), menu.end());
  out.insert(out.end(), window_class.begin(), window_class.end());
  put_text(out, caption);
  if (style & DS_SETFONT) {
    const size_t start = in.at;
    in.word();  // point size
    in.name();
    if (!in.bad) out.insert(out.end(), dialog.begin() + start, dialog.begin() + in.at);
  }
  for (uint16_t i = 0; i < count && !in.bad; i++) {
    in.align();
    align(out);
    if (in.at + ITEM_SIZE > dialog.size()) return "the dialog template is cut short";
    const uint16_t id = load_le16(&dialog[in.at + 16]);
    out.insert(out.end(), dialog.begin() + in.at, dialog.begin() + in.at + ITEM_SIZE);
    in.at += ITEM_SIZE;
    std::vector<uint8_t> item_class = in.name(), item_text = in.name();
    const size_t extra_at = in.at;
    const uint16_t extra = in.word();
    if (in.bad || extra_at + 2 + extra > dialog.size()) return "the dialog template is cut short";
    in.at += extra;
    out.insert(out.end(), item_class.begin(), item_class.end());
    if (text && id == control_id) {
      put_text(out, *text);
    } else {
      out.insert(out.end(), item_text.begin(), item_text.end());
    }
    out.insert(out.end(), dialog.begin() + extra_at, dialog.begin() + extra_at + 2 + extra);
  }
  if (in.bad) return "the dialog template is cut short";
  dialog = out;
  return "";
}

}  // namespace qev
