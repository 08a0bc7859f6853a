#include "reference_reader.h"

#include <string.h>

#include <utility>

namespace refread {
namespace {

uint32_t u16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t u32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }

struct Bits {
  const uint8_t* p;
  uint64_t size_bits;
  uint64_t pos = 0;
  bool over = false;
  uint32_t get(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++, pos++) {
      if (pos >= size_bits) { over = true; return 0; }
      v |= (uint32_t)((p[pos >> 3] >> (pos & 7)) & 1) << i;
    }
    return v;
  }
};

// Canonical code decoding by code length (first bit read is the code's top bit).
struct Code {
  int count[17] = {0};
  std::vector<int> symbols;
  void build(const uint8_t* len, int n) {
    memset(count, 0, sizeof count);
    symbols.clear();
    for (int i = 0; i < n; i++) count[len[i]]++;
    count[0] = 0;
    for (int l = 1; l <= 16; l++)
      for (int i = 0; i < n; i++)
        if (len[i] == l) symbols.push_back(i);
  }
  int decode(Bits& b) const {
    int code = 0, first = 0, index = 0;
    for (int l = 1; l <= 16; l++) {
      code |= (int)b.get(1);
      if (b.over) return -1;
      int c = count[l];
      if (code - first < c) return symbols[index + code - first];
      index += c;
      first = (first + c) << 1;
      code <<= 1;
    }
    return -1;
  }
};

const uint32_t KEEP[3][8] = {
    {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},
    {32768, 65536, 73728, 98304, 122880, 147456, 172032, 196608},
    {32768, 131072, 196608, 262144, 327680, 393216, 458752, 524288}};

void default_set(uint8_t* l, uint32_t window) {
  for (int i = 0; i < 288; i++) l[i] = i < 244 ? 8 : i < 256 ? 9 : i == 256 ? 0 : i <= 260 ? 9 : i <= 265 ? 10 : 11;
  for (int i = 0; i < 42; i++)
    l[288 + i] = window > 8192 ? (i < 22 ? 5 : 6) : (i < 4 ? 4 : i < 28 ? 5 : 0);
  for (int i = 0; i < 14; i++) l[330 + i] = i < 2 ? 3 : 4;
}

std::string read_sets_bits(Bits& b, std::vector<uint8_t>& lens, int set_size, int sets, Constructs& seen) {
  uint8_t pl[21] = {0};
  int i = 0;
  uint32_t mult = 1;
  while (i < 21) {
    uint32_t v = b.get(5);
    if (b.over) return "pre-code runs past the frame";
    if (v >= 2) { pl[i++] = (uint8_t)(v - 1); mult = 1; }
    else { i += (int)(mult * (v + 1)); mult *= 2; }
  }
  for (int k = 0; k < 21; k++) if (pl[k] > 16) return "pre-code length above 16";
  Code pre;
  pre.build(pl, 21);
  const int end = set_size * sets;
  lens.assign(end, 0);
  int cur = 0, o = 0;
  uint32_t zm = 1, rm = 1;
  int run_kind = 0;
  uint32_t run_len = 0;
  while (o < end) {
    int s = pre.decode(b);
    if (s < 0) return "bad pre-code symbol";
    int kind = s <= 16 ? 0 : s <= 18 ? 1 : 2;
    if (kind != run_kind) run_len = 0;
    run_kind = kind;
    if (s <= 16) {
      int prev = o >= set_size ? lens[o - set_size] : 0;
      int base = prev ? prev : cur;
      cur = (base + s) % 17;
      lens[o++] = (uint8_t)cur;
      zm = rm = 1;
    } else if (s <= 18) {
      uint32_t n = zm * (uint32_t)(s - 16);
      run_len += n;
      for (uint32_t k = 0; k < n && o < end; k++) lens[o++] = 0;
      zm *= 2;
      rm = 1;
    } else {
      uint32_t n = rm * (uint32_t)(s - 18);
      run_len += n;
      for (uint32_t k = 0; k < n && o < end; k++) {
        int prev = o >= set_size ? lens[o - set_size] : 0;
        if (prev) cur = prev;
        lens[o++] = (uint8_t)cur;
      }
      rm *= 2;
      zm = 1;
    }
    if (kind && run_len > seen.longest_run) seen.longest_run = run_len;
  }
  return "";
}

