// Fuzz target: read_directory_block on arbitrary bytes, read from an
// in-memory file through the platform layer, block after block as the driver
// fetches them. The directory buffer is exactly 8192 bytes on the heap, so
// AddressSanitizer sees any write past it. The input is taken as the
// directory itself, beginning at position 0.
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include "archive/directory_reader.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "platform/platform.h"
#include "shell/stub_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint8_t* input = nullptr;
  static uint8_t* dir_buffer = nullptr;
  if (input == nullptr) {
    build_crc_table();
    connect_decoder_to_config();
    input = (uint8_t*)mem_alloc(INPUT_BUFFER_ALLOC);
    dir_buffer = (uint8_t*)malloc(DIR_BUFFER_SIZE);
  }
  int fd = memfd_create("directory", 0);
  if (fd < 0) return 0;
  if (size != 0 && write(fd, data, size) != (ssize_t)size) {
    close(fd);
    return 0;
  }
  lseek(fd, 0, SEEK_SET);
  archive_file = fd;
  file_pos = 0;
  decoder.in.input_buffer = input;
  decoder.dir_read_pos = 0;
  for (int block = 0; block < 64; block++) {
    uint32_t before = decoder.dir_read_pos;
    int r = read_directory_block(dir_buffer);
    if (r < 0) {
      if (decoder.dir_read_pos != before) abort();
      break;
    }
    if (decoder.dir_cursor != dir_buffer || decoder.dir_end < dir_buffer ||
        decoder.dir_end > dir_buffer + DIR_BUFFER_SIZE) {
      abort();
    }
    // Every block consumes at least its magic and header.
    if (decoder.dir_read_pos < before + 7) abort();
  }
  close(fd);
  archive_file = INVALID_FILE;
  return 0;
}
