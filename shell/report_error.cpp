#include "shell/report_error.h"

#include "platform/platform.h"
#include "shell/format.h"
#include "shell/names.h"
#include "shell/result_codes.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

namespace {

// Windows error codes that have a second line, and the index of that line
// among the texts of os_error_texts (0 is the empty text). 39 and 112 share
// "Disk full"; 50 to 71, the network errors, are a range handled apart.
const uint8_t kOsCodes[] = {2, 3, 5, 15, 19, 21, 25, 26, 27, 29, 30, 31, 39, 80, 112, 161};
const uint8_t kOsTextIndex[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 13, 15};
constexpr uint32_t NETWORK_TEXT = 16;
constexpr uint32_t NETWORK_FIRST = 50;
constexpr uint32_t NETWORK_LAST = 71;

}  // namespace

const char* os_error_suffix() {
  uint32_t index = 0;
  for (uint32_t i = 0; i < sizeof(kOsCodes); i++) {
    if (last_os_error == kOsCodes[i]) index = kOsTextIndex[i];
  }
  if (last_os_error >= NETWORK_FIRST && last_os_error <= NETWORK_LAST) index = NETWORK_TEXT;
  const char* text = stub_config.os_error_texts;
  while (index-- > 0) text += str_length(text) + 1;
  return text;
}

int report_error(void* owner, int code, const char* name, int ask) {
  // The file layer's failed read is a read of the installer's own file,
  // whatever output path the caller was at.
  if (!name || code == READ_FAILED) name = exe_name;
  const char* format = 0;      // a format taking the name and the OS line
  const char* fixed = 0;       // a text shown as it stands
  int with_os_line = 1;
  switch (code) {
    case ERR_CREATE: format = stub_config.fmt_create; break;
    case ERR_OPEN: format = stub_config.fmt_open; break;
    case READ_FAILED:
    case ERR_READ:
    case ERR_SEEK: format = stub_config.fmt_read; break;
    case ERR_WRITE: format = stub_config.fmt_write; break;
    case ERR_MKDIR: format = stub_config.fmt_mkdir; break;
    case ERR_CRC:
      format = stub_config.fmt_crc;
      with_os_line = 0;
      break;
    case ERR_NOMEM: fixed = stub_config.text_nomem; break;
    case ERR_DAMAGED:
    case ERR_TRUNCATED: fixed = stub_config.text_damaged; break;
    default: return 0;  // no message: nothing shown, last_os_error kept
  }
  if (format) {
    format_message(message_buffer, MESSAGE_BUFFER_SIZE, format, name,
                   with_os_line ? os_error_suffix() : 0);
  } else {
    str_copy(message_buffer, MESSAGE_BUFFER_SIZE, fixed);
  }
  last_os_error = 0;  // a later message must not repeat this reason
  failures_reported++;
  uint32_t style = BOX_WARNING | (ask ? BOX_OK_CANCEL : BOX_OK);
  int answer = ui_message_box(owner, message_buffer, stub_config.title, style);
  // A failed box answers 0, which is not OK: an asking caller then stops.
  return ask && answer == ANSWER_OK ? 0 : 1;
}
