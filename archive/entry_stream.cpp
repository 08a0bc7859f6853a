// Entry streams: one member's bytes out of its stream's decoded bytes, with
// the window carried from call to call so that members sharing a stream are
// decoded in one pass over it.
//
// Window invariant (between blocks and between calls):
//   window[0, history_len)                     the stream's last history_len
//                                              bytes before the current block
//   window[history_len, history_len + block_len)  the current block's output,
//                                              decoded-stream offsets
//                                              [window_start, window_start + block_len)
//   history_len + block_len <= window_capacity
// Only the current block's output is ever served to a member.
#include "archive/entry_stream.h"

#include "archive/layout.h"
#include "decode/block_decoder.h"
#include "decode/call_filter.h"
#include "decode/crc32.h"
#include "decode/decoder_state.h"
#include "decode/format.h"
#include "decode/frame_header.h"
#include "decode/input.h"
#include "base/result_codes.h"

namespace {

constexpr uint32_t NO_STREAM = 0xFFFFFFFF;

// The head of the member record being read (its fixed fields), collected
// across blocks before the member's bytes begin.
uint8_t record_head[MEMBER_RECORD_SIZE];

// Grows the window to hold `need` bytes (the block may move, its contents
// kept). On failure the old window stays allocated.
int ensure_capacity(uint32_t need) {
  if (need <= decoder.window_capacity) return 0;
  uint8_t* grown = (uint8_t*)mem_resize(decoder.window, need + WINDOW_SLACK);
  if (grown == nullptr) return ERR_NOMEM;
  decoder.window = grown;
  decoder.window_capacity = need + WINDOW_SLACK;
  return 0;
}

// Keeps only the last `keep` bytes of the h history bytes, moved to the
// window's start. Returns the history length left.
uint32_t trim_history(uint32_t h, uint32_t keep) {
  if (h <= keep) return h;
  mem_copy_forward(decoder.window, decoder.window + (h - keep), keep);
  return keep;
}

// Forgets the stream held, its window freed, and positions the archive at
// `target`, its first block.
int restart_stream(uint32_t target) {
  reset_stream_state();
  if (file_seek(archive_file, target, SEEK_FROM_START) == SEEK_FAILED) {
    // Nothing of the stream is held (current_stream is NO_STREAM): the next
    // member of it starts afresh rather than reading on from wherever the
    // file stands.
    return ERR_SEEK;
  }
  decoder.current_stream = target;
  file_pos = target;
  decoder.in.pos = decoder.in.input_buffer;
  decoder.in.limit = decoder.in.input_buffer;
  decoder.in.chunk_remaining = 0;
  return 0;
}

// Decodes the stream's next block into the window after the history it keeps.
// Returns the count produced or a negative result.
int32_t next_block() {
  int result = start_block();
  if (result < 0) return result;
  // The previous block's output joins the history.
  decoder.history_len += decoder.block_len;
  decoder.window_start += decoder.block_len;
  // A decoded stream past 4 GiB cannot be addressed by member offsets.
  if (decoder.window_start < decoder.block_len) return ERR_DAMAGED;
  InputState& in = decoder.in;
  const uint8_t* pos = in.pos;
  uint32_t bit_offset = 0;
  const uint32_t head = peek_bits(pos, 0);
  const uint32_t method = frame_method(head);
  if (method > FRAME_METHOD_COMPRESSED) return ERR_DAMAGED;
  decoder.last_block = (uint8_t)frame_last(head);
  decoder.block_len = frame_size(head);
  consume_bits(pos, bit_offset, FRAME_HEADER_BITS);
  if (decoder.window == nullptr) {
    decoder.window_capacity = decoder.block_len + WINDOW_SLACK;
    decoder.window = (uint8_t*)mem_alloc(decoder.window_capacity);
    if (decoder.window == nullptr) {
      decoder.window_capacity = 0;
      return ERR_NOMEM;
    }
  }
  uint32_t h = decoder.history_len;
  int32_t n;
  if (method == FRAME_METHOD_COMPRESSED) {
    if (in.stream_continued) {
      // The window selector: a row (3 counts as 2) and a column.
      uint32_t selector = peek_bits(pos, bit_offset);
      uint32_t row = selector & 3;
      if (row == 3) row = 2;
      uint32_t column = (selector >> 2) & 7;
      h = trim_history(h, decoder.window_sizes[row][column]);
    }
    consume_bits(pos, bit_offset, WINDOW_SELECTOR_BITS);
    in.pos = pos;
    in.bit_offset = bit_offset;
    result = ensure_capacity(h + decoder.block_len);
    if (result < 0) return result;
    n = decode_block(decoder.window, h, decoder.block_len);
  } else {
    in.pos = pos;
    in.bit_offset = bit_offset;
    result = ensure_capacity(decoder.block_len);
    if (result < 0) return result;
    if (decoder.last_block) {
      // Nothing decodes after a stream's last block: no history is kept.
      h = 0;
    } else {
      uint32_t keep = decoder.block_len < MAX_HISTORY ? MAX_HISTORY - decoder.block_len : 0;
      uint32_t room = decoder.window_capacity - decoder.block_len;
      h = trim_history(h, keep < room ? keep : room);
    }
    n = copy_stored(decoder.window + h, decoder.block_len);
  }
  if (n < 0) return n;
  decoder.history_len = h;
  return n;
}

// Hands k data bytes of the member to the file: straight, or through the
// call filter. `written` counts the data bytes handed over before them.
int deliver(FileHandle file, const uint8_t* bytes, uint32_t k, uint32_t written, uint32_t size,
            uint32_t remaining) {
  if (decoder.filter_mode == 0) {
    decoder.member_crc = crc_update(decoder.member_crc, bytes, k);
    return file_write(file, bytes, k) == (int32_t)k ? 0 : ERR_WRITE;
  }
  return filter_write(file, bytes, k, written, size, k == remaining);
}

}  // namespace

