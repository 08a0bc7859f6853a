#pragma once
// What the shell needs of its surroundings that differs between the Windows
// stub, the host tool and the tests. Each program links exactly one
// implementation: ui_win32.cpp (the stub), cli/ui_host.cpp (qev), a recording
// fake in the tests.
#include <stdint.h>

// Message box styles and answers (the Windows values).
constexpr uint32_t BOX_OK = 0x00;
constexpr uint32_t BOX_OK_CANCEL = 0x01;
constexpr uint32_t BOX_WARNING = 0x30;  // MB_ICONEXCLAMATION
constexpr uint32_t BOX_INFORMATION = 0x40;  // MB_ICONINFORMATION
constexpr int ANSWER_OK = 1;            // IDOK
constexpr int ANSWER_CANCEL = 2;        // IDCANCEL

// Overwrite prompt answers (the prompt's button ids).
constexpr int PROMPT_YES_TO_ALL = 108;
constexpr int PROMPT_YES = 109;
constexpr int PROMPT_NO = 110;

// MessageBoxA(owner, text, caption, style): the answer, or 0 when the box fails.
int ui_message_box(void* owner, const char* text, const char* caption, uint32_t style);
// The overwrite prompt for the path now in stub_config.destination: 108, 109,
// 110, or anything else (taken as Yes).
int ui_overwrite_prompt();
// The main dialog's status line (control 102).
void ui_set_status(void* window, const char* text);
// Dispatches pending window messages without waiting (may set cancel_requested).
void drain_message_queue();
// While a member is decoded: the driver's drain_hook (decoder_state.h), which
// the decoders call wherever they poll cancel_requested, every few kilobytes
// of output. It drains the queue now and then (the stub: at most every 50 ms,
// since every drain asks the window system), so that the dialog repaints and
// Cancel or the close box take effect during a long member.
void pump_messages();
// GetVolumeInformationA on the root (e.g. "C:\"), asking only for the maximum
// component length. 1 and *max_component set, or 0 on failure.
int ui_volume_max_component(const char* root, uint32_t* max_component);
// Starts the installed program (CreateProcessA, a normal window) without
// waiting for it; `command_line` is its full path in double quotes, so that
// a path with spaces cannot start another program. The result is ignored.
void ui_start_program(const char* command_line);
// RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, ..., KEY_SET_VALUE): 1 and *key, or 0.
int ui_registry_create(const char* subkey, void** key);
// Registry value types (the Windows values).
constexpr uint32_t REGISTRY_TEXT = 1;    // REG_SZ: a NUL-terminated text
constexpr uint32_t REGISTRY_NUMBER = 4;  // REG_DWORD: a 32-bit number
// RegSetValueExA(key, name, 0, type, data, size); result ignored by callers.
void ui_registry_set(void* key, const char* name, uint32_t type, const void* data, uint32_t size);
void ui_registry_close(void* key);
