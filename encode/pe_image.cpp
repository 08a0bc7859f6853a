#include "encode/pe_image.h"

#include <string.h>

#include <algorithm>

#include "archive/layout.h"

namespace qev {

namespace {

constexpr uint16_t PE32_PLUS = 0x20B;
constexpr size_t COFF_SIZE = 20;
constexpr size_t SECTION_HEADER_SIZE = 40;
// Offsets in the optional header of a PE32+ image.
constexpr size_t OPT_SIZE_OF_INITIALIZED_DATA = 8;
constexpr size_t OPT_IMAGE_BASE = 24;
constexpr size_t OPT_SECTION_ALIGNMENT = 32;
constexpr size_t OPT_FILE_ALIGNMENT = 36;
constexpr size_t OPT_SIZE_OF_IMAGE = 56;
constexpr size_t OPT_SIZE_OF_HEADERS = 60;
constexpr size_t OPT_DIRECTORY_COUNT = 108;
constexpr size_t OPT_DIRECTORIES = 112;

uint64_t round_up(uint64_t v, uint32_t alignment) { return (v + alignment - 1) / alignment * alignment; }

bool power_of_two(uint32_t v) { return v && !(v & (v - 1)); }

}  // namespace

uint32_t PeImage::get32(size_t at) const { return load_le32(&bytes_[at]); }
void PeImage::put32(size_t at, uint32_t v) { store_le32(&bytes_[at], v); }

std::string PeImage::parse(const std::vector<uint8_t>& bytes) {
  *this = PeImage();
  bytes_ = bytes;
  const size_t n = bytes_.size();
  if (n < 64 || bytes_[0] != 'M' || bytes_[1] != 'Z') return "not a Windows program (no MZ header)";
  pe_at_ = get32(60);
  if (pe_at_ > n || n - pe_at_ < 4 + COFF_SIZE || memcmp(&bytes_[pe_at_], "PE\0\0", 4) != 0)
    return "not a Windows program (no PE header)";
  const size_t coff = pe_at_ + 4;
  const uint16_t section_count = load_le16(&bytes_[coff + 2]);
  const uint16_t optional_size = load_le16(&bytes_[coff + 16]);
  optional_at_ = coff + COFF_SIZE;
  if (optional_size < OPT_DIRECTORIES || n - optional_at_ < optional_size)
    return "the optional header is cut short";
  if (load_le16(&bytes_[optional_at_]) != PE32_PLUS) return "not a 64-bit Windows program";
  image_base_ = (uint64_t)get32(optional_at_ + OPT_IMAGE_BASE) |
                ((uint64_t)get32(optional_at_ + OPT_IMAGE_BASE + 4) << 32);
  section_alignment_ = get32(optional_at_ + OPT_SECTION_ALIGNMENT);
  file_alignment_ = get32(optional_at_ + OPT_FILE_ALIGNMENT);
  headers_size_ = get32(optional_at_ + OPT_SIZE_OF_HEADERS);
  directory_count_ = get32(optional_at_ + OPT_DIRECTORY_COUNT);
  if (!power_of_two(section_alignment_) || !power_of_two(file_alignment_) ||
      file_alignment_ > section_alignment_)
    return "its alignments are not powers of two";
  if ((uint64_t)OPT_DIRECTORIES + 8ull * directory_count_ > optional_size)
    return "its data directory passes the optional header";
  sections_at_ = optional_at_ + optional_size;
  if (section_count == 0) return "it has no sections";
  if ((uint64_t)sections_at_ + SECTION_HEADER_SIZE * section_count > headers_size_ ||
      headers_size_ > n)
    return "its section headers lie outside its headers";
  uint64_t previous_end = headers_size_, previous_virtual_end = 0;
  for (size_t i = 0; i < section_count; i++) {
    const size_t h = section_header(i);
    PeSection s;
    s.name.assign((const char*)&bytes_[h], strnlen((const char*)&bytes_[h], 8));
    s.virtual_size = get32(h + 8);
    s.rva = get32(h + 12);
    s.raw_size = get32(h + 16);
    s.raw_pointer = get32(h + 20);
    s.characteristics = get32(h + 36);
    if (s.raw_size && ((uint64_t)s.raw_pointer + s.raw_size > n || s.raw_pointer < previous_end))
      return "section " + s.name + " lies outside the file or overlaps another";
    if (s.rva < previous_virtual_end || (uint64_t)s.rva + s.virtual_size > 0xFFFFFFFFull)
      return "section " + s.name + " is out of address order";
    if (s.raw_size) previous_end = (uint64_t)s.raw_pointer + s.raw_size;
    previous_virtual_end = round_up((uint64_t)s.rva + std::max(s.virtual_size, s.raw_size),
                                    section_alignment_);
    sections_.push_back(s);
  }
  return "";
}

uint64_t PeImage::address_of(size_t file_offset) const {
  for (const PeSection& s : sections_) {
    if (file_offset >= s.raw_pointer && file_offset - s.raw_pointer < s.raw_size &&
        file_offset - s.raw_pointer < std::max(s.virtual_size, s.raw_size))
      return image_base_ + s.rva + (file_offset - s.raw_pointer);
  }
  return 0;
}

size_t PeImage::offset_of(uint64_t address, size_t size) const {
  if (address < image_base_) return SIZE_MAX;
  const uint64_t rva = address - image_base_;
  for (const PeSection& s : sections_) {
    if (rva >= s.rva && rva - s.rva <= s.raw_size && s.raw_size - (rva - s.rva) >= size)
      return s.raw_pointer + (size_t)(rva - s.rva);
  }
  return SIZE_MAX;
}

bool PeImage::mapped(uint64_t address, size_t size) const {
  if (address < image_base_) return false;
  const uint64_t rva = address - image_base_;
  for (const PeSection& s : sections_) {
    const uint64_t extent = std::max(s.virtual_size, s.raw_size);
    if (rva >= s.rva && rva - s.rva <= extent && extent - (rva - s.rva) >= size) return true;
  }
  return false;
}

bool PeImage::extend_last_section(uint32_t end) {
  PeSection& s = sections_.back();
  if (end <= s.raw_size) return true;
  if ((uint64_t)s.raw_pointer + s.raw_size != bytes_.size()) return false;
  const uint64_t raw = round_up(end, file_alignment_);
  if (raw > round_up(s.virtual_size, section_alignment_)) return false;
  bytes_.resize(s.raw_pointer + raw, 0);
  s.raw_size = (uint32_t)raw;
  put32(section_header(sections_.size() - 1) + 16, s.raw_size);
  return true;
}

bool PeImage::write(uint64_t address, const void* data, size_t size) {
  const size_t at = offset_of(address, size);
  if (at == SIZE_MAX) return false;
  memcpy(&bytes_[at], data, size);
  return true;
}

uint32_t PeImage::next_section_rva() const {
  const PeSection& last = sections_.back();
  return (uint32_t)round_up((uint64_t)last.rva + std::max(last.virtual_size, last.raw_size),
                            section_alignment_);
}

uint32_t PeImage::add_section(const char* name, const std::vector<uint8_t>& data,
                              uint32_t characteristics) {
  const size_t header = section_header(sections_.size());
  if (header + SECTION_HEADER_SIZE > headers_size_) return 0;
  for (size_t i = header; i < header + SECTION_HEADER_SIZE; i++) {
    if (bytes_[i]) return 0;  // the room must be unused
  }
  PeSection s;
  s.name = name;
  s.rva = next_section_rva();
  s.virtual_size = (uint32_t)data.size();
  s.raw_pointer = (uint32_t)round_up(bytes_.size(), file_alignment_);
  s.raw_size = (uint32_t)round_up(data.size(), file_alignment_);
  s.characteristics = characteristics;
  bytes_.resize(s.raw_pointer, 0);
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  bytes_.resize(s.raw_pointer + s.raw_size, 0);
  memcpy(&bytes_[header], name, std::min<size_t>(strlen(name), 8));
  put32(header + 8, s.virtual_size);
  put32(header + 12, s.rva);
  put32(header + 16, s.raw_size);
  put32(header + 20, s.raw_pointer);
  put32(header + 36, characteristics);
  sections_.push_back(s);
  store_le16(&bytes_[pe_at_ + 4 + 2], (uint16_t)sections_.size());
  put32(optional_at_ + OPT_SIZE_OF_IMAGE,
        (uint32_t)round_up((uint64_t)s.rva + s.virtual_size, section_alignment_));
  put32(optional_at_ + OPT_SIZE_OF_INITIALIZED_DATA,
        get32(optional_at_ + OPT_SIZE_OF_INITIALIZED_DATA) + s.raw_size);
  return s.rva;
}

bool PeImage::directory(uint32_t index, uint32_t* rva, uint32_t* size) const {
  if (index >= directory_count_) return false;
  *rva = get32(optional_at_ + OPT_DIRECTORIES + 8 * index);
  *size = get32(optional_at_ + OPT_DIRECTORIES + 8 * index + 4);
  return true;
}

void PeImage::set_directory(uint32_t index, uint32_t rva, uint32_t size) {
  if (index >= directory_count_) return;
  put32(optional_at_ + OPT_DIRECTORIES + 8 * index, rva);
  put32(optional_at_ + OPT_DIRECTORIES + 8 * index + 4, size);
}

}  // namespace qev
