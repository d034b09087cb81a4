// `sonavel-cli store`: the preset store from the command line.
#pragma once
#include <string>

namespace CLI {
class App;
}

void RegisterStoreCommand(CLI::App& app);
// -1 when the store command was not chosen, else its exit code.
int RunStoreCommand();
// Loads the store of `dir` (empty: the program's default store).
int OpenStoreForCli(const std::string& dir);
// `list` of the store of `dir` (empty: the program's default store, the one
// the desktop program uses): an exit code.
int ListStore(const std::string& dir, bool all);
// Prints the store's preset at `index` (>= 0), else the one named `name`.
int ShowStorePreset(const std::string& dir, int index, const std::string& name, bool json);
