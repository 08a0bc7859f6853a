#include "encode/pack_plan.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>

#include "decode/format.h"
#include "encode/sha256.h"
#include "encode/similar_files.h"

namespace qev {
namespace {

// Hands the entry's bytes to take(bytes, count), piece by piece, for as long
// as it returns true; false when the file cannot be read, a read that fails
// midway included.
template <typename Take>
bool read_entry(const PackEntry& e, Take take) {
  if (e.source.empty()) {
    take(e.data.data(), e.data.size());
    return true;
  }
  int fd = open(e.source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  static thread_local std::vector<uint8_t> piece(1u << 20);
  ssize_t n;
  while ((n = read(fd, piece.data(), piece.size())) > 0 && take(piece.data(), (size_t)n)) {
  }
  close(fd);
  return n >= 0;
}

bool digest_of(const PackEntry& e, Digest& out) {
  Sha256 sha;
  if (!read_entry(e, [&](const uint8_t* p, size_t n) { return sha.update(p, n), true; })) return false;
  out = sha.finish();
  return true;
}

// The whole content of a file of at most limit bytes; false when it cannot be
// read or has grown past the limit.
bool content_of(const PackEntry& e, size_t limit, std::vector<uint8_t>& out) {
  out.clear();
  bool fits = true;
  auto take = [&](const uint8_t* p, size_t n) {
    fits = out.size() + n <= limit;
    if (fits) out.insert(out.end(), p, p + n);
    return fits;
  };
  return read_entry(e, take) && fits;
}

// Sketch values two files must share to be listed side by side: a quarter of
// them, for about a seventh of their 8-byte strings in common. Fewer made Python's
// library larger (files that share a few common lines moved away from their
// neighbours in the folder); more left near copies apart.
constexpr int MIN_SHARED = SKETCH_SIZE / 4;

uint64_t size_of(const PackEntry& e) { return e.source.empty() ? e.data.size() : e.size; }

// The source a compiled Python module is made from: D\__pycache__\NAME.TAG.pyc
// comes from D\NAME.py (module names hold no dot). Empty when the name is not
// such a file.
std::string source_of_compiled(const std::string& name) {
  static const std::string cache = "__pycache__\\";
  const size_t slash = name.rfind('\\');
  if (slash == std::string::npos || slash + 1 < cache.size() || name.size() < slash + 6 ||
      name.compare(name.size() - 4, 4, ".pyc") != 0)
    return std::string();
  const size_t folder = slash + 1 - cache.size();
  if (name.compare(folder, cache.size(), cache) != 0 || (folder > 0 && name[folder - 1] != '\\'))
    return std::string();
  const size_t dot = name.find('.', slash + 1);
  if (dot == slash + 1) return std::string();
  return name.substr(0, folder) + name.substr(slash + 1, dot - slash - 1) + ".py";
}

// A name that says its file is compressed already.
bool compressed_by_name(const std::string& name) {
  static const char* const ends[] = {".gz", ".xz", ".bz2", ".zst", ".lz", ".lzma", ".Z"};
  for (const char* e : ends) {
    const size_t n = strlen(e);
    if (name.size() > n && name.compare(name.size() - n, n, e) == 0) return true;
  }
  return false;
}

// Compressed files show the sketches nothing of their text, so their names
// are the only hint: among the files of one folder listed together, they take
// their places in the order of their names read backwards, which puts the
// editions of one page together (tool_beta_cmd.1.gz beside tool_cmd.1.gz),
// however far apart the names sort. On /usr/share/man, mostly gzip files,
// 1.2 % smaller at level 9; in that order all files made the benchmark
// corpus 6.5 % larger.
void order_compressed_by_name_end(std::vector<PackEntry>& entries) {
  auto folder_of = [](const std::string& name) {
    const size_t cut = name.rfind('\\');
    return cut == std::string::npos ? std::string() : name.substr(0, cut);
  };
  std::vector<size_t> at;
  std::vector<PackEntry> moving;
  size_t i = 0;
  while (i < entries.size()) {
    if (entries[i].folder) { i++; continue; }
    const std::string folder = folder_of(entries[i].name);
    size_t end = i;
    at.clear();
    for (; end < entries.size() && !entries[end].folder && folder_of(entries[end].name) == folder; end++)
      if (compressed_by_name(entries[end].name)) at.push_back(end);
    if (at.size() > 1) {
      moving.clear();
      for (size_t k : at) moving.push_back(std::move(entries[k]));
      std::stable_sort(moving.begin(), moving.end(), [](const PackEntry& a, const PackEntry& b) {
        return std::lexicographical_compare(a.name.rbegin(), a.name.rend(), b.name.rbegin(), b.name.rend());
      });
      for (size_t k = 0; k < at.size(); k++) entries[at[k]] = std::move(moving[k]);
    }
    i = end;
  }
}

}  // namespace

PlanOptions plan_options_for(int level) {
  PlanOptions o;
  o.group_similar = level >= 6;
  return o;
}

PlanResult plan_pack(std::vector<PackEntry>& entries, const PlanOptions& options) {
  PlanResult res;
  if (options.group_similar) order_compressed_by_name_end(entries);
  // Content identity among files that share a size, the first in the order
  // given standing for the rest.
  std::map<uint64_t, std::vector<size_t>> by_size;
  for (size_t i = 0; i < entries.size(); i++)
    if (!entries[i].folder) by_size[size_of(entries[i])].push_back(i);
  std::vector<size_t> first(entries.size());
  for (size_t i = 0; i < entries.size(); i++) first[i] = i;
  for (auto& [size, group] : by_size) {
    if (group.size() < 2) continue;
    if (size == 0) {
      for (size_t i : group) first[i] = group[0];
      continue;
    }
    std::map<std::vector<uint8_t>, size_t> seen;
    for (size_t i : group) {
      Digest d;
      if (!digest_of(entries[i], d)) continue;
      first[i] = seen.emplace(std::vector<uint8_t>(d.bytes, d.bytes + 32), i).first->second;
    }
  }
  std::map<std::string, size_t> folder_at, file_at;
  for (size_t i = 0; i < entries.size(); i++)
    (entries[i].folder ? folder_at : file_at).emplace(entries[i].name, i);

  // Where a file moves: a repeat right after its first copy; a compiled
  // Python module right after its source, whose strings and names it holds
  // (in the tree's order the two lie a whole folder of sources apart, mostly
  // farther than the window reaches). A source that moves itself keeps its
  // module where it is, so every chain of moves ends at a file that stays;
  // empty modules stay too, since empty files repeat the first one in place.
  std::vector<size_t> anchor(entries.size(), NOT_A_REPEAT);
  for (size_t i = 0; i < entries.size(); i++)
    if (first[i] != i && size_of(entries[i]) > 0) anchor[i] = first[i];
  for (size_t i = 0; i < entries.size(); i++) {
    if (entries[i].folder || anchor[i] != NOT_A_REPEAT || size_of(entries[i]) == 0) continue;
    auto src = file_at.find(source_of_compiled(entries[i].name));
    if (src != file_at.end() && anchor[src->second] == NOT_A_REPEAT) anchor[i] = src->second;
  }
  if (options.group_similar) {
    // Each file that stays where it is, against those before it. A file
    // joins the one it resembles, or the file that one moved to (every chain
    // of moves ends at a file that stays), unless that is itself.
    SimilarFiles similar(entries.size());
    std::vector<uint8_t> content;
    ContentSketch sketch;
    for (size_t i = 0; i < entries.size(); i++) {
      const uint64_t size = size_of(entries[i]);
      if (entries[i].folder || anchor[i] != NOT_A_REPEAT || size < 64 || size > MAX_HISTORY) continue;
      if (!content_of(entries[i], MAX_HISTORY, content)) continue;
      sketch_content(content.data(), content.size(), sketch);
      size_t to = similar.find_then_add((uint32_t)i, sketch, MIN_SHARED);
      if (to == SimilarFiles::NONE) continue;
      while (anchor[to] != NOT_A_REPEAT) to = anchor[to];
      if (to == i) continue;
      anchor[i] = to;
      res.moved_beside_similar++;
    }
  }
  std::vector<std::vector<size_t>> after(entries.size());
  for (size_t i = 0; i < entries.size(); i++)
    if (anchor[i] != NOT_A_REPEAT) after[anchor[i]].push_back(i);
  std::vector<size_t> planned;
  std::vector<bool> listed(entries.size(), false);
  auto list = [&](size_t i) {
    if (listed[i]) return;
    listed[i] = true;
    planned.push_back(i);
  };
  // A file, then those that move after it (and theirs: the repeats of a
  // compiled module follow it), each after its folders.
  std::function<void(size_t)> place = [&](size_t i) {
    list(i);
    for (size_t r : after[i]) {
      const std::string& name = entries[r].name;
      for (size_t cut = name.find('\\'); cut != std::string::npos; cut = name.find('\\', cut + 1)) {
        auto f = folder_at.find(name.substr(0, cut));
        if (f != folder_at.end()) list(f->second);
      }
      place(r);
    }
  };
  for (size_t i = 0; i < entries.size(); i++)
    if (anchor[i] == NOT_A_REPEAT) place(i);

  std::vector<size_t> at(entries.size());
  for (size_t k = 0; k < planned.size(); k++) at[planned[k]] = k;
  std::vector<PackEntry> out;
  out.reserve(entries.size());
  for (size_t i : planned) {
    out.push_back(std::move(entries[i]));
    PackEntry& e = out.back();
    e.same_as = NOT_A_REPEAT;
    if (first[i] != i) {
      e.same_as = (uint32_t)at[first[i]];
      res.repeats++;
      res.repeat_bytes += size_of(e);
    }
  }
  entries = std::move(out);
  return res;
}

}  // namespace qev
