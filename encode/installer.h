#pragma once
// An installer: the stub's image with the archive appended right behind it,
// and the stub's archive_offset field set to the image's size so that the stub
// finds the archive there. The pack command then has apply_product
// (stub_product.h) write the files' total size, the product's settings and the
// installer's resources into the image, which may grow; archive_offset follows.
#include <stdint.h>

#include <string>
#include <vector>

#include "encode/archive_writer.h"

namespace qev {

// Checks that `image` is a stub as built and sets its archive_offset to its
// size. False, with `error` saying why, when it is not a Windows program
// ("MZ"), when the configuration block is missing or there more than once, when the image already carries an archive
// at its archive_offset (an installer), when anything follows the end of its
// PE image (an archive or a signature, which packing would bury inside the
// new installer), when its image runs past the file's end (cut short), or
// when it is too large for a stub.
bool prepare_stub_image(std::vector<uint8_t>& image, std::string& error);

// Reads the stub at `path` and prepares it (prepare_stub_image); the error
// names the file.
bool load_stub(const std::string& path, std::vector<uint8_t>& image, std::string& error);

// The largest installer, and the largest bare archive: positions in both are
// 32-bit, and the reader cannot tell an end at 4 GiB - 1 (0xFFFFFFFF) from its
// failed seek (platform.h).
constexpr uint64_t MAX_INSTALLER_SIZE = 0xFFFFFFFEull;

// Judged from the sizes alone, before anything is compressed: "" when files of
// `input_bytes` in all may go into an installer with a stub of `stub_bytes`
// (0 for a bare archive), else the message, which says the limit and the
// total. The files must fit as they are: what compression would save cannot
// be known before the work it was meant to spare.
std::string check_input_size(uint64_t stub_bytes, uint64_t input_bytes);

// Writes `stub_image` (prepared; empty for a bare archive) and then the
// archive of `entries` into `sink`. False, with result.error, when the
// archive cannot be written or the installer would pass 4 GiB.
bool write_installer(const std::vector<uint8_t>& stub_image, const std::vector<PackEntry>& entries,
                     const PackOptions& options, ByteSink& sink, PackResult& result,
                     const PackProgress& progress = nullptr);

}  // namespace qev
