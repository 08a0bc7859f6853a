#pragma once
// One file member's content as the packer reads it: from a host file or from
// memory, in pieces, so that no file is ever held whole.
//
// The member's size is fixed when the source opens (a file's size then). A
// file that changes while it is read is not an error, as long as it can be
// read: it is taken as read, and finish() says what happened. One that grows
// is taken up to its size at opening; one that shrinks is filled up with zero
// bytes to that size (its entry and record were promised that size); a
// modification or change time that moves is reported too.
#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace qev {

struct PackEntry;

class MemberSource {
 public:
  MemberSource() = default;
  ~MemberSource();
  MemberSource(const MemberSource&) = delete;
  MemberSource& operator=(const MemberSource&) = delete;

  // False with `error` naming the file when it cannot be opened.
  bool open(const PackEntry& entry, std::string& error);
  uint64_t size() const { return size_; }
  // The next n bytes (n at most what is left of size()); false with `error`
  // on a read error.
  bool read(uint8_t* out, size_t n, std::string& error);
  // n bytes at a member offset, without moving on (false past the end).
  bool peek(uint64_t offset, uint8_t* out, size_t n);
  // After the last byte: "" or how the file changed while it was read.
  std::string finish();

 private:
  void close();
  const std::vector<uint8_t>* memory_ = nullptr;
  std::string path_;
  int fd_ = -1;
  uint64_t size_ = 0, done_ = 0, zeros_ = 0;
  int64_t mtime_ns_ = 0, ctime_ns_ = 0;
};

}  // namespace qev
