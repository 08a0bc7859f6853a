#pragma once
// --peak-memory: the maximum resident set of `qev test` on an archive of the
// corpus and on one of ten copies of it (they must differ by less than
// PEAK_MEMORY_SPREAD), and of `qev pack` (within PACK_PEAK_BASE and
// PACK_PEAK_PER_THREAD per thread); qev_bench.cpp's opening comment says how.
#include <string>

namespace bench {

// `qev` empty: the qev beside this program. `big`: a tree for one more
// `qev pack` run, or empty. Prints the figures and verdicts (as JSON with
// `json`); 0, or dies.
int peak_memory(const std::string& corpus, std::string qev, const std::string& big, bool json);

}  // namespace bench
