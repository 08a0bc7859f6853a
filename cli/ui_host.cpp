// shell/ui.h for the host tool. See host_ui.h.
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <vector>

#include "cli/host_ui.h"
#include "platform/cp1252.h"
#include "shell/format.h"
#include "shell/safe_name.h"
#include "shell/shell_state.h"
#include "shell/stub_config.h"
#include "shell/ui.h"

HostUi host_ui;

std::string host_display(const char* text, size_t length, bool line_breaks) {
  std::string shown;
  for (size_t i = 0; i < length; i++) {
    // Character by character, so that a NUL cannot end the text early and
    // hide the rest of a name.
    if (text[i] == 0) {
      shown += "\\x00";
      continue;
    }
    const char one[2] = {text[i] == '\\' ? '/' : text[i], 0};
    char utf8[4];
    shown += terminal_safe(cp1252_to_utf8(one, utf8, sizeof(utf8)) ? utf8 : one, line_breaks);
  }
  return shown;
}

std::string host_display(const char* text) { return host_display(text, strlen(text)); }

std::string terminal_safe(const std::string& text, bool line_breaks) {
  std::string safe;
  for (size_t i = 0; i < text.size(); i++) {
    const unsigned char c = (unsigned char)text[i];
    const unsigned char next = i + 1 < text.size() ? (unsigned char)text[i + 1] : 0;
    char hex[8];
    if (c == '\\') {
      safe += "\\\\";
    } else if (c == '\t') {
      safe += "\\t";
    } else if (c == '\n') {
      safe += line_breaks ? "\n" : "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      snprintf(hex, sizeof hex, "\\x%02X", c);
      safe += hex;
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      // A C1 control in UTF-8 (Windows-1252 leaves five bytes that become one).
      snprintf(hex, sizeof hex, "\\x%02X", next);
      safe += hex;
      i++;
    } else {
      safe += (char)c;
    }
  }
  return safe;
}

const char* refusal_text(int refusal) {
  switch (refusal) {
    case NAME_LEAVES: return "the name leaves the destination folder";
    case NAME_DEVICE: return "the name is a device's, not a file's";
    case NAME_CONTROL: return "the name holds a control character";
    default: return "the name is refused";
  }
}

void host_ui_end_status() {
  if (!host_ui.status_shown) return;
  fputs("\r\033[K", host_ui.err);
  fflush(host_ui.err);
  host_ui.status_shown = false;
}

void host_ui_fail(const char* format, ...) {
  host_ui_end_status();
  fprintf(host_ui.err, "%s: ", host_ui.prefix.c_str());
  va_list args;
  va_start(args, format);
  vfprintf(host_ui.err, format, args);
  va_end(args);
  fputc('\n', host_ui.err);
  host_ui.warnings++;
}

namespace {

// A line of the user's answer, lower-cased first character; 0 at the end of input.
int read_answer() {
  char line[64];
  if (!fgets(line, sizeof(line), host_ui.in)) return 0;
  for (char* p = line; *p; p++) {
    if (*p != ' ' && *p != '\t') return *p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p;
  }
  return '\n';
}

// Cuts a UTF-8 text to `columns` characters, so that the line can be redrawn.
std::string fit_columns(const std::string& text, size_t columns) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); i++) {
    if (((unsigned char)text[i] & 0xC0) != 0x80 && count++ == columns) return text.substr(0, i);
  }
  return text;
}

}  // namespace

int ui_message_box(void*, const char* text, const char* caption, uint32_t style) {
  (void)caption;
  host_ui_end_status();
  std::string line = host_display(text, strlen(text), true);
  for (size_t at; (at = line.find('\n')) != std::string::npos;) {
    bool own_line = at + 1 < line.size() && line[at + 1] >= 'A' && line[at + 1] <= 'Z';
    line.replace(at, 1, own_line ? ": " : " ");
  }
  fprintf(host_ui.err, "%s: %s\n", host_ui.prefix.c_str(), line.c_str());
  if (style & BOX_WARNING) {
    host_ui.warnings++;
    if (host_ui.replacing == 1) host_ui.replaced--;  // the old file was not replaced after all
    host_ui.replacing = 0;
  }
  if ((style & 0x0F) != BOX_OK_CANCEL) return ANSWER_OK;
  if (!host_ui.interactive) return ANSWER_OK;
  for (;;) {
    fputs("[o]k to go on, [c]ancel to stop: ", host_ui.err);
    fflush(host_ui.err);
    int answer = read_answer();
    if (answer == 'o') return ANSWER_OK;
    if (answer == 'c' || answer == 0) return ANSWER_CANCEL;
  }
}

namespace {

int ask_overwrite() {
  if (host_ui.overwrite == SKIP_EXISTING) return PROMPT_NO;
  if (host_ui.overwrite == OVERWRITE_ALL) return PROMPT_YES;
  host_ui_end_status();
  format_message(message_buffer, MESSAGE_BUFFER_SIZE, stub_config.prompt_format,
                 stub_config.destination, nullptr);
  std::string question = host_display(message_buffer);
  for (;;) {
    fprintf(host_ui.err, "%s [y]es, [n]o, [a]ll: ", question.c_str());
    fflush(host_ui.err);
    int answer = read_answer();
    if (answer == 'y') return PROMPT_YES;
    if (answer == 'a') return PROMPT_YES_TO_ALL;
    if (answer == 'n' || answer == 0) return PROMPT_NO;  // no answer keeps the file
  }
}

}  // namespace

// "All" is kept here rather than handed to the driver, which would then stop
// asking, so that every replaced file is still seen and counted.
int ui_overwrite_prompt() {
  int answer = ask_overwrite();
  if (answer == PROMPT_NO) {
    host_ui.kept++;
    if (host_ui.verbose) fprintf(host_ui.out, "Keeping %s\n", host_display(stub_config.destination).c_str());
    return PROMPT_NO;
  }
  if (answer == PROMPT_YES_TO_ALL) host_ui.overwrite = OVERWRITE_ALL;
  host_ui.replaced++;
  host_ui.replacing = 2;
  if (host_ui.verbose) fprintf(host_ui.out, "Replacing %s\n", host_display(stub_config.destination).c_str());
  return PROMPT_YES;
}

void ui_set_status(void*, const char* text) {
  host_ui.statuses++;
  host_ui.replacing = host_ui.replacing == 2 ? 1 : 0;
  if (host_ui.verbose) fprintf(host_ui.out, "%s\n", host_display(text).c_str());
  if (!host_ui.progress) return;
  size_t columns = 80;
  struct winsize ws;
  if (ioctl(fileno(host_ui.err), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1) columns = ws.ws_col;
  std::string line = fit_columns(host_display(text), columns - 1);
  fprintf(host_ui.err, "\r\033[K%s", line.c_str());
  fflush(host_ui.err);
  host_ui.status_shown = true;
}

void drain_message_queue() {}

void pump_messages() {}

int ui_volume_max_component(const char*, uint32_t* max_component) {
  *max_component = 255;  // host file systems keep long names
  return 1;
}

void ui_start_program(const char*) {}

int ui_registry_create(const char*, void**) { return 0; }

void ui_registry_set(void*, const char*, uint32_t, const void*, uint32_t) {}

void ui_registry_close(void*) {}
