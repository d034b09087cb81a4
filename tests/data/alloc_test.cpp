// Nothing on the per-block path may allocate: a counting operator new traps
// allocations made while a block is generated.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "data/generate.h"
#include "data/walk.h"
#include "testpreset.h"

namespace {
thread_local bool tWatching = false;
std::atomic<int> gAllocations{0};
}  // namespace

// malloc/free back the replaced operators; GCC cannot see that they pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  if (tWatching) gAllocations++;
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

TEST(AudioPath, GeneratingBlocksDoesNotAllocate) {
  for (int wide = 0; wide < 2; wide++) {
    AdvancedOptions o;
    o.Bits16 = wide;
    o.InvertSound = wide;
    EngineSetUp(o);
    ResetWaveformCache();
    ASSERT_TRUE(plat::RegionEnsure(SweepData, 2 * MAXSWEEPRECORD));
    auto* r = reinterpret_cast<SweepRecord*>(SweepData.Base);
    std::memset(static_cast<void*>(r), 0, MAXSWEEPRECORD);
    r->NumVoices = 3;
    for (int i = 0; i <= 3; i++) {
      VoiceEntry& v = r->Voice[i];
      ASSERT_EQ(GetWaveformTable(ASWAVE_SINE, FILTER_NONE, &v.Table[0]), 0);
      v.Table[1] = v.Table[0];
      v.Frequency[0] = v.Frequency[1] = 200000 + 1000 * i;
      v.Volume[0] = v.Volume[1] = 8000;
      v.Mod1Depth[0] = v.Mod2Depth[1] = 40;
      v.Mod1Rate[0] = v.Mod2Rate[1] = 500000;
    }
    r->NoiseVolume[0] = r->NoiseVolume[1] = 5000;
    r->NoiseModDepth[0] = 30;
    SweepDataVoices = 3;
    NoiseOn = true;
    AudioStrobeOn = 1;
    StartSweepWalk(r);
    std::vector<uint8_t> buf(static_cast<size_t>(BlockBytes));
    gAllocations = 0;
    tWatching = true;
    for (int i = 0; i < 20; i++) GenerateBlock(buf.data());
    tWatching = false;
    EXPECT_EQ(gAllocations.load(), 0);
  }
}

}  // namespace
