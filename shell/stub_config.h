#pragma once
// StubConfig: the installer's configuration block. It sits in the stub's
// initialised data; its values are the product settings of this build. At run
// time only overwrite_all, short_names and the text in the destination buffer
// change. Three fields keep their place only for the layout that stubs and the
// packer share, and are not used: the member record's head, the cancel flag
// and archive_base now belong to the decoders (entry_stream.cpp, DecoderState).
//
// The packer finds the block inside a built stub by its constant run from
// distance_sizes to window_size_table (CONFIG_SIGNATURE_*), which occurs exactly
// once in a stub, and patches archive_offset, which lies at a fixed distance
// before it. In a stub of this layout (product_layout_found, encode/) it also
// sets total_size, and for a publisher's product it rewrites the product texts
// and the fields after them (encode/product_settings.h).
//
// Texts are 8-bit ANSI (Windows-1252), NUL-terminated. The fixed texts are
// stored inline. The product's texts are pointers into product_texts, the
// block's last field, where they lie back to back: the stub keeps the block
// at the very end of its initialised data (QEV_CONFIG_SECTION), so the unused
// room behind them costs the file nothing, and the packer can write longer
// texts into that room by letting the section's file data reach further.
#include <stddef.h>
#include <stdint.h>

#define QEV_TITLE "Lumetra Installation"
#define QEV_PROGRAM_FILES "C:\\Program Files"
#define QEV_ALT_DESTINATION "C:\\Program Files\\Lumetra"
#define QEV_DESTINATION "C:\\Lumetra"
#define QEV_HELP_TEXT                                                            \
  "This is a self-extracting QEV archive. To extract the contents to disk,\n"   \
  "specify a folder name in the edit box, and click the Extract button.\n"      \
  "If the folder does not exist, it will be created."
#define QEV_INTRO_FORMAT \
  "Click the Extract button to extract all files in %s to the specified folder."
#define QEV_EMPTY_ARCHIVE "Archive contains no files"
#define QEV_TEXT_NOMEM "Not enough memory"
#define QEV_FMT_OPEN "Cannot open %s%s"
#define QEV_FMT_CREATE "Cannot create %s%s"
#define QEV_FMT_READ "Cannot read %s%s"
#define QEV_FMT_WRITE "Cannot write %s%s"
#define QEV_FMT_MKDIR "Cannot create folder %s%s"
#define QEV_TEXT_DAMAGED \
  "Archive data is damaged, probably caused by\na corrupt disk or download error"
#define QEV_FMT_CRC "File \"%s\" fails error check"
#define QEV_PROMPT_FORMAT "File \"%s\" already exists. Do you want to replace it?"
// Seventeen second lines for OS errors, back to back, each NUL-terminated; the
// first is the empty text. os_error_suffix walks them by index.
#define QEV_OS_TEXTS                                                            \
  "\0\nFile not found\0\nPath not found\0\nAccess denied\0\nInvalid drive\0"    \
  "\nDisk is write protected\0\nDevice not ready\0\nTrack not found\0"          \
  "\nNot a DOS disk\0\nSector not found\0\nWrite fault\0\nRead fault\0"         \
  "\nGeneral failure\0\nDisk full\0\nFile exists\0\nInvalid path\0"             \
  "\nNetwork error"
#define QEV_INVALID_NAME_CHARS ". :*?\"<>|/"
#define QEV_FONT_FACE "Helv"
#define QEV_ROOT_FORMAT "%c:\\"
#define QEV_STATUS_FORMAT "Extracting %s"
#define QEV_PROGRAM_NAME "lumetra.exe"
#define QEV_UNINSTALL_SWITCH " /uninstall"
#define QEV_DISPLAY_NAME "Lumetra"
#define QEV_UNINSTALL_KEY_BASE "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
#define QEV_UNINSTALL_KEY QEV_UNINSTALL_KEY_BASE QEV_DISPLAY_NAME
#define QEV_DISPLAY_NAME_VALUE "DisplayName"
#define QEV_UNINSTALL_STRING_VALUE "UninstallString"

