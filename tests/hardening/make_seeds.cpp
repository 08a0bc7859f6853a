// Writes the seed corpora of fuzz_extract, fuzz_filter_pieces and
// fuzz_round_trip. Run by hand after a change of the format or the writer:
//   hardening_make_seeds <source>/fuzz/corpus
// The archives are the corruption sweep's samples (writer-made, a few KiB
// each), some with the header byte that fuzz_extract reads as its mode set.
#include <stdio.h>

#include <string>
#include <vector>

#include "samples.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void save(const std::string& path, const Bytes& b) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    perror(path.c_str());
    return;
  }
  fwrite(b.data(), 1, b.size(), f);
  fclose(f);
}

// One entry in fuzz_round_trip's input format.
void entry(Bytes& out, uint8_t kind, const std::string& name, const Bytes& data, uint16_t length) {
  out.push_back(kind);
  out.push_back((uint8_t)name.size());
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(0x35);
  out.push_back(0x9A);
  out.push_back((uint8_t)length);
  out.push_back((uint8_t)(length >> 8));
  if (kind & 16) out.push_back((uint8_t)(data.size() - 1));
  out.insert(out.end(), data.begin(), data.end());
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "corpus";
  int k = 0;
  std::vector<Sample> samples = sweep_samples();
  for (const Sample& s : samples) {
    save(dir + "/fuzz_extract/seed" + std::to_string(k++), s.bytes);
  }
  // The surroundings: 8.3 names, behind a stub, Cancel, overwrite answers.
  for (uint8_t mode : {2, 4, 8 | 16, 1 | 2}) {
    Bytes b = samples[(size_t)(mode % samples.size())].bytes;
    b[12] = mode;
    save(dir + "/fuzz_extract/seed" + std::to_string(k++), b);
  }

  k = 0;
  for (uint32_t seed = 1; seed <= 4; seed++) {
    Bytes member = code_bytes(seed * 3000, seed, seed % 2 == 0);
    Bytes in = {(uint8_t)(seed % 2), 5, 0, 1, 2, 0x83, 200};
    in.insert(in.end(), member.begin(), member.end());
    save(dir + "/fuzz_filter_pieces/seed" + std::to_string(k++), in);
  }
  // Calls at the very end and operands of 0xE8 bytes.
  save(dir + "/fuzz_filter_pieces/seed" + std::to_string(k++),
       {1, 2, 3, 0, 0xE8, 0xE8, 0xE8, 0xE8, 0xE8, 1, 0xE8, 0xE8, 0, 0xE8});
  save(dir + "/fuzz_filter_pieces/seed" + std::to_string(k++), {0, 1, 1, 0xE8, 0xFF, 0xFF, 0xE8, 0x01});

  k = 0;
  for (uint8_t level : {0, 1, 6, 9}) {
    for (uint8_t options : {0x00, 0x25, 0x4A, 0xE7}) {
      Bytes in = {level, options, (uint8_t)(level * 37 + options), (uint8_t)(options & 0x1F)};
      Bytes text = text_bytes(900, level + options);
      Bytes code = code_bytes(500, options, false);
      entry(in, 0, "readme", text, (uint16_t)text.size());
      entry(in, 1 | 4, "sub", {}, 0);
      entry(in, 2 | 4, "tool", code, (uint16_t)code.size());
      entry(in, 16 | 8, "pattern", {'a', 'b', 'c', 0xE8, 1, 2}, 20000);
      entry(in, 0, "empty", {}, 0);
      save(dir + "/fuzz_round_trip/seed" + std::to_string(k++), in);
    }
  }
  // Planned as qev pack plans (level + 10, + 20 per extra thread): files
  // repeated in other folders and empty files, stored once.
  for (uint8_t b0 : {11, 36, 59}) {
    Bytes in = {b0, 0x25, 0, 0};
    Bytes text = text_bytes(3000, b0);
    entry(in, 0, "readme", text, (uint16_t)text.size());
    entry(in, 4, "readme", text, (uint16_t)text.size());
    entry(in, 16 | 8, "pattern", {'x', 'y', 0xE8, 7}, 9000);
    entry(in, 16 | 12, "pattern2", {'x', 'y', 0xE8, 7}, 9000);
    entry(in, 0, "empty", {}, 0);
    entry(in, 8, "empty", {}, 0);
    save(dir + "/fuzz_round_trip/seed" + std::to_string(k++), in);
  }
  return 0;
}
