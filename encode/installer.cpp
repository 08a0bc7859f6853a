#include "encode/installer.h"

#include <string.h>

#include "archive/layout.h"
#include "encode/number_text.h"
#include "encode/stub_image.h"
#include "encode/whole_file.h"

namespace qev {
namespace {

// The archive's patches land behind the stub image.
class ShiftedSink : public ByteSink {
 public:
  ShiftedSink(ByteSink& inner, uint64_t base) : inner_(inner), base_(base) {}
  bool write(const uint8_t* data, size_t size) override { return inner_.write(data, size); }
  bool patch(uint64_t offset, const uint8_t* data, size_t size) override {
    return inner_.patch(base_ + offset, data, size);
  }

 private:
  ByteSink& inner_;
  uint64_t base_;
};

}  // namespace

bool prepare_stub_image(std::vector<uint8_t>& image, std::string& error) {
  if (image.size() < 2 || image[0] != 'M' || image[1] != 'Z') {
    error = "it is not a Windows program";
    return false;
  }
  size_t field = 0;
  int found = find_config_block(image.data(), image.size(), &field);
  if (found != 1) {
    error = std::string("its configuration block is ") + (found == 0 ? "missing" : "there more than once");
    return false;
  }
  // A Windows program begins with its 64-byte DOS header; a block found inside
  // it is a chance match, and patching it would break the header.
  if (field < 64) {
    error = "its configuration block lies inside its DOS header";
    return false;
  }
  const uint32_t recorded = load_le32(image.data() + field);
  if (recorded < image.size() && image.size() - recorded >= 4 &&
      memcmp(image.data() + recorded, ARCHIVE_MAGIC, 4) == 0) {
    error = "it is an installer (its archive begins at byte " + std::to_string(recorded) +
            "), not a stub";
    return false;
  }
  const uint64_t image_end = pe_image_end(image.data(), image.size());
  if (image_end != 0 && image_end < image.size()) {
    error = std::to_string(image.size() - image_end) + " bytes follow its program image (an " +
            "archive or a signature); a stub is used as it was built";
    return false;
  }
  if (image_end > image.size()) {
    error = "it is cut short: its program image ends at byte " + std::to_string(image_end) + " of " +
            std::to_string(image.size());
    return false;
  }
  // archive_offset and the installer's positions are 32-bit; a stub is tiny.
  if (image.size() > 0x7FFFFFFF) {
    error = "it is too large for a stub";
    return false;
  }
  store_le32(image.data() + field, (uint32_t)image.size());
  return true;
}

bool load_stub(const std::string& path, std::vector<uint8_t>& image, std::string& error) {
  // More than a stub may hold is left to prepare_stub_image to refuse.
  if (read_whole_file(path, 0x7FFFFFFF, image, error) == ReadResult::UNREADABLE) return false;
  std::string why;
  if (!prepare_stub_image(image, why)) {
    error = "'" + path + "' is not an installer stub: " + why;
    return false;
  }
  return true;
}

std::string check_input_size(uint64_t stub_bytes, uint64_t input_bytes) {
  if (stub_bytes + input_bytes <= MAX_INSTALLER_SIZE) return "";
  std::string limit = "at most " + with_commas(MAX_INSTALLER_SIZE) + " bytes (4 GiB)";
  if (stub_bytes == 0) return "the files hold " + with_commas(input_bytes) + " bytes; an archive holds " + limit;
  return "the files hold " + with_commas(input_bytes) + " bytes; an installer holds " + limit + ", " +
         with_commas(stub_bytes) + " of them its stub";
}

bool write_installer(const std::vector<uint8_t>& stub_image, const std::vector<PackEntry>& entries,
                     const PackOptions& options, ByteSink& sink, PackResult& result,
                     const PackProgress& progress) {
  if (!stub_image.empty() && !sink.write(stub_image.data(), stub_image.size())) {
    result = PackResult();
    result.error = "cannot write the installer";
    return false;
  }
  ShiftedSink archive_sink(sink, stub_image.size());
  if (!write_archive(entries, options, archive_sink, result, progress)) return false;
  if (stub_image.size() + result.archive_size > MAX_INSTALLER_SIZE) {
    result.error = "the installer would be larger than 4 GiB";
    return false;
  }
  return true;
}

}  // namespace qev
