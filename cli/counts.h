#pragma once
// How the tool writes numbers in its summaries: sizes with thousands
// separators ("14,495,429"), counts with their noun ("1 file", "2 files").
#include <stdint.h>

#include <string>

#include "encode/number_text.h"

using qev::with_commas;
// `noun` is the singular; the plural adds "s" unless `plural` is given.
std::string count_of(uint64_t count, const char* noun, const char* plural = nullptr);
