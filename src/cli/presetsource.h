// Where `play` and `render` take their preset from: a preset file, or the
// preset store, by record index or by name.
#pragma once
#include <string>

#include "main/model.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

struct PresetSource {
  std::string File, Name, StoreDir;
  CLI::Option* Store = nullptr;
  int Index = -1;
};

// Adds FILE, --store [DIR], --index and --name to cmd.
void AddPresetSource(CLI::App* cmd, PresetSource& src);
// Loads the chosen preset into p, which must be empty. EXIT_OK, or the exit
// code after the reason has been printed.
int LoadPresetFromSource(const PresetSource& src, Preset& p);
