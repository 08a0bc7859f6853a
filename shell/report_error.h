#pragma once
// The one place where a result code becomes words.

// The second message line for last_os_error ("\nAccess denied" ...), or "".
const char* os_error_suffix();
// Shows the message of `code` with `name` (null: exe_name; always exe_name for
// READ_FAILED, which reads as ERR_READ) in a box captioned
// with the title, owned by `owner` (null: none). Codes without a message show
// nothing and return 0, leaving last_os_error alone; shown messages clear it.
// Without ask returns 1; with ask (OK/Cancel) returns 0 for OK, 1 otherwise.
int report_error(void* owner, int code, const char* name, int ask);