// The values of the uninstall key, as pairs of texts: a value's name, then
// its data, whose first character says what it is:
//   s  the text that follows (REG_SZ)
//   d  the decimal number that follows (REG_DWORD)
//   p  the program's full path in double quotes, then the text that follows
//      (REG_SZ): "p /uninstall" is the uninstall command
//   f  the destination folder, without a separator at its end (REG_SZ)
// An empty name ends the list.
#define QEV_REGISTRY_VALUES                                          \
  QEV_DISPLAY_NAME_VALUE "\0s" QEV_DISPLAY_NAME "\0"                 \
  QEV_UNINSTALL_STRING_VALUE "\0p" QEV_UNINSTALL_SWITCH "\0"
// Registry value kinds, the first character of a value's data.
constexpr char VALUE_TEXT = 's';
constexpr char VALUE_NUMBER = 'd';
constexpr char VALUE_PROGRAM = 'p';
constexpr char VALUE_FOLDER = 'f';

// The stub image size that the block presets as the archive offset; also the
// stub's size budget (scripts/stub-budget.sh reads it from here).
constexpr uint32_t DEFAULT_ARCHIVE_OFFSET = 0x5000;  // 20480
constexpr uint32_t DESTINATION_SIZE = 261;             // 260 characters + NUL
constexpr uint32_t LOCAL_RECORD_SIZE = 11;
// Room for the product's texts (the packer keeps within it).
constexpr uint32_t PRODUCT_TEXTS_SIZE = 1536;
// The longest destination folder whose quoted uninstall command (25
// characters more: two quotes, a separator, lumetra.exe and " /uninstall")
// stays within 259 characters.
constexpr uint16_t DEFAULT_DESTINATION_MAX =
    259 - (2 + 1 + sizeof(QEV_PROGRAM_NAME) - 1 + sizeof(QEV_UNINSTALL_SWITCH) - 1);

// The product texts of this build, back to back in product_texts, in this
// order (each NUL-terminated; the registry values end with an empty name).
#define QEV_DONE_FORMAT ""  // the program is started: no closing box
#define QEV_PRODUCT_TEXTS                                                     \
  QEV_TITLE "\0" QEV_ALT_DESTINATION "\0" QEV_DESTINATION "\0" QEV_UNINSTALL_KEY \
  "\0" QEV_PROGRAM_NAME "\0" QEV_DONE_FORMAT "\0" QEV_REGISTRY_VALUES
constexpr uint32_t PRODUCT_TITLE_AT = 0;
constexpr uint32_t PRODUCT_ALT_DESTINATION_AT = PRODUCT_TITLE_AT + sizeof(QEV_TITLE);
constexpr uint32_t PRODUCT_DESTINATION_AT = PRODUCT_ALT_DESTINATION_AT + sizeof(QEV_ALT_DESTINATION);
constexpr uint32_t PRODUCT_UNINSTALL_KEY_AT = PRODUCT_DESTINATION_AT + sizeof(QEV_DESTINATION);
constexpr uint32_t PRODUCT_PROGRAM_AT = PRODUCT_UNINSTALL_KEY_AT + sizeof(QEV_UNINSTALL_KEY);
constexpr uint32_t PRODUCT_DONE_FORMAT_AT = PRODUCT_PROGRAM_AT + sizeof(QEV_PROGRAM_NAME);
constexpr uint32_t PRODUCT_VALUES_AT = PRODUCT_DONE_FORMAT_AT + sizeof(QEV_DONE_FORMAT);

