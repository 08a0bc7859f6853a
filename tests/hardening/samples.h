#pragma once
// Archives made by the writer (qev pack's code) for the hardening tests and
// the seed corpora, each forcing some of the format's constructs through the
// writer's options. Deterministic: the same bytes on every run.
#include <stdint.h>

#include <string>
#include <vector>

#include "encode/archive_writer.h"

struct Sample {
  std::string label;
  std::vector<qev::PackEntry> entries;
  qev::PackOptions options;
  std::vector<uint8_t> bytes;  // the archive
  qev::PackResult result;
};

// Writes the archive of a sample whose entries and options are set; false
// (with the writer's message in result.error) when the writer refuses.
bool write_sample(Sample& sample);

// Small archives (a few KiB) for the corruption sweep: stored; compressed with
// one, two (default set) and three distance tables and many table sets;
// 32-bit and 16-bit filtered members across several blocks; many directory
// blocks, compressed and stored; small blocks and many streams.
std::vector<Sample> sweep_samples();

// Larger archives for fault injection and cancellation:
//   "large frames": one block per stream, among them a compressed frame that
//     takes several refills of the input buffer and a stored one read past
//     the buffer; a 32-bit filtered program of several filter stretches;
//   "many blocks": small blocks, many table sets per block, members over
//     several blocks, one or two entries per directory block (stored ones).
// Both hold folders, an empty file, read-only and plain files, and files
// in more than one stream.
std::vector<Sample> fault_samples();

// Deterministic contents.
std::vector<uint8_t> text_bytes(size_t n, uint32_t seed);
std::vector<uint8_t> random_bytes(size_t n, uint32_t seed);
// Random bytes from a 64-letter alphabet: compressible to about 3/4, never
// stored, and without long matches.
std::vector<uint8_t> noise_bytes(size_t n, uint32_t seed);
// x86-like code, many 0xE8 calls; with pe, an MZ/PE header first, so that the
// writer's automatic choice gives it the 32-bit filter.
std::vector<uint8_t> code_bytes(size_t n, uint32_t seed, bool pe);
