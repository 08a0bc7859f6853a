// Replays the saved inputs of one fuzz target as an ordinary program, so that
// every seed and every regression case runs in each test run, without
// libFuzzer and in any build tree. Linked with one target's source:
//
//   fuzz_extract_replay fuzz/corpus/fuzz_extract [more files or folders]
//
// Each file named, and each file in a folder named, goes once through
// LLVMFuzzerTestOneInput, in name order. A target that finds a fault aborts,
// which ends this program as it would end libFuzzer. A folder without inputs
// is an error, so that a corpus that went missing cannot pass unnoticed.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool read_all(const std::string& path, std::vector<uint8_t>& out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) out.insert(out.end(), chunk, chunk + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

// The regular files among `path` (itself, or the entries of the folder).
std::vector<std::string> inputs_of(const std::string& path) {
  std::vector<std::string> files;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return files;
  if (!S_ISDIR(st.st_mode)) {
    files.push_back(path);
    return files;
  }
  if (DIR* d = opendir(path.c_str())) {
    while (struct dirent* e = readdir(d)) {
      std::string p = path + "/" + e->d_name;
      if (e->d_name[0] != '.' && stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back(p);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
    return 2;
  }
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  size_t total = 0;
  for (int i = 1; i < argc; i++) {
    std::vector<std::string> files = inputs_of(argv[i]);
    if (files.empty()) {
      fprintf(stderr, "%s: no inputs\n", argv[i]);
      return 1;
    }
    for (const std::string& file : files) {
      std::vector<uint8_t> data;
      if (!read_all(file, data)) {
        fprintf(stderr, "%s: cannot read\n", file.c_str());
        return 1;
      }
      fprintf(stderr, "%s\n", file.c_str());
      LLVMFuzzerTestOneInput(data.data(), data.size());
      total++;
    }
  }
  printf("%zu inputs replayed\n", total);
  return 0;
}
