#include "shell/stub_config.h"

#include "decode/decoder_state.h"

#define QEV_STUB_CONFIG_INIT                                                     \
  {                                                                             \
    {0}, DEFAULT_ARCHIVE_OFFSET, 0, 1, 1, 0, {42, 14, 28}, {288, 330, 344},     \
        {'Q', 'E', 'V', 'D', 'E', 0, 0, 0},                                     \
        {{32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},          \
         {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},          \
         {32768, 131072, 196608, 262144, 327680, 393216, 458752, 524288}},      \
        QEV_TITLE, QEV_PROGRAM_FILES, QEV_ALT_DESTINATION, QEV_DESTINATION,     \
        QEV_HELP_TEXT, QEV_INTRO_FORMAT, QEV_EMPTY_ARCHIVE, QEV_TEXT_NOMEM,     \
        QEV_FMT_OPEN, QEV_FMT_CREATE, QEV_FMT_READ, QEV_FMT_WRITE,              \
        QEV_FMT_MKDIR, QEV_TEXT_DAMAGED, QEV_FMT_CRC, QEV_PROMPT_FORMAT,        \
        QEV_OS_TEXTS, QEV_INVALID_NAME_CHARS, QEV_FONT_FACE, QEV_ROOT_FORMAT,   \
        QEV_STATUS_FORMAT, QEV_PROGRAM_NAME, QEV_UNINSTALL_SWITCH,              \
        QEV_DISPLAY_NAME, QEV_UNINSTALL_KEY, QEV_DISPLAY_NAME_VALUE,            \
        QEV_UNINSTALL_STRING_VALUE                                              \
  }

StubConfig stub_config = QEV_STUB_CONFIG_INIT;

static const StubConfig initial_config = QEV_STUB_CONFIG_INIT;

void config_signature(uint8_t* out) {
  const uint8_t* src = (const uint8_t*)&initial_config + CONFIG_SIGNATURE_OFFSET;
  for (size_t i = 0; i < CONFIG_SIGNATURE_SIZE; i++) out[i] = src[i];
}

void stub_config_reset() {
  const uint8_t* src = (const uint8_t*)&initial_config;
  uint8_t* dst = (uint8_t*)&stub_config;
  for (size_t i = 0; i < sizeof(StubConfig); i++) dst[i] = src[i];
}

void connect_decoder_to_config() {
  decoder.archive_base = stub_config.archive_base;
  decoder.cancel_requested = &stub_config.cancel_requested;
  decoder.window_sizes = stub_config.window_size_table;
  decoder.record_scratch = stub_config.local_record_scratch;
  decoder.dir_magic = stub_config.dir_magic;
}
