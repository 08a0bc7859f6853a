#include "shell/stub_config.h"

#include "archive/layout.h"
#include "decode/decoder_state.h"
#include "decode/format.h"
#include "shell/names.h"

// The destination buffer: zero-initialised, so its room takes no file space.
static char destination_buffer[DESTINATION_SIZE];

// In the stub the block goes behind all other initialised data (the linker
// sorts .data$ sections after .data), so that the room in product_texts is
// the zero tail that the build cuts off the file; aligned as its fields need,
// not as the compiler aligns large objects (32), which would put a gap of
// zeros in the file before it.
#ifdef _WIN32
#define QEV_CONFIG_SECTION __attribute__((section(".data$zconfig"), aligned(8)))
#else
#define QEV_CONFIG_SECTION
#endif

// The product texts' pointers always point into stub_config's own
// product_texts, also in initial_config, whose copy restores them.
#define QEV_PRODUCT_TEXT(at) (stub_config.product_texts + (at))

// The format's numbers that the block repeats (and the packer finds it by),
// taken from their one definition: three entries of a table from entry i on.
#define QEV_THREE(table, i) table[i], table[i + 1], table[i + 2]

#define QEV_WINDOW_ROW(r)                                                      \
  QEV_THREE(WINDOW_SIZES[r], 0), QEV_THREE(WINDOW_SIZES[r], 3), WINDOW_SIZES[r][6], \
      WINDOW_SIZES[r][7]

#define QEV_STUB_CONFIG_INIT                                                     \
  {                                                                             \
    {0}, DEFAULT_ARCHIVE_OFFSET, 0, 1, 1, 0,                                    \
        {QEV_THREE(distance_sizes, 0)}, {QEV_THREE(distance_starts, 0)},       \
        {QEV_THREE(DIR_BLOCK_MAGIC, 0), QEV_THREE(DIR_BLOCK_MAGIC, 3), 0, 0},   \
        {{QEV_WINDOW_ROW(0)}, {QEV_WINDOW_ROW(1)}, {QEV_WINDOW_ROW(2)}},        \
        QEV_PRODUCT_TEXT(PRODUCT_TITLE_AT), QEV_PROGRAM_FILES,                  \
        QEV_PRODUCT_TEXT(PRODUCT_ALT_DESTINATION_AT), destination_buffer,       \
        QEV_HELP_TEXT, QEV_INTRO_FORMAT, QEV_EMPTY_ARCHIVE, QEV_TEXT_NOMEM,     \
        QEV_FMT_OPEN, QEV_FMT_CREATE, QEV_FMT_READ, QEV_FMT_WRITE,              \
        QEV_FMT_MKDIR, QEV_TEXT_DAMAGED, QEV_FMT_CRC, QEV_PROMPT_FORMAT,        \
        QEV_OS_TEXTS, QEV_INVALID_NAME_CHARS, QEV_FONT_FACE, QEV_ROOT_FORMAT,   \
        QEV_STATUS_FORMAT, QEV_PRODUCT_TEXT(PRODUCT_PROGRAM_AT),                \
        QEV_PRODUCT_TEXT(PRODUCT_UNINSTALL_KEY_AT),                             \
        QEV_PRODUCT_TEXT(PRODUCT_VALUES_AT),                                    \
        QEV_PRODUCT_TEXT(PRODUCT_DESTINATION_AT),                               \
        QEV_PRODUCT_TEXT(PRODUCT_DONE_FORMAT_AT), 1, DEFAULT_DESTINATION_MAX,   \
        0, QEV_PRODUCT_TEXTS                                                    \
  }

QEV_CONFIG_SECTION StubConfig stub_config = QEV_STUB_CONFIG_INIT;

static const StubConfig initial_config = QEV_STUB_CONFIG_INIT;

void config_signature(uint8_t* out) {
  const uint8_t* src = (const uint8_t*)&initial_config + CONFIG_SIGNATURE_OFFSET;
  for (size_t i = 0; i < CONFIG_SIGNATURE_SIZE; i++) out[i] = src[i];
}

void stub_config_reset() {
  const uint8_t* src = (const uint8_t*)&initial_config;
  uint8_t* dst = (uint8_t*)&stub_config;
  for (size_t i = 0; i < sizeof(StubConfig); i++) dst[i] = src[i];
  str_copy(destination_buffer, DESTINATION_SIZE, stub_config.preset_destination);
  decoder.cancel_requested = 0;
}

void connect_decoder_to_config() {
  decoder.window_sizes = stub_config.window_size_table;
}