// Decodes a compressed block's body (from the tables byte) into win after
// `history` bytes. Returns "" when exactly `want` bytes came out.
std::string decode_body(Bits& b, std::vector<uint8_t>& win, uint32_t history, uint32_t want,
                        Constructs& seen) {
  uint32_t hdr = b.get(8);
  int tables = hdr & 3, sets = hdr >> 2;
  if (tables == 0) return "distance table count 0";
  int set_size = tables == 3 ? 372 : 344;
  std::vector<uint8_t> lens;
  if (sets == 0) {
    if (tables == 3) return "default set with three distance tables";
    lens.assign(344, 0);
    default_set(lens.data(), history + want);
    if (tables == 1) seen.default1++; else seen.default2++;
  } else {
    std::string e = read_sets_bits(b, lens, set_size, sets, seen);
    if (!e.empty()) return e;
  }
  seen.tables[tables]++;
  if (sets > (int)seen.max_sets) seen.max_sets = sets;
  static const int dstart[3] = {288, 330, 344}, dsize[3] = {42, 14, 28};
  win.resize(history + want);
  uint32_t out = history, end = history + want;
  uint32_t last = 0, prev = 0;
  int nsets = sets ? sets : 1;
  for (int s = 0; s < nsets && out < end; s++) {
    const uint8_t* l = lens.data() + (size_t)s * (sets ? set_size : 0);
    Code lit, dist[3];
    lit.build(l, 288);
    for (int t = 0; t < tables; t++) dist[t].build(l + dstart[t], dsize[t]);
    for (;;) {
      if (out >= end) break;
      int sym = lit.decode(b);
      if (sym < 0) return "literal/length symbol without a code";
      if (sym < 256) { win[out++] = (uint8_t)sym; continue; }
      if (sym == 256) {
        if (s + 1 == nsets) return "end of the last set before the block's end";
        break;
      }
      uint32_t len;
      if (sym <= 265) len = sym - 255;
      else if (sym <= 285) {
        int e = (sym - 266) / 4 + 1;
        static const uint32_t base[20] = {11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227};
        len = base[sym - 266] + b.get(e);
      } else { len = 259 + b.get(15); seen.long_matches++; }
      int t = len == 2 ? 1 : (len == 3 && tables == 3) ? 2 : 0;
      if (t >= tables) return "length-2 match in a block with one distance table";
      int ds = dist[t].decode(b);
      if (ds < 0) return "distance symbol without a code";
      uint32_t d;
      if (ds == 0) { d = last; seen.register_uses++; }
      else if (ds == 1) { d = prev; prev = last; last = d; seen.register_uses++; }
      else if (ds <= 5) { d = ds - 1; seen.short_distances++; }
      else {
        int p = (ds - 6) / 2;
        uint32_t base = (ds & 1) ? (1u << (p + 2)) + (1u << (p + 1)) + 1 : (1u << (p + 2)) + 1;
        d = base + b.get(p + 1);
        prev = last;
        last = d;
      }
      if (len == 2) seen.len2++;
      if (len == 3 && tables == 3) seen.len3_table2++;
      if (b.over) return "block data run past the frame";
      if (d == 0) return "distance 0";
      if (d > out) return "match reaching before the window (the stub would drop it)";
      if (d > seen.max_distance) seen.max_distance = d;
      if (len > end - out) return "match running past the block's end";
      for (uint32_t k = 0; k < len; k++, out++) win[out] = win[out - d];
    }
  }
  if (b.over) return "block data run past the frame";
  if (out != end) return "block ended short";
  return "";
}

}  // namespace

std::string read_length_sets(const uint8_t* bytes, size_t size, int set_size, int sets,
                             std::vector<uint8_t>& lengths, uint64_t* bits_used) {
  Bits b{bytes, (uint64_t)size * 8};
  Constructs seen;
  std::string e = read_sets_bits(b, lengths, set_size, sets, seen);
  if (b.over) return "ran past the input";
  if (bits_used) *bits_used = b.pos;
  return e;
}

