#pragma once
// A 64-bit Windows program image (PE32+) as bytes, with the few edits the
// packer makes to a stub: reading and writing at virtual addresses, letting
// the last section's file data reach further into its virtual size, adding a
// section behind the others, and pointing a data directory entry elsewhere.
//
// parse() accepts only what such edits can rely on: the headers inside the
// file, at least one section, sections whose file data lie inside the file
// and do not overlap, in the order of their addresses, and an optional header
// long enough for the data directory. Anything else is refused with a reason,
// never read past.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace qev {

struct PeSection {
  std::string name;
  uint32_t virtual_size = 0;
  uint32_t rva = 0;
  uint32_t raw_size = 0;
  uint32_t raw_pointer = 0;
  uint32_t characteristics = 0;
};

class PeImage {
 public:
  // "" when `bytes` hold a PE32+ image whose sections lie in the file, else
  // why not. The image keeps a copy of the bytes.
  std::string parse(const std::vector<uint8_t>& bytes);

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  uint64_t image_base() const { return image_base_; }
  const std::vector<PeSection>& sections() const { return sections_; }

  // The virtual address of a file offset inside a section's file data, or 0.
  uint64_t address_of(size_t file_offset) const;
  // The file offset of `size` bytes at a virtual address, all inside one
  // section's file data, or SIZE_MAX.
  size_t offset_of(uint64_t address, size_t size) const;
  // Whether `size` bytes at the address lie in one section's virtual extent.
  bool mapped(uint64_t address, size_t size) const;

  // Makes the last section's file data reach at least `end` (an offset from
  // the section's start, within its virtual size), zero-filled and rounded up
  // to the file alignment. False when it would pass the virtual size or the
  // section is not last in the file.
  bool extend_last_section(uint32_t end);
  // Writes bytes at a virtual address, which must lie in a section's file data.
  bool write(uint64_t address, const void* data, size_t size);

  // The address (relative to the image base) that add_section will give.
  uint32_t next_section_rva() const;
  // Adds a section behind the last one, in memory and in the file, holding
  // `data` (rounded up to the file alignment); its address, or 0 when the
  // headers have no room for another section header.
  uint32_t add_section(const char* name, const std::vector<uint8_t>& data,
                       uint32_t characteristics);
  // The data directory entry `index` (2: resources): address and size.
  bool directory(uint32_t index, uint32_t* rva, uint32_t* size) const;
  void set_directory(uint32_t index, uint32_t rva, uint32_t size);

 private:
  size_t section_header(size_t i) const { return sections_at_ + 40 * i; }
  void put32(size_t at, uint32_t v);
  uint32_t get32(size_t at) const;

  std::vector<uint8_t> bytes_;
  std::vector<PeSection> sections_;
  uint64_t image_base_ = 0;
  size_t pe_at_ = 0;        // "PE\0\0"
  size_t optional_at_ = 0;  // the optional header
  size_t sections_at_ = 0;  // the first section header
  uint32_t section_alignment_ = 0;
  uint32_t file_alignment_ = 0;
  uint32_t headers_size_ = 0;
  uint32_t directory_count_ = 0;
};

}  // namespace qev
