#pragma once
// An installer: the stub's image with the archive appended right behind it,
// and the stub's archive_offset field set to the image's size so that the stub
// finds the archive there. Nothing else of the stub changes, so a stub signed
// or inspected before packing stays as it was apart from those four bytes.
#include <stdint.h>

#include <string>
#include <vector>

#include "encode/archive_writer.h"

namespace qev {

// Checks that `image` is a stub as built and sets its archive_offset to its
// size. False, with `error` saying why, when the configuration block is
// missing or there more than once, when the image already carries an archive
// at its archive_offset (an installer), when anything follows the end of its
// PE image (an archive or a signature, which packing would bury inside the
// new installer), or when it is too large for a stub.
bool prepare_stub_image(std::vector<uint8_t>& image, std::string& error);

// Reads the stub at `path` and prepares it (prepare_stub_image); the error
// names the file.
bool load_stub(const std::string& path, std::vector<uint8_t>& image, std::string& error);

// Writes `stub_image` (prepared; empty for a bare archive) and then the
// archive of `entries` into `sink`. False, with result.error, when the
// archive cannot be written or the installer would pass 4 GiB.
bool write_installer(const std::vector<uint8_t>& stub_image, const std::vector<PackEntry>& entries,
                     const PackOptions& options, ByteSink& sink, PackResult& result,
                     const PackProgress& progress = nullptr);

}  // namespace qev
