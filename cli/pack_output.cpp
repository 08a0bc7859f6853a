#include "cli/pack_output.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= (size_t)n;
  }
  return true;
}

}  // namespace

PackOutput::~PackOutput() {
  if (file_) fclose(file_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool PackOutput::inspect(const std::string& path, std::string& error) {
  path_ = target_ = path;
  if (path == "-") {
    stream_ = true;
    return true;
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return true;  // a new file
  if (S_ISDIR(st.st_mode)) {
    error = "'" + path + "' is a folder";
    return false;
  }
  exists_ = true;
  stream_ = !S_ISREG(st.st_mode);
  device_ = st.st_dev;
  inode_ = st.st_ino;
  mode_ = st.st_mode & 07777;
  char resolved[PATH_MAX];
  if (!stream_ && realpath(path.c_str(), resolved)) target_ = resolved;
  return true;
}

bool PackOutput::existing_file(dev_t* device, ino_t* inode) const {
  if (!exists_ || stream_) return false;
  *device = device_;
  *inode = inode_;
  return true;
}

bool PackOutput::begin(bool executable, std::string& error) {
  executable_ = executable;
  int fd;
  if (stream_) {
    const char* dir = getenv("TMPDIR");
    std::string name = std::string(dir && *dir ? dir : "/tmp") + "/qev-pack-XXXXXX";
    std::vector<char> tmpl(name.begin(), name.end());
    tmpl.push_back(0);
    fd = mkstemp(tmpl.data());
    if (fd < 0) {
      error = "cannot create a temporary file in " + std::string(dir && *dir ? dir : "/tmp") + ": " +
              strerror(errno);
      return false;
    }
    unlink(tmpl.data());  // nameless: nothing to clean up, whatever happens
  } else {
    // Beside the target, so that the rename stays on one file system.
    std::string name = target_ + ".tmp-XXXXXX";
    std::vector<char> tmpl(name.begin(), name.end());
    tmpl.push_back(0);
    fd = mkstemp(tmpl.data());
    if (fd < 0) {
      error = "cannot create '" + path_ + "': " + strerror(errno);
      return false;
    }
    temporary_ = tmpl.data();
  }
  file_ = fdopen(fd, stream_ ? "w+b" : "wb");
  if (!file_) {
    close(fd);
    error = "cannot write '" + path_ + "'";
    return false;
  }
  sink_.reset(new qev::FileSink(file_));
  return true;
}

qev::ByteSink& PackOutput::sink() { return *sink_; }

bool PackOutput::copy_to_stream(std::string& error) {
  const bool standard = path_ == "-";
  const std::string shown = standard ? "standard output" : "'" + path_ + "'";
  int out = standard ? STDOUT_FILENO : open(path_.c_str(), O_WRONLY | O_NOCTTY);
  if (out < 0) {
    error = "cannot write " + shown + ": " + strerror(errno);
    return false;
  }
  bool ok = fflush(file_) == 0 && fseeko(file_, 0, SEEK_SET) == 0;
  std::vector<char> buffer(1 << 16);
  size_t n;
  while (ok && (n = fread(buffer.data(), 1, buffer.size(), file_)) > 0) ok = write_all(out, buffer.data(), n);
  ok = ok && !ferror(file_);
  int err = errno;
  if (!standard && close(out) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) error = "cannot write " + shown + ": " + strerror(err);
  return ok;
}

bool PackOutput::commit(std::string& error) {
  if (stream_) {
    bool ok = copy_to_stream(error);
    fclose(file_);
    file_ = nullptr;
    return ok;
  }
  bool ok = fflush(file_) == 0 && fsync(fileno(file_)) == 0;
  int err = errno;
  if (fclose(file_) != 0 && ok) {
    ok = false;
    err = errno;
  }
  file_ = nullptr;
  if (!ok) {
    error = "cannot write '" + path_ + "': " + strerror(err);
    return false;
  }
  mode_t mode = mode_;
  if (!exists_) {
    mode_t mask = umask(0);
    umask(mask);
    mode = (executable_ ? 0755 : 0644) & ~mask;
  }
  chmod(temporary_.c_str(), mode);
  if (rename(temporary_.c_str(), target_.c_str()) != 0) {
    error = "cannot write '" + path_ + "': " + strerror(errno);
    return false;
  }
  temporary_.clear();
  return true;
}
