#include "encode/member_source.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "encode/archive_writer.h"

namespace qev {
namespace {

int64_t ns(const struct timespec& t) { return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec; }

}  // namespace

MemberSource::~MemberSource() { close(); }

void MemberSource::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool MemberSource::open(const PackEntry& e, std::string& error) {
  close();
  memory_ = nullptr;
  done_ = zeros_ = 0;
  if (e.source.empty()) {
    memory_ = &e.data;
    size_ = e.data.size();
    return true;
  }
  path_ = e.source;
  fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) {
    error = "cannot read '" + path_ + "': " + strerror(errno);
    close();
    return false;
  }
  size_ = (uint64_t)st.st_size;
  mtime_ns_ = ns(st.st_mtim);
  ctime_ns_ = ns(st.st_ctim);
  return true;
}

bool MemberSource::read(uint8_t* out, size_t n, std::string& error) {
  if (n == 0) return true;
  if (memory_) {
    memcpy(out, memory_->data() + done_, n);
    done_ += n;
    return true;
  }
  while (n > 0) {
    ssize_t got = zeros_ ? 0 : ::read(fd_, out, n);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = "cannot read '" + path_ + "': " + strerror(errno);
      return false;
    }
    if (got == 0) {  // shrunk: the rest of the promised size is zeros
      memset(out, 0, n);
      zeros_ += n;
      got = (ssize_t)n;
    }
    out += got;
    n -= (size_t)got;
    done_ += (uint64_t)got;
  }
  return true;
}

bool MemberSource::peek(uint64_t offset, uint8_t* out, size_t n) {
  if (offset > size_ || size_ - offset < n) return false;
  if (memory_) {
    memcpy(out, memory_->data() + offset, n);
    return true;
  }
  return pread(fd_, out, n, (off_t)offset) == (ssize_t)n;
}

std::string MemberSource::finish() {
  if (memory_) return "";
  std::string what;
  uint8_t extra;
  struct stat st;
  if (zeros_) {
    what = "'" + path_ + "' shrank by " + std::to_string(zeros_) + " bytes while it was read; the archive holds " +
           "what was read, filled up with zero bytes to the " + std::to_string(size_) + " bytes it had";
  } else if (::read(fd_, &extra, 1) == 1) {
    what = "'" + path_ + "' grew while it was read; the archive holds its first " + std::to_string(size_) +
           " bytes";
  } else if (fstat(fd_, &st) == 0 && (ns(st.st_mtim) != mtime_ns_ || ns(st.st_ctim) != ctime_ns_)) {
    what = "'" + path_ + "' changed while it was read; the archive holds what was read";
  }
  close();
  return what;
}

}  // namespace qev