uint32_t crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; i++) {
    c ^= p[i];
    for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

std::string read_stream(const uint8_t* data, size_t size, size_t at, std::vector<uint8_t>& out,
                        Constructs& seen) {
  out.clear();
  std::vector<uint8_t> win;  // history + current block, as the stub's window
  uint32_t capacity = 0, history = 0, block_len = 0;
  bool have_window = false, continued = false, last = false;
  while (!last) {
    if (at + 6 > size) return "frame header past the end of the archive";
    const uint8_t* f = data + at;
    uint32_t method = f[0] & 15;
    last = (f[0] >> 4) & 1;
    uint32_t bsize = (u32(f) >> 5) & 0xFFFFF;
    uint32_t flen = (u32(f + 3) >> 1) & 0xFFFFF;
    if (flen < 8) return "frame shorter than 8 bytes";
    if (at + flen > size) return "frame past the end of the archive";
    history += block_len;
    if (!have_window) { capacity = bsize + 512; have_window = true; }
    uint32_t h = history;
    // win holds the last `history` bytes of output.
    if (method == 1) {
      Bits b{f, (uint64_t)flen * 8};
      b.pos = 45;
      uint32_t sel = b.get(5);
      if (continued) {
        uint32_t row = sel & 3, col = sel >> 2;
        uint32_t keep = KEEP[row == 3 ? 2 : row][col];
        if (h > keep) h = keep;
        seen.selector_rows |= 1u << row;
      }
      if (h + bsize > capacity) capacity = h + bsize + 512;
      if (h > seen.max_history) seen.max_history = h;
      std::vector<uint8_t> w(win.end() - h, win.end());
      std::string e = decode_body(b, w, h, bsize, seen);
      if (!e.empty()) return e;
      uint64_t used = (b.pos + 7) / 8;
      if (used != flen) return "block_length " + std::to_string(flen) + " but the block ends at byte " + std::to_string(used);
      win.swap(w);
    } else if (method == 0) {
      seen.stored++;
      if (bsize > capacity) capacity = bsize + 512;
      if (!last) {
        uint32_t keep = bsize < 524288 ? 524288 - bsize : 0;
        if (keep > capacity - bsize) keep = capacity - bsize;
        if (h > keep) h = keep;
      } else {
        h = 0;
      }
      if (flen != 6 + bsize) return "stored frame length is not 6 + size";
      std::vector<uint8_t> w(win.end() - h, win.end());
      w.insert(w.end(), f + 6, f + 6 + bsize);
      win.swap(w);
    } else {
      return "block method above 1";
    }
    out.insert(out.end(), win.end() - bsize, win.end());
    history = h;
    block_len = bsize;
    continued = true;
    at += flen;
  }
  return "";
}

std::string read_archive(const std::vector<uint8_t>& file, size_t base, Archive& a) {
  if (file.size() < base + 42) return "shorter than a header";
  const uint8_t* d = file.data() + base;
  size_t size = file.size() - base;
  if (memcmp(d, "QEV\n", 4) != 0) return "no archive magic";
  a.directory_pos = u32(d + 4);
  a.member_count = u32(d + 8);
  a.archive_size = u32(d + 20);
  a.stream_data_size = u32(d + 24);
  if (a.archive_size != size) return "archive_size differs from the archive's length";
  if (a.stream_data_size != a.directory_pos - 42) return "stream_data_size wrong";
  // Directory.
  std::vector<uint8_t> block;
  size_t at = a.directory_pos;
  size_t cursor = 0;
  a.members.clear();
  while (a.members.size() < a.member_count) {
    if (block.size() - cursor < 38) {
      if (at + 6 > size || memcmp(d + at, "QEVDE\0", 6) != 0) return "directory block magic missing";
      const uint8_t* f = d + at + 6;
      size_t avail = size - at - 6 < 8184 ? size - at - 6 : 8184;
      uint32_t method = f[0] & 15;
      uint32_t bsize = (u32(f) >> 5) & 0xFFFFF;
      if (bsize > 8192) return "directory block decodes to more than 8192 bytes";
      size_t used;
      if (method == 1) {
        Bits b{f, (uint64_t)avail * 8};
        b.pos = 50;
        std::vector<uint8_t> w;
        std::string e = decode_body(b, w, 0, bsize, a.seen);
        if (!e.empty()) return "directory: " + e;
        block = w;
        used = (b.pos + 7) / 8;
      } else if (method == 0) {
        if (7 + (size_t)bsize > avail) return "stored directory block past the 8184-byte read";
        block.assign(f + 7, f + 7 + bsize);
        used = 7 + bsize;
      } else {
        return "directory block method above 1";
      }
      at += 6 + used;
      cursor = 0;
      if (block.size() < 38) return "directory block without a whole entry";
    }
    const uint8_t* e = block.data() + cursor;
    Member m;
    m.stream_pos = u32(e + 4);
    m.attributes = e[8];
    uint32_t extra = e[10];
    m.flags = e[11];
    m.stream_offset = u32(e + 12);
    m.size = u32(e + 16);
    m.crc32 = u32(e + 20);
    uint32_t extra2 = u16(e + 24), name_len = u16(e + 26);
    m.create_time = (uint16_t)u16(e + 28);
    m.create_date = (uint16_t)u16(e + 30);
    m.write_time = (uint16_t)u16(e + 32);
    m.write_date = (uint16_t)u16(e + 34);
    if (block.size() - cursor - 38 < name_len + extra + extra2) return "entry runs past its directory block";
    m.name.assign((const char*)e + 38, name_len);
    cursor += 38 + name_len + extra + extra2;
    a.members.push_back(m);
  }
  if (at != size) return "bytes after the last directory block";
  // Members.
  std::map<uint32_t, std::vector<uint8_t>> streams;
  // Records read so far: a member may name an earlier member's record (one
  // copy of identical files), which must then hold its size, flags and CRC.
  std::map<std::pair<uint32_t, uint32_t>, const Member*> records;
  uint32_t last_stream = 0, last_end = 0;
  for (Member& m : a.members) {
    if (m.flags & 1) continue;
    auto again = records.find({m.stream_pos, m.stream_offset});
    if (again != records.end()) {
      const Member& f = *again->second;
      if (f.size != m.size || f.flags != m.flags || f.crc32 != m.crc32) return "repeat differs from its record";
      m.data = f.data;
      continue;
    }
    if (m.stream_pos < 42 || m.stream_pos + 6 > a.directory_pos) return "stream_pos outside the stream area";
    if (memcmp(d + m.stream_pos, "QEVLH\0", 6) != 0) return "stream magic missing";
    auto it = streams.find(m.stream_pos);
    if (it == streams.end()) {
      std::vector<uint8_t> s;
      std::string e = read_stream(d, a.directory_pos, m.stream_pos + 6, s, a.seen);
      if (!e.empty()) return "stream at " + std::to_string(m.stream_pos) + ": " + e;
      it = streams.emplace(m.stream_pos, std::move(s)).first;
    } else if (m.stream_pos != last_stream || m.stream_offset < last_end) {
      return "members of a stream out of order";
    }
    const std::vector<uint8_t>& s = it->second;
    if ((uint64_t)m.stream_offset + 11 > s.size()) return "member record past its stream";
    const uint8_t* r = s.data() + m.stream_offset;
    uint32_t nl = u16(r + 4);
    if (u32(r) != m.size || r[10] != m.flags || nl != m.name.size()) return "local record differs from the entry";
    uint64_t data_at = (uint64_t)m.stream_offset + 11 + nl;
    if (data_at + m.size + 4 > s.size()) return "member data past its stream";
    if (memcmp(r + 11, m.name.data(), nl) != 0) return "local name differs";
    m.data.assign(s.begin() + data_at, s.begin() + data_at + m.size);
    // Undo the call filter as the stub does.
    uint32_t n = m.size;
    int mode = (m.flags & 2) ? 2 : (m.flags & 4) ? 4 : 0;
    for (uint32_t i = 0; mode && i + 1 + mode <= n;) {
      if (m.data[i] != 0xE8) { i++; continue; }
      uint32_t p = i + 1;
      uint8_t* o = m.data.data() + p;
      if (mode == 2) {
        uint32_t w = (u16(o) - p) & 0xFFFF;
        o[0] = (uint8_t)w; o[1] = (uint8_t)(w >> 8);
      } else {
        uint32_t v = u32(o), r2;
        int32_t sv = (int32_t)v;
        if (sv < 0 && (int64_t)sv >= -(int64_t)p) r2 = n - p - 1 - v;
        else if (v < n) r2 = v - p;
        else r2 = v;
        o[0] = (uint8_t)r2; o[1] = (uint8_t)(r2 >> 8); o[2] = (uint8_t)(r2 >> 16); o[3] = (uint8_t)(r2 >> 24);
      }
      i = p + mode;
    }
    if (crc32(m.data.data(), m.data.size()) != m.crc32) return "CRC mismatch for " + m.name;
    if (u32(s.data() + data_at + m.size) != m.crc32) return "CRC word differs for " + m.name;
    last_stream = m.stream_pos;
    last_end = (uint32_t)(data_at + m.size + 4);
    records[{m.stream_pos, m.stream_offset}] = &m;
  }
  return "";
}

}  // namespace refread
