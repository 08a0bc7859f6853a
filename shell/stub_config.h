#pragma once
// StubConfig: the installer's configuration block. It sits in the stub's
// initialised data; its values are the product settings of this build. At run
// time only local_record_scratch, cancel_requested, overwrite_all, short_names,
// archive_base and destination change.
//
// The packer finds the block inside a built stub by its constant run from
// distance_sizes to window_size_table (CONFIG_SIGNATURE_*), which occurs exactly
// once in a stub, and patches archive_offset, which lies at a fixed distance
// before it. Nothing else of the stub is ever changed.
//
// Texts are 8-bit ANSI (Windows-1252), NUL-terminated, stored inline so that the
// whole product configuration is one block of bytes.
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
#define QEV_UNINSTALL_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumetra"
#define QEV_DISPLAY_NAME_VALUE "DisplayName"
#define QEV_UNINSTALL_STRING_VALUE "UninstallString"

// The stub image size that the block presets as the archive offset; also the
// stub's size budget (scripts/stub-budget.sh reads it from here).
constexpr uint32_t DEFAULT_ARCHIVE_OFFSET = 0x5000;  // 20480
constexpr uint32_t DESTINATION_SIZE = 261;             // 260 characters + NUL
constexpr uint32_t LOCAL_RECORD_SIZE = 11;

struct StubConfig {
  uint8_t local_record_scratch[LOCAL_RECORD_SIZE];  // member's local record
  uint32_t archive_offset;      // where the archive begins in the executable
  uint8_t cancel_requested;     // set when the dialog is told to end
  uint8_t overwrite_all;        // replace existing files without asking
  uint8_t short_names;          // destination volume lacks long names
  uint32_t archive_base;        // archive_offset, copied at start-up
  int32_t distance_sizes[3];    // symbols of distance tables 0, 1, 2
  int32_t distance_starts[3];   // their first code length within a set
  uint8_t dir_magic[8];         // "QEVDE" and three zeros; 6 bytes compared
  uint32_t window_size_table[3][8];  // history kept, by selector row and column
  char title[sizeof(QEV_TITLE)];
  char program_files_folder[sizeof(QEV_PROGRAM_FILES)];
  char alternative_destination[sizeof(QEV_ALT_DESTINATION)];
  char destination[DESTINATION_SIZE];  // also the working output path
  char help_text[sizeof(QEV_HELP_TEXT)];
  char intro_format[sizeof(QEV_INTRO_FORMAT)];
  char empty_archive_text[sizeof(QEV_EMPTY_ARCHIVE)];
  char text_nomem[sizeof(QEV_TEXT_NOMEM)];
  char fmt_open[sizeof(QEV_FMT_OPEN)];
  char fmt_create[sizeof(QEV_FMT_CREATE)];
  char fmt_read[sizeof(QEV_FMT_READ)];
  char fmt_write[sizeof(QEV_FMT_WRITE)];
  char fmt_mkdir[sizeof(QEV_FMT_MKDIR)];
  char text_damaged[sizeof(QEV_TEXT_DAMAGED)];
  char fmt_crc[sizeof(QEV_FMT_CRC)];
  char prompt_format[sizeof(QEV_PROMPT_FORMAT)];
  char os_error_texts[sizeof(QEV_OS_TEXTS)];
  char invalid_name_chars[sizeof(QEV_INVALID_NAME_CHARS)];
  char font_face[sizeof(QEV_FONT_FACE)];
  char root_format[sizeof(QEV_ROOT_FORMAT)];
  char status_format[sizeof(QEV_STATUS_FORMAT)];
  char program_name[sizeof(QEV_PROGRAM_NAME)];
  char uninstall_switch[sizeof(QEV_UNINSTALL_SWITCH)];
  char display_name[sizeof(QEV_DISPLAY_NAME)];
  char uninstall_key[sizeof(QEV_UNINSTALL_KEY)];
  char display_name_value[sizeof(QEV_DISPLAY_NAME_VALUE)];
  char uninstall_string_value[sizeof(QEV_UNINSTALL_STRING_VALUE)];
};

// The one process-wide configuration block.
extern StubConfig stub_config;

// The signature by which the packer finds the block: the bytes from
// distance_sizes to the end of window_size_table, constant in every stub.
constexpr size_t CONFIG_SIGNATURE_OFFSET = offsetof(StubConfig, distance_sizes);
constexpr size_t CONFIG_SIGNATURE_SIZE =
    offsetof(StubConfig, title) - offsetof(StubConfig, distance_sizes);
// archive_offset relative to the signature's first byte (negative).
constexpr ptrdiff_t CONFIG_ARCHIVE_OFFSET_FROM_SIGNATURE =
    (ptrdiff_t)offsetof(StubConfig, archive_offset) - (ptrdiff_t)CONFIG_SIGNATURE_OFFSET;
// Writes the signature bytes (CONFIG_SIGNATURE_SIZE) into out, as the initial
// block holds them.
void config_signature(uint8_t* out);
// Points the decoders at this block and gives them archive_base (see
// DecoderState): start-up calls it once archive_base is set, and so does
// whatever drives the decoders without start-up (tests, the benchmark).
void connect_decoder_to_config();
// Restores every field to its initial value (tests, and the host tool between runs).
void stub_config_reset();
