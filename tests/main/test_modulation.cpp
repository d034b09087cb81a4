// The editor's modulation rules: which modulation a pane opens, when its
// button reads "(ON)", which of period and phase are in use, and the ocean
// waves setting the noise modulation's period and phase.
#include <gtest/gtest.h>

#include "main/modulation.h"
#include "main/preset.h"
#include "main/presetedit.h"

namespace {

struct Mod : ::testing::Test {
  Preset p{};
  void SetUp() override {
    NewDefaultPreset(p);
    AddVoice(p, 0, 0, EditRules{false, 3});
  }
  void TearDown() override { FreePreset(p); }
  Param* params() { return SegParams(p, 0); }
};

TEST_F(Mod, PanesOpenTheirModulation) {
  const std::pair<int, int> cases[] = {
      {PN_VOLUME, MOD_SOUND},     {PN_BGVOLUME, MOD_BACKGROUND}, {PN_NOISEVOL, MOD_NOISE}, {PN_VISBRIGHT, MOD_VISUAL},
      {PN_VISPHASE, MOD_VISUAL2}, {PN_VISBRIGHT2, MOD_VISUAL2},  {PN_PITCH, -1},           {PN_NOISESMOOTH, -1}};
  for (auto [n, base] : cases) EXPECT_EQ(ModulationBaseFor(n), base) << n;
}

TEST_F(Mod, OnWhenAnyDepthNodeOfEitherChannelIsNonZero) {
  Param* q = params();
  for (int base : {MOD_SOUND, MOD_BACKGROUND, MOD_VISUAL, MOD_VISUAL2, MOD_NOISE}) {
    for (int v = 0; v < 2; ++v) {
      Param* depth = &q[PARAMID(v, base)];
      for (int c = 0; c < 2; ++c)
        for (int i = 0; i < depth[c].NumNodes; ++i) depth[c].Node[i].Value = 0;
    }
    EXPECT_FALSE(ModulationIsOn(q, 1, base)) << base;
    // The right channel's last node alone, in voice 2.
    Param& right = q[PARAMID(1, base) + 1];
    right.Node[right.NumNodes - 1].Value = 1;
    EXPECT_TRUE(ModulationIsOn(q, 1, base)) << base;
    // The sound modulation is the voice's own: voice 1's stays off.
    EXPECT_EQ(ModulationIsOn(q, 0, base), base != MOD_SOUND) << base;
  }
}

TEST_F(Mod, PeriodAndPhaseInUseFollowTheDepthChoice) {
  struct Case {
    int Base, DepthSel;
    bool InUse;
  } cases[] = {{MOD_SOUND, 16, false},      {MOD_SOUND, 17, true},   {MOD_SOUND, 0, true},
               {MOD_BACKGROUND, 16, false}, {MOD_VISUAL, 23, false}, {MOD_VISUAL2, 24, true},
               {MOD_NOISE, 0, true},        {MOD_NOISE, 19, false},  {MOD_NOISE, 21, false}};
  for (const Case& c : cases) {
    params()[PARAMID(1, c.Base)].EasySel = static_cast<uint8_t>(c.DepthSel);
    EXPECT_TRUE(ModulationParamInUse(params(), 1, c.Base, c.Base));
    EXPECT_EQ(ModulationParamInUse(params(), 1, c.Base, c.Base + 1), c.InUse) << c.Base << " " << c.DepthSel;
    EXPECT_EQ(ModulationParamInUse(params(), 1, c.Base, c.Base + 2), c.InUse) << c.Base << " " << c.DepthSel;
  }
}

TEST_F(Mod, OceanWavesSetPeriodAndPhase) {
  const int period = PARAMID(0, PN_NOISEMODPERIOD), phase = PARAMID(0, PN_NOISEMODPHASE);
  for (auto [sel, ms] : {std::pair{20, 3000}, {21, 2000}, {22, 1250}}) {
    // A separated, tracking period and a user-defined phase beforehand.
    params()[period].ChannelMode = 1;
    params()[period + 1].Tracking = 0;
    params()[period + 1].Node[0].Value = 7;
    params()[phase].EasySel = 0;
    params()[phase].Node[1].Value = 9000;
    ASSERT_TRUE(ApplyOceanWaves(params(), p.data.Segment[0], sel, 3));
    for (int c = 0; c < 2; ++c) {
      const Param& q = params()[period + c];
      ASSERT_EQ(q.NumNodes, 3);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(q.Node[i].Value, ms * 1000) << sel << " channel " << c;
      EXPECT_EQ(q.Node[2].SweepTime, 10000);
    }
    EXPECT_EQ(params()[period].EasySel, 0);
    EXPECT_EQ(params()[period].ChannelMode, 0);
    EXPECT_EQ(params()[phase].EasySel, 12);
    for (int i = 0; i < params()[phase].NumNodes; ++i) EXPECT_EQ(params()[phase].Node[i].Value, 0);
  }
  EXPECT_TRUE(ApplyOceanWaves(params(), p.data.Segment[0], 19, 3));
  EXPECT_FALSE(ApplyOceanWaves(params(), p.data.Segment[0], 17, 3));
}

}  // namespace
