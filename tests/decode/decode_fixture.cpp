#include "decode_fixture.h"

#include <stdio.h>
#include <unistd.h>
#include <string.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "archive/entry_stream.h"
#include "shell/stub_config.h"

namespace dectest {

MemoryInput::MemoryInput(const std::vector<uint8_t>& bytes, uint32_t bit_offset) {
  buffer_.assign(bytes.size() + INPUT_BUFFER_SPARE + FRAME_MARGIN, 0);
  if (!bytes.empty()) memcpy(buffer_.data(), bytes.data(), bytes.size());
  connect_decoder_to_config();
  InputState& in = decoder.in;
  in.input_buffer = buffer_.data();
  in.pos = buffer_.data();
  in.bit_offset = bit_offset;
  in.limit = buffer_.data() + bytes.size();
  in.chunk_remaining = 0;
}

uint64_t MemoryInput::bits_consumed() const {
  return (uint64_t)(decoder.in.pos - buffer_.data()) * 8 + decoder.in.bit_offset;
}

void reset_decoder() {
  memset(&decoder, 0, sizeof decoder);
  decoder.current_stream = 0xFFFFFFFF;
  build_crc_table();
  stub_config_reset();
  decoder.archive_base = 0;
  decoder.cancel_requested = 0;
  connect_decoder_to_config();
}

std::string temp_path(const char* tag) {
  static std::atomic<int> counter{0};
  std::filesystem::path dir = std::filesystem::temp_directory_path();
  std::string name = std::string("qev-dec-") + tag + "-" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter++);
  return (dir / name).string();
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

ArchiveFile::ArchiveFile(const std::vector<uint8_t>& bytes) : path_(temp_path("archive")) {
  {
    std::ofstream f(path_, std::ios::binary);
    f.write((const char*)bytes.data(), (std::streamsize)bytes.size());
  }
  reset_stream_state();
  reset_decoder();
  handle_ = file_open(path_.c_str(), ACCESS_READ);
  archive_file = handle_;
  file_pos = 0;
  buffer_ = (uint8_t*)mem_alloc(INPUT_BUFFER_ALLOC);
  memset(buffer_, 0, INPUT_BUFFER_ALLOC);
  decoder.in.input_buffer = buffer_;
  decoder.in.pos = decoder.in.limit = buffer_;
}

ArchiveFile::~ArchiveFile() {
  if (decoder.in.input_buffer == buffer_) {
    reset_stream_state();
    decoder.in.input_buffer = nullptr;
  }
  mem_free(buffer_);
  file_close(handle_);
  if (archive_file == handle_) archive_file = INVALID_FILE;
  std::filesystem::remove(path_);
}

OutputFile::OutputFile() : path_(temp_path("out")) {
  handle_ = file_create(path_.c_str(), ATTR_NORMAL);
}

OutputFile::~OutputFile() {
  if (handle_ != INVALID_FILE) file_close(handle_);
  std::filesystem::remove(path_);
}

std::vector<uint8_t> OutputFile::bytes() {
  if (handle_ != INVALID_FILE) file_close(handle_);
  handle_ = INVALID_FILE;
  return read_file(path_);
}

uint32_t crc32_bitwise(const uint8_t* data, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; i++) {
    crc ^= data[i];
    for (int k = 0; k < 8; k++) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
  }
  return ~crc;
}

}  // namespace dectest
