#include "engine/startup.h"

#include "convold/storeconv.h"
#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgprobe.h"
#include "data/playback/audiothread.h"
#include "data/synthesis/state.h"
#include "data/synthesis/wavetab.h"
#include "file/store.h"
#include "main/preset.h"

int EngineStartup(const EngineSetup& setup) {
  BuildParamTables();
  bool reserved = ReserveProgramArray();
  InitEngineTables();
  reserved = reserved && ReserveAmbixTable() && BackgroundTempData.Base && BackgroundData.Base;
  if (setup.ScanLibraries) LoadBackgroundLibraries(setup.LibraryFolder);
  StoreBackgroundProbe = ProbeLibraryBackground;
  InstallOldFormatConversion();
  return reserved ? 0 : 1444;
}

void EngineShutdown() {
  EndAudioThread();
  UnloadAllPresets();
  ClearBackgroundLibraries();
  StoreBackgroundProbe = nullptr;
  RemoveOldFormatConversion();
}
