#include "archive_builder.h"

#include <algorithm>
#include <random>

#include "decode/call_filter.h"
#include "decode_fixture.h"
#include "stream_writer.h"

namespace dectest {

Bytes member_record(const std::string& name, const Bytes& data, uint8_t flags) {
  Bytes r(11, 0);
  uint32_t size = (uint32_t)data.size();
  for (int k = 0; k < 4; k++) r[k] = (uint8_t)(size >> (8 * k));
  r[4] = (uint8_t)name.size();
  r[5] = (uint8_t)(name.size() >> 8);
  r[10] = flags;
  r.insert(r.end(), name.begin(), name.end());
  r.insert(r.end(), data.begin(), data.end());
  uint32_t crc = crc32_bitwise(data.data(), data.size());
  for (int k = 0; k < 4; k++) r.push_back((uint8_t)(crc >> (8 * k)));
  return r;
}

Bytes encode_stream(const Bytes& decoded, const std::vector<BlockPlan>& plan) {
  static const uint32_t keep_table[3][8] = {
      {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},
      {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},
      {32768, 131072, 196608, 262144, 327680, 393216, 458752, 524288}};
  Bytes out = {0x51, 0x45, 0x56, 0x4C, 0x48, 0x00};
  // The decoder's window, followed block by block: capacity and history kept.
  uint64_t capacity = 0, history = 0, start = 0, prev_len = 0;
  for (size_t b = 0; b < plan.size(); b++) {
    const BlockPlan& p = plan[b];
    const bool first = b == 0, last = b + 1 == plan.size();
    history += prev_len;
    if (first) capacity = p.size + 512;
    Bytes frame;
    if (p.stored) {
      if (p.size > capacity) capacity = p.size + 512;
      if (last) history = 0;
      else history = std::min<uint64_t>({history, p.size < 524288 ? 524288 - p.size : 0,
                                         capacity - p.size});
      frame = stored_frame(decoded.data() + start, p.size, last);
    } else {
      if (!first) {
        uint32_t row = p.selector & 3;
        history = std::min<uint64_t>(history, keep_table[row == 3 ? 2 : row][(p.selector >> 2) & 7]);
      } else {
        history = 0;
      }
      if (history + p.size > capacity) capacity = history + p.size + 512;
      std::vector<Item> items = lz_parse(decoded.data(), (size_t)(start - history), (size_t)start,
                                         (size_t)(start + p.size), p.tables, 8);
      BlockDesign design;
      design.tables = p.tables;
      design.sets = split_sets(items, p.per_set);
      frame = compressed_frame(design, p.size, last, p.selector);
    }
    out.insert(out.end(), frame.begin(), frame.end());
    start += p.size;
    prev_len = p.size;
  }
  return out;
}

std::vector<size_t> frame_offsets(const Bytes& stream) {
  std::vector<size_t> at;
  for (size_t p = 6; p + 6 <= stream.size();) {
    at.push_back(p);
    uint32_t length = (stream[p + 3] >> 1) | (stream[p + 4] << 7) | ((stream[p + 5] & 0x1F) << 15);
    p += length;
  }
  return at;
}

Bytes restore_calls_model(const Bytes& m, uint32_t width) {
  Bytes out = m;
  const uint32_t n = (uint32_t)m.size();
  for (uint32_t i = 0; i < n;) {
    if (m[i] == 0xE8 && i + 1 + width <= n) {
      uint32_t p = i + 1;
      if (width == 2) {
        uint16_t w = restore_call16((uint16_t)(m[p] | m[p + 1] << 8), p);
        out[p] = (uint8_t)w;
        out[p + 1] = (uint8_t)(w >> 8);
      } else {
        uint32_t v = restore_call32(
            m[p] | m[p + 1] << 8 | m[p + 2] << 16 | (uint32_t)m[p + 3] << 24, p, n);
        for (int k = 0; k < 4; k++) out[p + k] = (uint8_t)(v >> (8 * k));
      }
      i += 1 + width;
    } else {
      i++;
    }
  }
  return out;
}

Bytes text_data(uint32_t seed, size_t n) {
  std::mt19937 rng(seed);
  static const char* words[] = {"the ", "archive ", "member ", "stream ", "block ", "window ",
                                "call\xE8", "table ", "set ", "of ", "and ", "\n", "0x41 "};
  Bytes d;
  d.reserve(n);
  while (d.size() < n) {
    if (d.size() > 100 && rng() % 16 == 0) {
      size_t from = d.size() - 1 - rng() % std::min<size_t>(d.size() - 1, 30000);
      size_t len = 3 + rng() % 60;
      for (size_t k = 0; k < len && d.size() < n; k++) d.push_back(d[from + k]);
      continue;
    }
    const char* w = words[rng() % 13];
    while (*w && d.size() < n) d.push_back((uint8_t)*w++);
    if (rng() % 7 == 0 && d.size() < n) d.push_back((uint8_t)rng());
  }
  return d;
}

}  // namespace dectest