void reset_stream_state() {
  if (decoder.window != nullptr) mem_free(decoder.window);
  decoder.window = nullptr;
  decoder.window_capacity = 0;
  decoder.current_stream = NO_STREAM;
  decoder.history_len = 0;
  decoder.block_len = 0;
  decoder.window_start = 0;
  decoder.last_block = 0;
  decoder.stream_broken = 0;
  decoder.in.stream_continued = 0;
}

int decode_member(FileHandle file, uint32_t stream_pos, uint32_t stream_offset, uint32_t size,
                  uint8_t flags) {
  decoder.member_crc = 0xFFFFFFFF;
  if (size == 0) {
    decoder.member_crc = ~decoder.member_crc;
    return 0;
  }
  uint32_t remaining = size;
  uint32_t written = 0;
  uint32_t want = stream_offset;
  uint32_t collected = 0;
  uint32_t skipped = 0;
  decoder.carry_len = 0;
  decoder.filter_mode = (flags & FLAG_E8_16) ? 2 : (flags & FLAG_E8_32) ? 4 : 0;
  uint8_t* const record = record_head;

  const uint32_t target = decoder.archive_base + stream_pos + MAGIC_SIZE;
  if (target != decoder.current_stream || want < decoder.window_start) {
    int result = restart_stream(target);
    if (result < 0) return result;
  }
  // The last-block mark is kept while the stream continues (a restart clears
  // it): a member that needs bytes past the stream's last block, which only an
  // inconsistent directory asks for, ends short and fails its CRC check,
  // instead of taking whatever follows the stream in the archive as a block.
  for (;;) {
    if (decoder.stream_broken) return ERR_DAMAGED;
    // want >= window_start holds here, so the difference is the offset of
    // want in the current block's output.
    const uint32_t at = want - decoder.window_start;
    if (at < decoder.block_len) {
      const uint8_t* bytes = decoder.window + decoder.history_len + at;
      const uint32_t avail = decoder.block_len - at;
      uint32_t k;
      if (collected < MEMBER_RECORD_SIZE) {
        k = MEMBER_RECORD_SIZE - collected;
        if (k > avail) k = avail;
        mem_copy_forward(record + collected, bytes, k);
        collected += k;
      } else if (skipped < member_record_name_len(record)) {
        k = member_record_name_len(record) - skipped;
        if (k > avail) k = avail;
        skipped += k;
      } else {
        k = remaining < avail ? remaining : avail;
        int result = deliver(file, bytes, k, written, size, remaining);
        if (result < 0) return result;
        written += k;
        remaining -= k;
      }
      want += k;
      if (remaining == 0) break;
      continue;
    }
    if (poll_cancel()) return ERR_CANCELLED;
    decoder.stream_broken = 1;
    // The stream has ended before the member did: it ends short, and the
    // caller's CRC check fails it.
    if (decoder.last_block) break;
    int32_t n = next_block();
    if (n < 0) return n;
    if ((uint32_t)n < decoder.block_len) {
      // A short block ends the stream.
      decoder.block_len = (uint32_t)n;
      decoder.last_block = 1;
    }
    // After a whole frame the file stands at the next one.
    decoder.in.resume_pos = file_pos;
    decoder.stream_broken = 0;
    decoder.in.stream_continued = 1;
  }
  decoder.member_crc = ~decoder.member_crc;
  return 0;
}
