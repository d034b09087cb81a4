// main() of a target built without libFuzzer: runs every file named on the
// command line, and every file of every folder named, through the target
// once. Exit status 0 when all of them came back; a fault aborts as under
// the fuzzer.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzzcommon.h"

namespace fs = std::filesystem;

namespace {
bool RunFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    fs::path a(argv[i]);
    if (fs::is_directory(a)) {
      for (const auto& e : fs::recursive_directory_iterator(a))
        if (e.is_regular_file()) files.push_back(e.path());
    } else {
      files.push_back(a);
    }
  }
  // Name order, so that a run is the same on every machine.
  std::sort(files.begin(), files.end());
  int failed = 0;
  for (const fs::path& f : files) failed += RunFile(f) ? 0 : 1;
  std::printf("%zu inputs replayed\n", files.size());
  return failed ? 1 : 0;
}
