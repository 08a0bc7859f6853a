// Writes the seed corpora of the fuzz targets: valid blocks and directories
// of several shapes, made with the decoder tests' writer. Run once by hand:
//   fuzz_make_seeds fuzz/corpus
#include <stdio.h>

#include <string>
#include <vector>

#include "archive/layout.h"
#include "archive_builder.h"
#include "stream_writer.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void save(const std::string& path, const Bytes& b) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  fwrite(b.data(), 1, b.size(), f);
  fclose(f);
}

Bytes block_seed(const Bytes& data, uint32_t tables, size_t per_set, bool with_default) {
  dectest::BlockDesign design;
  design.tables = tables;
  design.sets = dectest::split_sets(dectest::lz_parse(data.data(), 0, 0, data.size(), tables, 8),
                                  per_set);
  design.default_set = with_default;
  design.window_size = (uint32_t)data.size();
  dectest::BitWriter w;
  dectest::write_block(w, design);
  uint32_t want = (uint32_t)data.size();
  Bytes seed = {0, 0, (uint8_t)want, (uint8_t)(want >> 8)};
  Bytes b = w.take();
  seed.insert(seed.end(), b.begin(), b.end());
  return seed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "corpus";
  int k = 0;
  for (uint32_t tables = 1; tables <= 3; tables++) {
    for (size_t n : {50u, 2000u, 30000u}) {
      Bytes data = dectest::text_data(tables * 100 + (uint32_t)n, n);
      save(dir + "/fuzz_block_decoder/seed" + std::to_string(k++),
           block_seed(data, tables, n > 1000 ? 500 : 0, false));
    }
  }
  // The default set: literals only (no 256, so it runs until the output is full).
  {
    Bytes data = {'h', 'e', 'l', 'l', 'o'};
    dectest::BlockDesign design;
    design.tables = 2;
    design.default_set = true;
    dectest::TableSet set;
    for (uint8_t c : data) set.items.push_back(dectest::literal(c));
    set.end_with_256 = false;
    design.sets = {set};
    dectest::BitWriter w;
    dectest::write_block(w, design);
    Bytes seed = {0, 0, 5, 0};
    Bytes b = w.take();
    seed.insert(seed.end(), b.begin(), b.end());
    save(dir + "/fuzz_block_decoder/seed" + std::to_string(k++), seed);
    save(dir + "/fuzz_block_decoder/example", {0, 0, 5, 0, 0x02, 0x82, 0xDF, 0x08});
  }
  // Directories: a stored block and a compressed one.
  k = 0;
  for (int blocks = 1; blocks <= 3; blocks++) {
    Bytes archive;
    for (int b = 0; b < blocks; b++) {
      Bytes entries;
      for (int i = 0; i < 5 + b * 20; i++) {
        DirectoryEntry e = {};
        std::string name = "dir\\file" + std::to_string(i) + ".dll";
        e.stream_pos = 42;
        e.size = (uint32_t)i * 1000;
        e.name_len = (uint16_t)name.size();
        Bytes fixed(38);
        write_entry(e, fixed.data());
        entries.insert(entries.end(), fixed.begin(), fixed.end());
        entries.insert(entries.end(), name.begin(), name.end());
      }
      Bytes magic = {0x51, 0x45, 0x56, 0x44, 0x45, 0x00};
      archive.insert(archive.end(), magic.begin(), magic.end());
      if (b % 2 == 0) {
        dectest::BlockDesign design;
        design.tables = 2;
        design.sets = dectest::split_sets(
            dectest::lz_parse(entries.data(), 0, 0, entries.size(), 2, 8), 0);
        Bytes f = dectest::compressed_frame(design, (uint32_t)entries.size(), false, 0);
        archive.insert(archive.end(), f.begin(), f.end());
      } else {
        dectest::BitWriter w;
        w.put(0, 4);
        w.put(0, 1);
        w.put((uint32_t)entries.size(), 20);
        w.put(7 + (uint32_t)entries.size(), 20);
        w.put(0, 5);
        w.align();
        Bytes h = w.take();
        archive.insert(archive.end(), h.begin(), h.end());
        archive.insert(archive.end(), entries.begin(), entries.end());
      }
    }
    save(dir + "/fuzz_directory/seed" + std::to_string(k++), archive);
  }
  return 0;
}
