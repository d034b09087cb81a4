// Filling the main window's preset list with 1000 presets: a store of 1000
// records is written, read, and the list filled and shown; prints the
// milliseconds of the fill (best of several runs).
//
//   sonavel_gui_fill            (any Qt platform; offscreen works)
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/startup.h"
#include "file/fileio.h"
#include "file/filewrite.h"
#include "file/store.h"
#include "main/preset.h"
#include "mwnd/PresetCombo.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  EngineSetup setup;
  setup.ScanLibraries = false;  // no preset here plays
  if (EngineStartup(setup) != 0) return 1;
  QTemporaryDir dir;
  SetStoreDir(dir.path().toStdString());
  // 1000 presets: copies of a new default preset under distinct names.
  std::vector<Preset> presets(MAXPROGRAMS);
  for (int i = 0; i < MAXPROGRAMS; ++i) {
    NewDefaultPreset(presets[static_cast<size_t>(i)]);
    std::snprintf(presets[static_cast<size_t>(i)].Name, NAMELEN, "Preset %04d %s", (i * 7919) % 1000,
                  i % 3 ? "relax" : "focus");
  }
  std::vector<unsigned char> image;
  ByteDev dev = DevFromBuffer(image);
  if (WritePresetFile(dev, 1, presets.data(), MAXPROGRAMS) != 0) return 1;
  for (Preset& p : presets) FreePreset(p);
  std::FILE* f = std::fopen(StorePath().c_str(), "wb");
  std::fwrite(image.data(), 1, image.size(), f);
  std::fclose(f);
  if (LoadAllPresets(nullptr) != 0 || NumPrograms != MAXPROGRAMS) return 1;

  PresetCombo combo;
  combo.show();
  QCoreApplication::processEvents();
  qint64 best = -1;
  for (int run = 0; run < 5; ++run) {
    QElapsedTimer t;
    t.start();
    combo.presets()->fill();
    combo.setCurrentIndex(500);
    combo.repaint();
    QCoreApplication::processEvents();
    qint64 us = t.nsecsElapsed() / 1000;
    if (best < 0 || us < best) best = us;
  }
  std::printf("fill the list with %d presets: %.1f ms (target < 100 ms)\n", combo.count(),
              static_cast<double>(best) / 1000.0);
  EngineShutdown();
  return 0;
}
