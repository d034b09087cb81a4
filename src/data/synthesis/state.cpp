#include "data/synthesis/state.h"

plat::Region BackgroundTempData;
plat::Region BackgroundData;
void (*NewRecordHook)(const SweepRecord* record) = nullptr;

PlaybackState::~PlaybackState() {
  if (SweepData.Base) plat::RegionFree(SweepData);
  if (WaveformData.Base) plat::RegionFree(WaveformData);
  if (DataBlockMem.Base) plat::RegionFree(DataBlockMem);
}

bool EnsureSweepData(PlaybackState& pb, size_t bytes) {
  // Reserving is a no-op once the range is there.
  return plat::RegionReserve(pb.SweepData, SWEEPDATA_BYTES) && plat::RegionEnsure(pb.SweepData, bytes);
}

bool EnsureDataBlockMem(PlaybackState& pb, size_t bytes) {
  return plat::RegionReserve(pb.DataBlockMem, DATABLOCKMEM_BYTES) && plat::RegionEnsure(pb.DataBlockMem, bytes);
}

void ResetOscillators(PlaybackState& pb) {
  for (SlotState& s : pb.Osc) {
    for (int ear = 0; ear < 2; ear++) {
      s.Tone[ear] = 0;
      s.Mod1[ear] = MOD_START;
      s.Mod2[ear] = MOD_START;
      s.VolumeIndex[ear] = 0;
    }
  }
  for (int ear = 0; ear < 2; ear++) {
    pb.NoiseOsc.Y[ear] = 0;
    pb.NoiseOsc.Mod[ear] = MOD_START;
    pb.BackgroundOsc.Pos[ear] = 0;
    pb.BackgroundOsc.Mod[ear] = MOD_START;
  }
}
