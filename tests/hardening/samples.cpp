#include "samples.h"

#include "archive/layout.h"

namespace {

struct Rng {
  uint64_t s;
  explicit Rng(uint32_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 7) {}
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return (uint32_t)(s >> 16);
  }
};

constexpr uint16_t DATE = ((2004 - 1980) << 9) | (12 << 5) | 24;
constexpr uint16_t TIME = (12 << 11) | (29 << 5) | (52 / 2);

qev::PackEntry file(const std::string& name, std::vector<uint8_t> data, uint8_t attributes = 0x20) {
  qev::PackEntry e;
  e.name = name;
  e.data = std::move(data);
  e.attributes = attributes;
  e.create_date = e.write_date = DATE;
  e.create_time = e.write_time = TIME;
  return e;
}

qev::PackEntry folder(const std::string& name, uint8_t attributes = 0x10) {
  qev::PackEntry e;
  e.name = name;
  e.folder = true;
  e.attributes = attributes;
  return e;
}

Sample sample(const std::string& label, std::vector<qev::PackEntry> entries, qev::PackOptions o) {
  Sample s;
  s.label = label;
  s.entries = std::move(entries);
  s.options = o;
  if (!write_sample(s)) s.bytes.clear();
  return s;
}

}  // namespace

bool write_sample(Sample& s) {
  qev::VectorSink sink;
  if (!qev::write_archive(s.entries, s.options, sink, s.result)) return false;
  s.bytes = std::move(sink.bytes);
  return true;
}

std::vector<uint8_t> text_bytes(size_t n, uint32_t seed) {
  static const char* const words[] = {"the", "archive", "member", "of", "stream", "block", "a",
                                      "window", "and", "Lumetra", "folder", "table", "set", "to"};
  Rng r(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    const char* w = words[r.next() % 14];
    while (*w && v.size() < n) v.push_back((uint8_t)*w++);
    if (v.size() < n) v.push_back(r.next() % 9 == 0 ? '\n' : ' ');
  }
  return v;
}

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
  Rng r(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = (uint8_t)r.next();
  return v;
}

std::vector<uint8_t> noise_bytes(size_t n, uint32_t seed) {
  Rng r(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = (uint8_t)(0x30 + r.next() % 64);
  return v;
}

std::vector<uint8_t> code_bytes(size_t n, uint32_t seed, bool pe) {
  Rng r(seed);
  std::vector<uint8_t> v;
  if (pe && n >= 128) {
    v.assign(128, 0);
    v[0] = 'M';
    v[1] = 'Z';
    v[60] = 64;  // e_lfanew
    v[64] = 'P';
    v[65] = 'E';
    v[68] = 0x4C;  // i386
    v[69] = 0x01;
  }
  while (v.size() < n) {
    uint32_t k = r.next() % 8;
    if (k < 3) {
      // A call to one of a few hundred targets, as compilers emit them.
      uint32_t target = 0x1000 + (r.next() % 300) * 64;
      int32_t rel = (int32_t)(target - (uint32_t)v.size());
      v.push_back(0xE8);
      for (int i = 0; i < 4; i++) v.push_back((uint8_t)(rel >> (8 * i)));
    } else if (k == 3) {
      static const uint8_t prologue[] = {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10};
      v.insert(v.end(), prologue, prologue + sizeof(prologue));
    } else {
      v.push_back((uint8_t)(r.next() % 7 == 0 ? 0xE8 : r.next()));
    }
  }
  v.resize(n);
  return v;
}

std::vector<Sample> sweep_samples() {
  std::vector<Sample> out;
  {
    qev::PackOptions o;
    o.encoder.level = 0;
    o.stream_limit = 800;
    out.push_back(sample("stored", {folder("docs"), file("docs\\a.txt", text_bytes(700, 1)),
                                    file("b.bin", random_bytes(300, 2), 0x21),
                                    file("empty", {}), file("c.txt", text_bytes(400, 3))},
                         o));
  }
  {
    qev::PackOptions o;
    o.encoder.block.force_tables = 1;
    o.encoder.block.force_default = 0;
    out.push_back(sample("one distance table",
                         {file("one.txt", text_bytes(2500, 4)), file("two.bin", code_bytes(900, 5, false))},
                         o));
  }
  {
    qev::PackOptions o;
    o.encoder.block.force_tables = 2;
    o.encoder.block.force_default = 1;
    out.push_back(sample("default set", {file("d.txt", text_bytes(3000, 6))}, o));
  }
  {
    qev::PackOptions o;
    o.encoder.block.force_tables = 3;
    o.encoder.block.force_default = 0;
    o.encoder.block.split_items = 40;
    out.push_back(sample("three distance tables, many sets",
                         {file("t.txt", text_bytes(2500, 7)), file("u.bin", code_bytes(800, 8, false))},
                         o));
  }
  {
    qev::PackOptions o;
    o.filter = qev::FilterMode::E8_32;
    o.encoder.block_size = 700;
    out.push_back(sample("32-bit filter over several blocks",
                         {file("p.exe", code_bytes(1500, 9, false)), file("q.dll", code_bytes(600, 10, false))},
                         o));
  }
  {
    qev::PackOptions o;
    o.filter = qev::FilterMode::E8_16;
    o.encoder.block_size = 500;
    out.push_back(sample("16-bit filter over several blocks", {file("r.com", code_bytes(1400, 11, false))},
                         o));
  }
  {
    std::vector<qev::PackEntry> e = {folder("dir")};
    for (int i = 0; i < 16; i++) {
      e.push_back(file("dir\\f" + std::to_string(i) + ".txt", text_bytes(40 + i * 13, 20 + i)));
    }
    qev::PackOptions o;
    o.dir_block_limit = 150;
    out.push_back(sample("many compressed directory blocks", e, o));
    o.dir_block.force_stored = true;
    out.push_back(sample("many stored directory blocks", e, o));
  }
  {
    qev::PackOptions o;
    o.encoder.block_size = 64;
    o.stream_limit = 300;
    out.push_back(sample("small blocks, many streams",
                         {file("s1", text_bytes(500, 40)), file("s2", text_bytes(200, 41)),
                          file("s3", code_bytes(400, 42, false)), file("s4", text_bytes(90, 43))},
                         o));
  }
  return out;
}

std::vector<Sample> fault_samples() {
  std::vector<Sample> out;
  auto entries = [](uint32_t seed, size_t scale) {
    return std::vector<qev::PackEntry>{
        folder("bin"),
        file("bin\\tool.exe", code_bytes(60000 / scale, seed, true), 0x21),
        file("readme.txt", text_bytes(3000, seed + 1)),
        file("empty.dat", {}),
        folder("data", 0x11),
        file("data\\noise.bin", random_bytes(150000 / scale, seed + 2)),
        file("data\\table.bin", noise_bytes(250000 / scale, seed + 3)),
        file("lumetra.exe", code_bytes(5000, seed + 4, true)),
    };
  };
  {
    qev::PackOptions o;
    o.stream_limit = 1;  // a stream per member
    o.encoder.block.split_effort = 0;  // one table set per block: refills poll, not set starts
    out.push_back(sample("large frames", entries(100, 1), o));
  }
  {
    qev::PackOptions o;
    o.encoder.block_size = 9000;
    o.encoder.block.split_items = 300;
    o.stream_limit = 20000;
    o.dir_block_limit = 120;
    o.dir_block.force_stored = true;
    out.push_back(sample("many blocks", entries(200, 4), o));
  }
  return out;
}
