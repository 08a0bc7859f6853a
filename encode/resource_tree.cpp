#include "encode/resource_tree.h"

#include <algorithm>
#include <map>

#include "archive/layout.h"

namespace qev {

namespace {

constexpr uint32_t DIRECTORY_SIZE = 16;
constexpr uint32_t ENTRY_SIZE = 8;
constexpr uint32_t DATA_ENTRY_SIZE = 16;
constexpr uint32_t HIGH_BIT = 0x80000000u;
constexpr uint32_t MAX_ENTRIES = 4096;  // far beyond any stub's

// Reads the directory at `offset` of the tree whose root is at `root` (file
// offsets); each entry's id and its offset field.
std::string entries_at(const PeImage& image, uint64_t root_address, uint32_t offset,
                       std::vector<std::pair<uint32_t, uint32_t>>& out) {
  out.clear();
  const std::vector<uint8_t>& bytes = image.bytes();
  const size_t at = image.offset_of(root_address + offset, DIRECTORY_SIZE);
  if (at == SIZE_MAX) return "a resource directory lies outside the image";
  const uint32_t named = load_le16(&bytes[at + 12]), numbered = load_le16(&bytes[at + 14]);
  if (named) return "the resources have names, not only numbers";
  if (numbered > MAX_ENTRIES) return "a resource directory has too many entries";
  const size_t list = image.offset_of(root_address + offset + DIRECTORY_SIZE, ENTRY_SIZE * numbered);
  if (list == SIZE_MAX) return "a resource directory lies outside the image";
  for (uint32_t i = 0; i < numbered; i++) {
    const uint32_t id = load_le32(&bytes[list + ENTRY_SIZE * i]);
    if (id & HIGH_BIT) return "the resources have names, not only numbers";
    out.emplace_back(id, load_le32(&bytes[list + ENTRY_SIZE * i + 4]));
  }
  return "";
}

}  // namespace

std::string read_resources(const PeImage& image, std::vector<Resource>& out) {
  out.clear();
  uint32_t root_rva = 0, size = 0;
  if (!image.directory(2, &root_rva, &size) || root_rva == 0) return "";
  const uint64_t root = image.image_base() + root_rva;
  std::vector<std::pair<uint32_t, uint32_t>> types, ids, languages;
  std::string why = entries_at(image, root, 0, types);
  for (const auto& type : types) {
    // Each level's entries must be directories, the last level's data entries.
    if (!why.empty()) break;
    if (!(type.second & HIGH_BIT)) return "a resource type is not a directory";
    if (!(why = entries_at(image, root, type.second & ~HIGH_BIT, ids)).empty()) break;
    for (const auto& id : ids) {
      if (!(id.second & HIGH_BIT)) return "a resource id is not a directory";
      if (!(why = entries_at(image, root, id.second & ~HIGH_BIT, languages)).empty()) break;
      for (const auto& language : languages) {
        if (language.second & HIGH_BIT) return "a resource language is a directory";
        const size_t entry = image.offset_of(root + language.second, DATA_ENTRY_SIZE);
        if (entry == SIZE_MAX) return "a resource's data entry lies outside the image";
        Resource r;
        r.type = type.first;
        r.id = id.first;
        r.language = language.first;
        r.rva = load_le32(&image.bytes()[entry]);
        r.size = load_le32(&image.bytes()[entry + 4]);
        if (image.offset_of(image.image_base() + r.rva, r.size) == SIZE_MAX)
          return "a resource's bytes lie outside the image";
        out.push_back(std::move(r));
      }
      if (!why.empty()) break;
    }
  }
  return why;
}

void put_resource(std::vector<Resource>& resources, uint32_t type, uint32_t id,
                  std::vector<uint8_t> data) {
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [&](const Resource& r) { return r.type == type && r.id == id; }),
                  resources.end());
  Resource r;
  r.type = type;
  r.id = id;
  r.size = (uint32_t)data.size();
  r.data = std::move(data);
  resources.push_back(std::move(r));
}

void drop_resources(std::vector<Resource>& resources, uint32_t type) {
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [&](const Resource& r) { return r.type == type; }),
                  resources.end());
}

std::vector<uint8_t> write_resources(const std::vector<Resource>& resources, uint32_t section_rva,
                                     uint32_t* directory_size) {
  // type -> id -> language -> index, sorted as Windows searches them.
  std::map<uint32_t, std::map<uint32_t, std::map<uint32_t, size_t>>> tree;
  for (size_t i = 0; i < resources.size(); i++)
    tree[resources[i].type][resources[i].id][resources[i].language] = i;

  auto directory_bytes = [](size_t entries) { return DIRECTORY_SIZE + ENTRY_SIZE * (uint32_t)entries; };
  // Layout: the root, the type directories, the id directories, the data
  // entries, then the new data.
  uint32_t size = directory_bytes(tree.size());
  std::map<uint32_t, uint32_t> type_at;
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> id_at;
  for (const auto& type : tree) {
    type_at[type.first] = size;
    size += directory_bytes(type.second.size());
  }
  for (const auto& type : tree) {
    for (const auto& id : type.second) {
      id_at[{type.first, id.first}] = size;
      size += directory_bytes(id.second.size());
    }
  }
  const uint32_t entries_start = size;
  size += DATA_ENTRY_SIZE * (uint32_t)resources.size();
  *directory_size = size;

  std::vector<uint8_t> out(size, 0);
  auto put_directory = [&](uint32_t at, size_t count) { store_le16(&out[at + 14], (uint16_t)count); };
  auto put_entry = [&](uint32_t directory, size_t i, uint32_t id, uint32_t target) {
    store_le32(&out[directory + DIRECTORY_SIZE + ENTRY_SIZE * i], id);
    store_le32(&out[directory + DIRECTORY_SIZE + ENTRY_SIZE * i + 4], target);
  };
  put_directory(0, tree.size());
  size_t t = 0, data_entry = 0;
  for (const auto& type : tree) {
    put_entry(0, t++, type.first, HIGH_BIT | type_at[type.first]);
    put_directory(type_at[type.first], type.second.size());
    size_t n = 0;
    for (const auto& id : type.second) {
      const uint32_t id_directory = id_at[{type.first, id.first}];
      put_entry(type_at[type.first], n++, id.first, HIGH_BIT | id_directory);
      put_directory(id_directory, id.second.size());
      size_t l = 0;
      for (const auto& language : id.second) {
        const uint32_t entry = entries_start + DATA_ENTRY_SIZE * (uint32_t)data_entry++;
        put_entry(id_directory, l++, language.first, entry);
        const Resource& r = resources[language.second];
        uint32_t rva = r.rva;
        if (r.data.size() || !r.rva) {
          while (out.size() % 8) out.push_back(0);
          rva = section_rva + (uint32_t)out.size();
          out.insert(out.end(), r.data.begin(), r.data.end());
        }
        store_le32(&out[entry], rva);
        store_le32(&out[entry + 4], r.size);
      }
    }
  }
  return out;
}

}  // namespace qev