struct StubConfig {
  uint8_t local_record_scratch[LOCAL_RECORD_SIZE];  // not used (layout only)
  uint32_t archive_offset;      // where the archive begins in the executable
  uint8_t cancel_requested;     // not used (layout only)
  uint8_t overwrite_all;        // replace existing files without asking
  uint8_t short_names;          // destination volume lacks long names
  uint32_t archive_base;        // not used (layout only)
  int32_t distance_sizes[3];    // symbols of distance tables 0, 1, 2
  int32_t distance_starts[3];   // their first code length within a set
  uint8_t dir_magic[8];         // "QEVDE" and three zeros; 6 bytes compared
  uint32_t window_size_table[3][8];  // history kept, by selector row and column
  // The caption of every message box (the packer writes it into the
  // dialogs' templates as well). A product text; always the first of them.
  const char* title;
  char program_files_folder[sizeof(QEV_PROGRAM_FILES)];
  const char* alternative_destination;  // product text
  // The destination folder, also the driver's working output path: a buffer of
  // DESTINATION_SIZE bytes in zero-initialised memory. Start-up copies the
  // preset (or the alternative) into it.
  char* destination;
  // The three longest fixed texts are read-only data of the stub's code
  // section: the block's writable section then needs one 512-byte step of
  // the file less.
  const char* help_text;
  const char* intro_format;
  char empty_archive_text[sizeof(QEV_EMPTY_ARCHIVE)];
  char text_nomem[sizeof(QEV_TEXT_NOMEM)];
  char fmt_open[sizeof(QEV_FMT_OPEN)];
  char fmt_create[sizeof(QEV_FMT_CREATE)];
  char fmt_read[sizeof(QEV_FMT_READ)];
  char fmt_write[sizeof(QEV_FMT_WRITE)];
  char fmt_mkdir[sizeof(QEV_FMT_MKDIR)];
  char text_damaged[sizeof(QEV_TEXT_DAMAGED)];
  char fmt_crc[sizeof(QEV_FMT_CRC)];
  const char* prompt_format;
  char os_error_texts[sizeof(QEV_OS_TEXTS)];
  char invalid_name_chars[sizeof(QEV_INVALID_NAME_CHARS)];
  char font_face[sizeof(QEV_FONT_FACE)];
  char root_format[sizeof(QEV_ROOT_FORMAT)];
  char status_format[sizeof(QEV_STATUS_FORMAT)];
  // Product texts.
  const char* program_name;     // relative to the destination; "": none started
                                // and no uninstall key written
  const char* uninstall_key;    // under HKEY_LOCAL_MACHINE
  const char* registry_values;  // QEV_REGISTRY_VALUES' form
  const char* preset_destination;
  const char* done_format;      // "": no box at the end; else its text, %s the folder
  // Bytes of all the archive's files, for the progress bar; at least 1, which
  // it is until the packer writes it.
  uint64_t total_size;
  // The longest destination folder accepted (so that the quoted uninstall
  // command stays within 259 characters).
  uint16_t destination_max;
  uint8_t silent_switches;      // 1: /S and /D= on the command line are obeyed
  char product_texts[PRODUCT_TEXTS_SIZE];  // last: its unused room costs nothing
};

// The one process-wide configuration block.
extern StubConfig stub_config;

// The signature by which the packer finds the block: the bytes from
// distance_sizes to the end of window_size_table, constant in every stub
// (stubs of the earlier layout, whose texts were all inline, included).
constexpr size_t CONFIG_SIGNATURE_OFFSET = offsetof(StubConfig, distance_sizes);
constexpr size_t CONFIG_SIGNATURE_SIZE = offsetof(StubConfig, window_size_table) +
                                         sizeof(StubConfig::window_size_table) -
                                         offsetof(StubConfig, distance_sizes);
static_assert(CONFIG_SIGNATURE_SIZE == 128, "the signature is the same in every stub");
// The packer patches the stub built for Windows with the offsets of the host
// build: the two compilers lay the block out alike (natural alignment, 8-byte
// pointers); these pin it.
static_assert(offsetof(StubConfig, title) == 152 && offsetof(StubConfig, product_texts) == 811,
              "the configuration block's layout");
// archive_offset relative to the signature's first byte (negative).
constexpr ptrdiff_t CONFIG_ARCHIVE_OFFSET_FROM_SIGNATURE =
    (ptrdiff_t)offsetof(StubConfig, archive_offset) - (ptrdiff_t)CONFIG_SIGNATURE_OFFSET;
// Writes the signature bytes (CONFIG_SIGNATURE_SIZE) into out, as the initial
// block holds them.
void config_signature(uint8_t* out);
// Points the decoders at this block's window-size table (see DecoderState):
// start-up calls it, and so does whatever drives the decoders without
// start-up (tests, the benchmark, the host tool).
void connect_decoder_to_config();
// Restores every field to its initial value, the destination buffer to the
// preset, and clears the decoders' cancel flag (tests, and the host tool
// between runs).
void stub_config_reset();
