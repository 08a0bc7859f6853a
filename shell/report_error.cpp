#include "shell/report_error.h"

#include "platform/platform.h"
#include "shell/format.h"
#include "shell/names.h"
#include "base/result_codes.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

namespace {

// Windows error codes that have a second line, in the order of their lines
// among the texts of os_error_texts (whose first, 0, is the empty text). 39
// shares "Disk full" with 112; 50 to 71, the network errors, are a range
// handled apart.
const uint8_t kOsCodes[] = {2, 3, 5, 15, 19, 21, 25, 26, 27, 29, 30, 31, 112, 80, 161};
constexpr uint32_t NETWORK_TEXT = 16;
constexpr uint32_t NETWORK_FIRST = 50;
constexpr uint32_t NETWORK_LAST = 71;

// The text of each result code, by -code: its distance past text_nomem in
// the configuration block (the texts lie one after another from there to
// fmt_crc), plus 1; 0 for a code without a text. A table rather than a
// switch: the stub's switches are chains of compares, some 80 bytes more.
#define QEV_TEXT_AT(field) (offsetof(StubConfig, field) - offsetof(StubConfig, text_nomem) + 1)
const uint8_t kTextAt[] = {
    0,                          // 0
    QEV_TEXT_AT(fmt_read),      // READ_FAILED: the installer's own file
    QEV_TEXT_AT(text_nomem),    // ERR_NOMEM
    QEV_TEXT_AT(fmt_create),    // ERR_CREATE
    0,
    QEV_TEXT_AT(fmt_open),      // ERR_OPEN
    QEV_TEXT_AT(fmt_read),      // ERR_READ
    0,
    QEV_TEXT_AT(fmt_write),     // ERR_WRITE
    QEV_TEXT_AT(fmt_mkdir),     // ERR_MKDIR
    0,
    QEV_TEXT_AT(text_damaged),  // ERR_DAMAGED, and ERR_TRUNCATED
    QEV_TEXT_AT(fmt_crc),       // ERR_CRC
    0, 0, 0, 0,
    QEV_TEXT_AT(fmt_read),      // ERR_SEEK
};
#undef QEV_TEXT_AT
static_assert(offsetof(StubConfig, fmt_crc) - offsetof(StubConfig, text_nomem) < 255,
              "every text's distance fits a byte");
static_assert(-READ_FAILED == 1 && -ERR_NOMEM == 2 && -ERR_CREATE == 3 && -ERR_OPEN == 5 &&
                  -ERR_READ == 6 && -ERR_WRITE == 8 && -ERR_MKDIR == 9 && -ERR_DAMAGED == 11 &&
                  -ERR_CRC == 12 && -ERR_SEEK == 17 && sizeof(kTextAt) == 18,
              "the table follows the result codes");

}  // namespace

const char* os_error_suffix() {
  const uint32_t code = last_os_error == OS_HANDLE_DISK_FULL ? OS_DISK_FULL : last_os_error;
  uint32_t index = 0;
  for (uint32_t i = 0; i < sizeof(kOsCodes); i++) {
    if (code == kOsCodes[i]) index = i + 1;
  }
  if (code >= NETWORK_FIRST && code <= NETWORK_LAST) index = NETWORK_TEXT;
  const char* text = stub_config.os_error_texts;
  while (index-- > 0) text += str_length(text) + 1;
  return text;
}

int report_error(void* owner, int code, const char* name, int ask) {
  // The file layer's failed read is a read of the installer's own file,
  // whatever output path the caller was at.
  if (!name || code == READ_FAILED) name = exe_name;
  // A format taking the name and the OS line; the texts without an OS line
  // take neither, or the name alone.
  const uint32_t index = code == ERR_TRUNCATED ? (uint32_t)-ERR_DAMAGED : 0u - (uint32_t)code;
  const uint32_t at = index < sizeof(kTextAt) ? kTextAt[index] : 0;
  if (at == 0) return 0;  // no message: nothing shown, last_os_error kept
  // Counted from the block itself: the text lies beyond text_nomem's array.
  const char* format =
      (const char*)&stub_config + offsetof(StubConfig, text_nomem) + (at - 1);
  format_message(message_buffer, MESSAGE_BUFFER_SIZE, format, name, os_error_suffix());
  last_os_error = 0;  // a later message must not repeat this reason
  failures_reported++;
  uint32_t style = BOX_WARNING | (ask ? BOX_OK_CANCEL : BOX_OK);
  int answer = ui_message_box(owner, message_buffer, stub_config.title, style);
  // A failed box answers 0, which is not OK: an asking caller then stops.
  return ask && answer == ANSWER_OK ? 0 : 1;
}
