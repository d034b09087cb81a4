#include "data/state.h"

plat::Region SweepData;
plat::Region WaveformData;
plat::Region DataBlockMem;
plat::Region BackgroundTempData;
plat::Region BackgroundData;
std::mutex hBackgroundMutex;

int SweepDataVoices = 0;
int ExtraSourceShare = 0;
bool NoiseOn = false;
std::atomic<int> AudioStrobeOn{0};
std::atomic<int> FreezeState{0};
int32_t BackgroundFrames = 0;
BackgroundChoice PlayBackground{BGSRC_NONE, AMBIX_NONE, {}, -1, false, ParamDefSpare[0]};

SlotState Osc[MAXVOICES + 1];
NoiseState NoiseOsc;
BackgroundState BackgroundOsc;

SweepRecord* CurrentRecord = nullptr;
int32_t BlockCounter = 0;
int32_t CurBlocks = 0;
bool Advancing = false;
void (*NewRecordHook)(const SweepRecord* record) = nullptr;

void ResetOscillators() {
  for (SlotState& s : Osc) {
    for (int ear = 0; ear < 2; ear++) {
      s.Tone[ear] = 0;
      s.Mod1[ear] = MOD_START;
      s.Mod2[ear] = MOD_START;
      s.VolumeIndex[ear] = 0;
    }
  }
  for (int ear = 0; ear < 2; ear++) {
    NoiseOsc.Y[ear] = 0;
    NoiseOsc.Mod[ear] = MOD_START;
    BackgroundOsc.Pos[ear] = 0;
    BackgroundOsc.Mod[ear] = MOD_START;
  }
}
