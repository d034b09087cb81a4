// Linked into a program built with -fsanitize-coverage=trace-pc (and built
// itself without it): marks every basic block the program runs in a bitmap
// over the program's text, and at exit writes the offsets of the blocks run
// to the file named by PCCOVER_OUT (nothing when it is unset).
// trim_render.sh uses it to find the inputs that run a block no other kept
// input runs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" char __executable_start;
extern "C" char etext;

namespace {

uint8_t* gHit = nullptr;  // one byte per byte of text; never freed

void Write() {
  const char* out = std::getenv("PCCOVER_OUT");
  if (!out) return;
  FILE* f = std::fopen(out, "w");
  if (!f) return;
  const size_t n = static_cast<size_t>(&etext - &__executable_start);
  for (size_t i = 0; i < n; ++i)
    if (gHit[i]) std::fprintf(f, "%zx\n", i);
  std::fclose(f);
}

}  // namespace

extern "C" void __sanitizer_cov_trace_pc() {
  if (!gHit) {
    gHit = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(&etext - &__executable_start) + 1, 1));
    std::atexit(Write);
  }
  const char* pc = static_cast<const char*>(__builtin_return_address(0));
  if (pc >= &__executable_start && pc < &etext) gHit[pc - &__executable_start] = 1;
}
