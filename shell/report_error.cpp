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
  const char* format;
  switch (code) {
    case ERR_CREATE: format = stub_config.fmt_create; break;
    case ERR_OPEN: format = stub_config.fmt_open; break;
    case READ_FAILED:
    case ERR_READ:
    case ERR_SEEK: format = stub_config.fmt_read; break;
    case ERR_WRITE: format = stub_config.fmt_write; break;
    case ERR_MKDIR: format = stub_config.fmt_mkdir; break;
    case ERR_CRC: format = stub_config.fmt_crc; break;
    case ERR_NOMEM: format = stub_config.text_nomem; break;
    case ERR_DAMAGED:
    case ERR_TRUNCATED: format = stub_config.text_damaged; break;
    default: return 0;  // no message: nothing shown, last_os_error kept
  }
  format_message(message_buffer, MESSAGE_BUFFER_SIZE, format, name, os_error_suffix());
  last_os_error = 0;  // a later message must not repeat this reason
  failures_reported++;
  uint32_t style = BOX_WARNING | (ask ? BOX_OK_CANCEL : BOX_OK);
  int answer = ui_message_box(owner, message_buffer, stub_config.title, style);
  // A failed box answers 0, which is not OK: an asking caller then stops.
  return ask && answer == ANSWER_OK ? 0 : 1;
}
