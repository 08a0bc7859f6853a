#pragma once
// Test fixtures for the decoder: a bit reader over bytes in memory, an archive
// file on disk that the decoders read through the platform layer, and an
// output file whose bytes can be read back.
#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace dectest {

// Sets decoder.in up over a copy of `bytes` as the directory reader does: all
// of the data in the buffer, no refill possible (chunk_remaining 0), limit at
// the end of the bytes. The buffer has the input buffer's spare bytes after
// the data (zeros), so peeks near the end stay inside it.
class MemoryInput {
 public:
  explicit MemoryInput(const std::vector<uint8_t>& bytes, uint32_t bit_offset = 0);
  // Bits consumed since the start.
  uint64_t bits_consumed() const;
  const uint8_t* data() const { return buffer_.data(); }

 private:
  std::vector<uint8_t> buffer_;
};

// Resets the whole decoder state (zero, no stream held, CRC table built,
// cancel flag clear, archive base 0).
void reset_decoder();

// An archive file: `bytes` written to a temp file, opened as archive_file
// with file_pos 0, and an input buffer allocated as the driver does. The
// newest one is the one the decoder uses; each frees only its own.
class ArchiveFile {
 public:
  explicit ArchiveFile(const std::vector<uint8_t>& bytes);
  ~ArchiveFile();
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

 private:
  std::string path_;
  FileHandle handle_;
  uint8_t* buffer_;
};

// An output file created with file_create; bytes() closes it and reads it back.
class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  FileHandle handle() const { return handle_; }
  std::vector<uint8_t> bytes();

 private:
  std::string path_;
  FileHandle handle_;
};

// A unique path in the temp folder.
std::string temp_path(const char* tag);
std::vector<uint8_t> read_file(const std::string& path);

// Reference CRC-32 computed bit by bit.
uint32_t crc32_bitwise(const uint8_t* data, size_t n);

}  // namespace dectest
