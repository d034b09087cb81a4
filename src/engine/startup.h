// One start-up and one shutdown of the engine, for every program built on
// it: the command-line tool, the desktop program, the tests, the fuzzers,
// the build tools and the benchmarks.
//
// EngineStartup wires everything below the user interface, in this order:
//   1. the parameter tables (ParamDef and the defaults) and the preset array;
//   2. the synthesis tables and the work ranges reserved for the life of the
//      process (the background ranges; each playback record reserves its
//      own sweep list, waveform tables and output blocks);
//   3. the background library table, filled from the libraries found as
//      "*.dll" in the library folder (unless the caller does not scan);
//   4. the preset store's hooks into the modules above it: the check of a
//      preset's library background when its curves are read, and the
//      conversion of files of the earlier format (store and imports).
// Forgetting one of these by hand silently skipped a check or a conversion;
// here they come together.
//
// It does not read the preset store, start the audio thread or open a device:
// those belong to the window, in its own order (the desktop program: create
// the audio thread with its PlaybackWindow, LoadAllPresets with its StoreUi,
// then let the thread run; the command-line tool per command).
//
// Main thread: EngineStartup once before any other engine call;
// EngineShutdown once at the end, after playback has stopped.
#pragma once
#include <string>

struct EngineSetup {
  // Folder of the background libraries; empty: the program's folder.
  std::string LibraryFolder;
  // Load the libraries now. Without the scan (tests, tools that never play)
  // the table stays empty until a library background is first played.
  bool ScanLibraries = true;
};

// 0, or 1444 ("There is not enough memory on your computer to complete this
// action.") when the work ranges cannot be reserved; the check that failed
// has been reported.
int EngineStartup(const EngineSetup& setup = EngineSetup{});
// Ends the audio thread when it runs, gives back every preset of the store,
// empties the background table and removes the store's hooks. Main thread.
void EngineShutdown();
