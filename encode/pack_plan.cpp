#include "encode/pack_plan.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "encode/sha256.h"

namespace qev {
namespace {

std::string folded(const std::string& s) {
  std::string f = s;
  for (char& c : f)
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
  return f;
}

// Extension (without the dot; empty for none) and name of an entry's last component.
std::pair<std::string, std::string> kind_key(const std::string& path) {
  const size_t slash = path.rfind('\\');
  const std::string name = folded(slash == std::string::npos ? path : path.substr(slash + 1));
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {std::string(), name};
  return {name.substr(dot + 1), name};
}

bool digest_of(const PackEntry& e, Digest& out) {
  Sha256 sha;
  if (e.source.empty()) {
    sha.update(e.data.data(), e.data.size());
    out = sha.finish();
    return true;
  }
  int fd = open(e.source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  static thread_local std::vector<uint8_t> piece(1u << 20);
  ssize_t n;
  while ((n = read(fd, piece.data(), piece.size())) > 0) sha.update(piece.data(), (size_t)n);
  close(fd);
  if (n < 0) return false;
  out = sha.finish();
  return true;
}

uint64_t size_of(const PackEntry& e) { return e.source.empty() ? e.data.size() : e.size; }

}  // namespace

PlanResult plan_pack(std::vector<PackEntry>& entries, bool by_kind) {
  PlanResult res;
  // Folders, then files by kind.
  std::vector<size_t> order;
  std::vector<std::pair<std::string, std::string>> key(entries.size());
  for (size_t i = 0; i < entries.size(); i++) {
    if (entries[i].folder) order.push_back(i);
    else key[i] = kind_key(entries[i].name);
  }
  const size_t folders = order.size();
  for (size_t i = 0; i < entries.size(); i++)
    if (!entries[i].folder) order.push_back(i);
  if (by_kind)
    std::stable_sort(order.begin() + (ptrdiff_t)folders, order.end(),
                     [&](size_t a, size_t b) { return key[a] < key[b]; });

  // Content identity among files that share a size. An empty file repeats
  // the first empty file: its content needs no reading.
  std::map<uint64_t, std::vector<size_t>> by_size;  // in planned order
  for (size_t k = folders; k < order.size(); k++) by_size[size_of(entries[order[k]])].push_back(order[k]);
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
      auto it = seen.emplace(std::vector<uint8_t>(d.bytes, d.bytes + 32), i).first;
      first[i] = it->second;
    }
  }

  // Each repeat right after the file it repeats (empty files stay where they are).
  std::vector<std::vector<size_t>> after(entries.size());
  std::vector<size_t> planned(order.begin(), order.begin() + (ptrdiff_t)folders);
  for (size_t k = folders; k < order.size(); k++) {
    size_t i = order[k];
    if (first[i] != i && size_of(entries[i]) > 0) after[first[i]].push_back(i);
  }
  for (size_t k = folders; k < order.size(); k++) {
    size_t i = order[k];
    if (first[i] != i && size_of(entries[i]) > 0) continue;
    planned.push_back(i);
    planned.insert(planned.end(), after[i].begin(), after[i].end());
  }
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
