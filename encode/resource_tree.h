#pragma once
// A program's resources: the three-level directory (type, id, language) that
// the resource data directory entry points at, read from an image and written
// anew as the contents of a section of its own.
//
// Only numeric types and ids are taken (the stub's resources have no names):
// a name given as a string makes read_resources fail. A resource keeps its
// bytes where they are (`rva`) unless it brings its own (`data`), so a new
// directory can list the old resources without copying them.
#include <stdint.h>

#include <string>
#include <vector>

#include "encode/pe_image.h"

namespace qev {

constexpr uint32_t RESOURCE_ICON = 3;
constexpr uint32_t RESOURCE_DIALOG = 5;
constexpr uint32_t RESOURCE_GROUP_ICON = 14;
constexpr uint32_t RESOURCE_VERSION = 16;
constexpr uint32_t RESOURCE_MANIFEST = 24;

struct Resource {
  uint32_t type = 0, id = 0, language = 0;
  uint32_t rva = 0, size = 0;  // where the bytes are in the image (rva 0: in data)
  std::vector<uint8_t> data;
};

// The image's resources; "" or why they cannot be read (directories that
// pass the image, loops, named entries, data outside the image).
std::string read_resources(const PeImage& image, std::vector<Resource>& out);

// Replaces every resource of `type` and `id` (any language) by `data` in
// language 0, or adds it.
void put_resource(std::vector<Resource>& resources, uint32_t type, uint32_t id,
                  std::vector<uint8_t> data);
// Removes every resource of `type`.
void drop_resources(std::vector<Resource>& resources, uint32_t type);

// The directory and the new data, laid out for a section at `section_rva`;
// *directory_size is the size to enter in the data directory.
std::vector<uint8_t> write_resources(const std::vector<Resource>& resources, uint32_t section_rva,
                                     uint32_t* directory_size);

}  // namespace qev
